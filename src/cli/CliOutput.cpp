#include "cli/CliOutput.h"

#include <QRegularExpression>

#include <csignal>
#include <cstdio>

namespace
{

bool outClosed = false;
bool errClosed = false;

} // namespace

void CliOutput::ignoreBrokenPipe()
{
    std::signal(SIGPIPE, SIG_IGN);
}

void CliOutput::out(const QString &text)
{
    write(stdout, &outClosed, text);
}

void CliOutput::err(const QString &text)
{
    write(stderr, &errClosed, text);
}

void CliOutput::write(FILE *stream, bool *closed, const QString &text)
{
    if (*closed) return;
    const QByteArray bytes = (text.endsWith(QLatin1Char('\n')) ? text : text + '\n').toUtf8();
    if (std::fwrite(bytes.constData(), 1, bytes.size(), stream) != size_t(bytes.size()) ||
        std::fflush(stream) != 0)
        *closed = true;
}

QString CliOutput::table(const QList<QStringList> &rows)
{
    QList<qsizetype> widths;
    for (const QStringList &row : rows) {
        for (qsizetype column = 0; column + 1 < row.size(); ++column) {
            if (widths.size() <= column) widths.append(0);
            widths[column] = qMax(widths[column], row[column].size());
        }
    }
    QStringList lines;
    for (const QStringList &row : rows) {
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
