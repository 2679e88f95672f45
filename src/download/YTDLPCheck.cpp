#include "download/YTDLPCheck.h"

#include "download/NSterminal.h"
#include "platform/Log.h"
#include "platform/Resources.h"

#include "platform/ToolRunner.h"

#include <QDir>

namespace
{

const QString upToDate = QStringLiteral("yt-dlp is up to date (");
const QString updated = QStringLiteral("Updated yt-dlp to ");
const QString missing = QStringLiteral("No such file or directory");
constexpr int scriptTimeLimitMs = 20 * 60 * 1000;

QString versionAfter(const QString &text, const QString &prefix)
{
    const QString rest = text.mid(text.indexOf(prefix) + prefix.size());
    const qsizetype space = rest.indexOf(QLatin1Char(' '));
    return space < 0 ? rest : rest.left(space);
}

} // namespace

bool YTDLPCheck::claim()
{
    // A checker stands for one child process, which can be launched once.
    if (m_used) {
        Log::line(QStringLiteral("YTDLPCheck serves one operation; make a new one."));
        return false;
    }
    m_used = true;
    return true;
}

ToolRunner::Outcome YTDLPCheck::runScript(const QString &name, const QStringList &arguments)
{
    const QString script = Resources::pathForResource(name, QStringLiteral("sh"));
    if (script.isEmpty()) {
        Log::line(QStringLiteral("Resource %1.sh not found.").arg(name));
        return {};
    }
    // The install script allows its download 15 minutes.
    const ToolRunner::Outcome outcome = ToolRunner::run(
        QStringLiteral("/bin/sh"), QStringList{script} + arguments, {scriptTimeLimitMs, {}});
    if (!outcome.started) Log::line(QStringLiteral("ErrorLog:%1").arg(outcome.launchError));
    return outcome;
}

qint64 YTDLPCheck::checkYtdlpInURL(const QUrl &folder, QString *error)
{
    if (!claim()) return -1;
    QStringList arguments;
    if (!folder.isEmpty()) arguments << folder.toLocalFile();
    const ToolRunner::Outcome output = runScript(QStringLiteral("update"), arguments);
    if (!output.started) return -1;

    const QString text = QString::fromUtf8(output.standardOutput);
    for (const QString &prefix : {upToDate, updated}) {
        if (text.contains(prefix)) {
            m_version = versionAfter(text, prefix);
            return 2;
        }
    }
    if (!text.isEmpty()) Log::line(QStringLiteral("log:%1").arg(text));

    const QString errors = QString::fromUtf8(output.standardError);
    if (errors.contains(missing)) {
        if (error) *error = missing;
        return 1;
    }
    Log::line(QStringLiteral("ErrorLog:%1").arg(errors));
    return -1;
}

void YTDLPCheck::installAtPath(const QUrl &folder)
{
    if (!claim()) return;
    const QString target = QDir(folder.toLocalFile()).filePath(QStringLiteral("yt-dlp"));
    const ToolRunner::Outcome output = runScript(QStringLiteral("install"), {target});
    for (const QByteArray &stream : {output.standardOutput, output.standardError}) {
        const QString text = NSterminal::stringByPipe(stream);
        if (!text.isEmpty()) Log::line(text);
    }
}
