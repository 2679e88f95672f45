// The log grammar of NSYtdlpTask: which lines of yt-dlp's output count, and what they say.
#include "download/NSYtdlpTask.h"

#include "platform/Log.h"

#include <QHash>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace
{

const QString errorMarker = QStringLiteral("ERROR: ");
const QString mergeMarker = QStringLiteral("[Merger] Merging formats into ");
const QString deletionMarker = QStringLiteral("Deleting original file ");
const QString alreadyMarker = QStringLiteral(" has already been downloaded");

// Patterns are compiled once per thread; QRegularExpression objects are not shared across
// threads here.
const QRegularExpression &compiled(const QString &pattern,
                                   QRegularExpression::PatternOptions options = {})
{
    thread_local QHash<QPair<QString, int>, QRegularExpression> cache;
    const QPair<QString, int> key(pattern, int(options));
    auto it = cache.find(key);
    if (it == cache.end()) it = cache.insert(key, QRegularExpression(pattern, options));
    return *it;
}

// Where a match of the (case-insensitive) pattern ends, or -1.
qsizetype matchEnd(const QString &line, const QString &pattern)
{
    const QRegularExpression &re = compiled(pattern, QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = re.match(line);
    return match.hasMatch() ? match.capturedEnd() : -1;
}

// The integer that begins at a position, read as strtoll reads it: spaces, a sign, digits.
qint64 integerAt(const QString &text, qsizetype position)
{
    const QByteArray tail = text.mid(position).toLatin1();
    return std::strtoll(tail.constData(), nullptr, 10);
}

qint64 truncated(float value)
{
    if (std::isnan(value)) return 0;
    if (value >= 9.2e18f) return std::numeric_limits<qint64>::max();
    if (value <= -9.2e18f) return std::numeric_limits<qint64>::min();
    return static_cast<qint64>(value);
}

// yt-dlp writes a path between double quotes in some lines; titles never hold a plain '"',
// but folder names may, so only one enclosing pair is removed.
QString withoutEnclosingQuotes(QString text)
{
    text.remove(QLatin1Char('\n'));
    if (text.size() >= 2 && text.startsWith(QLatin1Char('"')) && text.endsWith(QLatin1Char('"')))
        text = text.mid(1, text.size() - 2);
    if (text.count(QLatin1Char('"')) == text.size()) return {};
    return text;
}

// A number the patterns have already checked for form; one too large for a double still
// reads as the infinity it is rather than as 0.
float numberOf(const QString &text)
{
    bool ok = false;
    const double value = text.toDouble(&ok);
    if (ok) return static_cast<float>(value);
    const float infinity = std::numeric_limits<float>::infinity();
    return text.startsWith(QLatin1Char('-')) ? -infinity : infinity;
}

// The leading decimal number of a matched unit figure, such as "512.00" of "512.00KiB at".
float leadingValue(const QString &figure)
{
    qsizetype end = 0;
    while (end < figure.size() && (figure.at(end).isDigit() || figure.at(end) == QLatin1Char('.')))
        ++end;
    return numberOf(figure.left(end));
}

float unitFigure(const QString &line, const QString &pattern, float multiplier, bool *found)
{
    const QString figure = NSYtdlpTask::getPartStringFromLog(line, pattern);
    *found = !figure.isEmpty();
    return *found ? leadingValue(figure) * multiplier : 0.0f;
}

} // namespace

std::optional<QStringList> NSYtdlpTask::availableLogs(const QString &text,
                                                      QString *stopReason) const
{
    const QStringList lines =
        QString(text).replace(QLatin1Char('\r'), QLatin1Char('\n')).split(QLatin1Char('\n'));
    QStringList kept;
    for (const QString &line : lines) {
        if (line == QLatin1String("sh start.")) continue;
        if (line.contains(errorMarker)) {
            if (stopReason) *stopReason = line.mid(errorMarker.size());
            return std::nullopt;
        }
        if (line.isEmpty()) continue;
        if (line.contains(QLatin1String("[info]")) || line.contains(QLatin1String("[download]"))) {
            kept << line;
        } else if (line.contains(QLatin1String("[generic]"))) {
            Log::line(QStringLiteral("[generic] :%1").arg(line));
        } else if (line.contains(QLatin1String("[Merger]")) ||
                   line.contains(QLatin1String("Deleting original"))) {
            kept << line;
        } else {
            Log::line(QStringLiteral("丢弃：%1").arg(line));
        }
    }
    return kept;
}

void NSYtdlpTask::analysisLog(const QString &line)
{
    const qsizetype destination = matchEnd(line, QStringLiteral("\\[download\\] Destination: "));
    if (destination >= 0) {
        QString path = line.mid(destination);
        while (path.endsWith(QLatin1Char('\r')) || path.endsWith(QLatin1Char('\n')) ||
               path.endsWith(QLatin1Char(' ')))
            path.chop(1);
        if (path.isEmpty()) return;
        addCompletedFile(path);
        if (NSYtdlpTaskDelegate *target = delegate()) target->destinationNamed(path);
        return;
    }
    const qsizetype already = line.indexOf(alreadyMarker);
    if (already >= 0) {
        const QString before = line.left(already);
        const qsizetype slash = before.indexOf(QLatin1Char('/'));
        if (slash >= 0) addCompletedFile(before.mid(slash));
        return;
    }
    const qsizetype merge = line.indexOf(mergeMarker);
    if (merge >= 0) {
        const QString path = withoutEnclosingQuotes(line.mid(merge + mergeMarker.size()));
        if (!path.isEmpty()) {
            addCompletedFile(path);
            return;
        }
    }
    const qsizetype deletion = line.indexOf(deletionMarker);
    if (deletion >= 0) {
        QString path = line.mid(deletion + deletionMarker.size());
        path.remove(QStringLiteral(" (pass -k to keep)"));
        removeCompletedFile(withoutEnclosingQuotes(path));
        return;
    }
    if (matchEnd(line, QStringLiteral("\\[download\\]")) >= 0) {
        float progress = 0;
        qint64 size = 0;
        qint64 speed = 0;
        readLog(line, &progress, &size, &speed);
        if (NSYtdlpTaskDelegate *target = delegate())
            target->progress(progress, static_cast<float>(size), static_cast<float>(speed));
        return;
    }
    if (matchEnd(line, QStringLiteral("\\[info\\]")) >= 0)
        Log::line(QStringLiteral("[info] %1").arg(line));
}

void NSYtdlpTask::readLog(const QString &line, float *progress, qint64 *size, qint64 *speed)
{
    if (!getPartStringFromLog(line, QStringLiteral("\\[download\\] 100% of")).isEmpty()) {
        *size = -1;
        *progress = 1.0f;
        *speed = 0;
        return;
    }
    if (!getPartStringFromLog(line,
                              QStringLiteral("\\[download\\] Downloading item [0-9]+ of [0-9]+"))
             .isEmpty()) {
        const QString itemMarker = QStringLiteral("Downloading item ");
        const qsizetype item = line.indexOf(itemMarker);
        if (item > 0) m_numberOfCurrent.store(integerAt(line, item + itemMarker.size()));
        const qsizetype of = line.indexOf(QLatin1String(" of "));
        if (of > 0) m_numberOfTotal.store(integerAt(line, of + 4));
        return;
    }
    if (line.contains(QLatin1String("[download] Finished downloading playlist:")))
        Log::line(QStringLiteral("Debug TOTO"));

    // Only a number marked as a percentage is progress: a size without a known total, or a
    // number in a title, is not.
    const QRegularExpressionMatch percent =
        compiled(QStringLiteral("([-+]?[0-9]+(?:\\.[0-9]+)?)%")).match(line);
    if (percent.hasMatch()) {
        const float value = numberOf(percent.captured(1)) / 100.0f;
        *progress =
            std::isfinite(value) ? std::clamp(value, 0.0f, 1.0f) : (value > 0 ? 1.0f : 0.0f);
    }

    bool found = false;
    float bytes =
        unitFigure(line, QStringLiteral("[0-9]+\\.[0-9]+MiB at"), 1024.0f * 1024.0f, &found);
    if (!found) bytes = unitFigure(line, QStringLiteral("[0-9]+\\.[0-9]+KiB at"), 1024.0f, &found);
    if (!found)
        bytes = unitFigure(line, QStringLiteral("[0-9]+\\.[0-9]+GiB at"),
                           1024.0f * 1024.0f * 1024.0f, &found);
    if (found)
        *size = truncated(bytes);
    else
        Log::line(QStringLiteral("其他未处理的情况:%1").arg(line));

    float rate = unitFigure(line, QStringLiteral("[0-9]+\\.[0-9]+KiB/s ETA"), 1024.0f, &found);
    if (!found)
        rate =
            unitFigure(line, QStringLiteral("[0-9]+\\.[0-9]+MiB/s ETA"), 1024.0f * 1024.0f, &found);
    *speed = found ? truncated(rate) : 0;
}

QString NSYtdlpTask::getPartStringFromLog(const QString &line, const QString &pattern)
{
    const QRegularExpression &re = compiled(pattern);
    if (!re.isValid()) return {};
    const QRegularExpressionMatch match = re.match(line);
    return match.hasMatch() ? match.captured(0) : QString();
}

bool NSYtdlpTask::readingPass(const QString &text)
{
    QString reason;
    const std::optional<QStringList> kept = availableLogs(text, &reason);
    if (!kept) {
        if (!delegate()) return false; // a reason nobody hears is dropped
        report(reason);
        return true;
    }
    for (const QString &line : *kept)
        analysisLog(line);
    return false;
}
