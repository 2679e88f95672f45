#include "media/SystemToolLinker.h"

#include "media/ToolchainInstaller.h"
#include "platform/Log.h"
#include "platform/ToolRunner.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

SystemToolLinker::SystemToolLinker(QStringList searchPath) : m_searchPath(std::move(searchPath)) {}

QStringList SystemToolLinker::pathFromEnvironment()
{
    return QString::fromLocal8Bit(qgetenv("PATH")).split(QLatin1Char(':'), Qt::SkipEmptyParts);
}

bool SystemToolLinker::isInside(const QString &path, const QString &folder)
{
    return path == folder || path.startsWith(folder + QLatin1Char('/'));
}

// The first executable of that name on the search path, resolved; one inside the working folder
// (a folder such as ~/bin may be on PATH) would make the link point at itself.
QString SystemToolLinker::findOutside(const QString &tool, const QString &folder) const
{
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    for (const QString &directory : m_searchPath) {
        const QFileInfo candidate(QDir(directory).filePath(tool));
        const QString target = candidate.canonicalFilePath();
        if (target.isEmpty() || !QFileInfo(target).isExecutable() || QFileInfo(target).isDir())
            continue;
        const QString canonicalDirectory = QFileInfo(directory).canonicalFilePath();
        if (isInside(target, canonicalFolder) || canonicalDirectory == canonicalFolder) continue;
        return target;
    }
    return {};
}

// Linked under a temporary name and renamed over the old entry, so the folder never lacks the
// tool halfway; null on success, else the reason.
QString SystemToolLinker::link(const QString &tool, const QString &target,
                               const QString &folder) const
{
    const QString entry = QDir(folder).filePath(tool);
    const QString temporary = QDir(folder).filePath(QStringLiteral(".%1.link").arg(tool));
    QFile::remove(temporary);
    if (!QFile::link(target, temporary))
        return QStringLiteral("cannot create a link to %1 in %2").arg(target, folder);
    if (std::rename(QFile::encodeName(temporary).constData(),
                    QFile::encodeName(entry).constData())) {
        QFile::remove(temporary);
        return QStringLiteral("cannot replace %1").arg(entry);
    }
    const ToolRunner::Outcome check =
        ToolRunner::run(entry, {QStringLiteral("-version")}, {ToolRunner::probeTimeLimitMs, {}});
    if (!check.exitedCleanly() || check.text().isEmpty())
        return QStringLiteral("%1 does not answer -version").arg(entry);
    return {};
}

QStringList SystemToolLinker::missingTools(const QString &folder) const
{
    QStringList missing;
    for (const QString &tool : ToolchainInstaller::tools())
        if (findOutside(tool, folder).isEmpty()) missing.append(tool);
    return missing;
}

bool SystemToolLinker::linkInto(const QString &folder, QString *error, const Handler &handler) const
{
    const auto tell = [&handler](const QString &message) {
        if (handler) handler(message);
    };
    for (const QString &tool : ToolchainInstaller::tools()) {
        tell(QStringLiteral("Check and install %1.").arg(tool));
        const QString target = findOutside(tool, folder);
        const QString fault =
            target.isEmpty()
                ? QStringLiteral("%1 NOT Found on the PATH; install the package ffmpeg, which "
                                 "provides ffmpeg, ffplay and ffprobe.")
                      .arg(tool)
                : link(tool, target, folder);
        if (!fault.isNull()) {
            if (error) *error = fault;
            Log::line(zelvoMedia(), fault);
            tell(fault);
            return false;
        }
    }
    tell(QStringLiteral("All app have installed."));
    return true;
}
