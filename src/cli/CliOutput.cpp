#include "cli/CliOutput.h"

#include <QRegularExpression>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>

namespace
{

bool outClosed = false;
bool errClosed = false;
bool outFailed = false;

} // namespace

void CliOutput::ignoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void CliOutput::out(const QString &text)
{
    if (write(stdout, &outClosed, text) || errno == EPIPE) return;
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    outFailed = true;
    err(QStringLiteral("zelvo-cli: cannot write the output: %1").arg(reason));
}

bool CliOutput::outputFailed()
{
    return outFailed;
}

void CliOutput::err(const QString &text)
{
    write(stderr, &errClosed, text);
}

// True when written (or when the stream was closed before); errno tells why not.
bool CliOutput::write(FILE *stream, bool *closed, const QString &text)
{
    if (*closed) return true;
    const QByteArray bytes = (text.endsWith(QLatin1Char('\n')) ? text : text + '\n').toUtf8();
    if (std::fwrite(bytes.constData(), 1, bytes.size(), stream) == size_t(bytes.size()) &&
        std::fflush(stream) == 0)
        return true;
    *closed = true;
    return false;
}

QString CliOutput::elided(const QString &text, qsizetype widest)
{
    if (widest <= 0 || text.size() <= widest) return text;
    const qsizetype tail = (widest - 1) / 2;
    return text.left(widest - 1 - tail) + QChar(0x2026) + text.right(tail);
}

QString CliOutput::table(const QList<QStringList> &rows, qsizetype widest)
{
    QList<QStringList> cells = rows;
    QList<qsizetype> widths;
    for (QStringList &row : cells) {
        for (qsizetype column = 0; column + 1 < row.size(); ++column) {
            row[column] = elided(row[column], widest);
            if (widths.size() <= column) widths.append(0);
            widths[column] = qMax(widths[column], row[column].size());
        }
    }
    QStringList lines;
    for (const QStringList &row : cells) {
        QString line;
        for (qsizetype column = 0; column < row.size(); ++column) {
            const bool last = column + 1 == row.size();
            line += last ? row[column] : row[column].leftJustified(widths[column] + 2);
        }
        while (line.endsWith(QLatin1Char(' ')))
            line.chop(1);
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

QString CliOutput::oneLine(const QString &text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\t\\r\\n\\x{2028}\\x{2029}]"));
    return QString(text).replace(breaks, QStringLiteral(" "));
}
