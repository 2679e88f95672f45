#include "media/ToolchainInstaller.h"

#include "download/NSterminal.h"
#include "platform/Log.h"
#include "platform/ToolRunner.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace
{
// curl's own limit in the install script is 15 minutes; a tool download gets the same.
constexpr int downloadTimeLimitMs = 15 * 60 * 1000;
} // namespace

void ToolchainInstaller::keepError(QString *error, const QString &text)
{
    if (error) *error = text;
}

void ToolchainInstaller::tell(const Handler &handler, const QString &message)
{
    if (handler) handler(message);
}

// NSterminal writes the launch error only when asked; an empty error means the program ran.
QString ToolchainInstaller::run(const QString &program, const QStringList &arguments,
                                QString *error) const
{
    QString launchError;
    const QString text = NSterminal::order(program, arguments, &launchError);
    if (!launchError.isEmpty()) keepError(error, launchError);
    return launchError.isEmpty() ? text : QString();
}

const QStringList &ToolchainInstaller::libraries()
{
    static const QStringList names = {"pkg-config", "libass",  "freetype", "libvorbis", "libvpx",
                                      "lame",       "opus",    "x264",     "x265",      "sdl2",
                                      "theora",     "svt-av1", "dav1d"};
    return names;
}

const QStringList &ToolchainInstaller::tools()
{
    static const QStringList names = {"ffmpeg", "ffplay", "ffprobe"};
    return names;
}

bool ToolchainInstaller::detectXcodeSelect(QString *error, const Handler &handler) const
{
    tell(handler, QStringLiteral("detect xcode-select start."));
    QString launchError;
    const QString text = run(m_programs.xcodeSelect, {QStringLiteral("-p")}, &launchError);
    if (!launchError.isEmpty()) {
        keepError(error, launchError);
        return false;
    }
    if (text.contains(QStringLiteral("xcode-select"))) {
        tell(handler, text);
        return false;
    }
    tell(handler, QStringLiteral("xcode-select at:") + text);
    return true;
}

bool ToolchainInstaller::installXcodeSelect(QString *) const
{
    run(m_programs.xcodeSelect, {QStringLiteral("--install")}, nullptr);
    Log::line(zelvoMedia(), QStringLiteral("call window for xcode-select install."));
    return true;
}

bool ToolchainInstaller::detectBrew(QString *error) const
{
    QString launchError;
    const QString text = run(m_programs.brew, {QStringLiteral("-v")}, &launchError);
    if (!launchError.isEmpty()) keepError(error, launchError);
    if (!launchError.isEmpty() || text.contains(QStringLiteral("command not found"))) return false;
    Log::line(zelvoMedia(), text);
    return true;
}

bool ToolchainInstaller::checkLibrary(const QString &package, QString *error,
                                      const Handler &handler) const
{
    const QStringList listVersions = {QStringLiteral("list"), QStringLiteral("--versions"),
                                      package};
    const QString completed = package + QStringLiteral("completed version %1");
    tell(handler, package + QStringLiteral(" check version."));
    const QString version = run(m_programs.brew, listVersions, nullptr);
    if (!version.isEmpty()) {
        tell(handler, completed.arg(version));
        return true;
    }
    if (error) error->clear();
    tell(handler, package + QStringLiteral(" start install."));
    QString launchError;
    run(m_programs.brew, {QStringLiteral("install"), package}, &launchError);
    if (!launchError.isEmpty()) {
        keepError(error, launchError);
        tell(handler, package + QStringLiteral(" install failed."));
        return false;
    }
    tell(handler, package + QStringLiteral(" check version again."));
    const QString installed = run(m_programs.brew, listVersions, &launchError);
    if (!launchError.isEmpty()) {
        keepError(error, launchError);
        tell(handler, package + QStringLiteral(" get version failed."));
        return false;
    }
    // A failed brew install shows only here, as the missing version.
    tell(handler, completed.arg(installed.isNull() ? QStringLiteral("(null)") : installed));
    return true;
}

bool ToolchainInstaller::installLibraries(QString *error, const Handler &handler) const
{
    for (const QString &package : libraries()) {
        if (!checkLibrary(package, error, handler)) return false;
    }
    return true;
}

bool ToolchainInstaller::installTools(const QString &folder, QString *error,
                                      const Handler &handler) const
{
    tell(handler, QStringLiteral("ffmpeg start install."));
    if (!detectXcodeSelect(error, handler)) {
        tell(handler, QStringLiteral("xcode-select tools NOT Found."));
        return false;
    }
    tell(handler, QStringLiteral("Check and install brew."));
    if (!detectBrew(error)) {
        tell(handler, QStringLiteral("brew NOT Found."));
        return false;
    }
    tell(handler, QStringLiteral("Check and install libs."));
    if (!installLibraries(error, handler)) return false;
    for (const QString &tool : tools()) {
        if (!installTool(tool, folder, error, handler)) return false;
    }
    tell(handler, QStringLiteral("All app have installed."));
    return true;
}

// Downloaded under a temporary name and put in place only once it runs: an HTTP error page or a
// cut-off transfer must never become "ffmpeg".
bool ToolchainInstaller::installTool(const QString &tool, const QString &folder, QString *error,
                                     const Handler &handler) const
{
    tell(handler, QStringLiteral("Check and install %1.").arg(tool));
    const QString target = QDir(folder).filePath(tool);
    const QString temporary = QDir(folder).filePath(QStringLiteral(".%1.download").arg(tool));
    QFile::remove(temporary);
    const QString fault = downloadAndVerify(tool, temporary, error);
    if (fault.isNull() && std::rename(QFile::encodeName(temporary).constData(),
                                      QFile::encodeName(target).constData()) == 0)
        return true;
    const QString message =
        QStringLiteral("%1 install failed: %2")
            .arg(tool, fault.isNull() ? QStringLiteral("cannot move it into place") : fault);
    QFile::remove(temporary);
    keepError(error, message);
    Log::line(zelvoMedia(), message);
    tell(handler, message);
    return false;
}

QString ToolchainInstaller::downloadAndVerify(const QString &tool, const QString &temporary,
                                              QString *error) const
{
    const QString url = m_programs.downloadServer + QStringLiteral("/Zelvo/") + tool;
    const ToolRunner::Outcome download = ToolRunner::run(
        m_programs.curl,
        {QStringLiteral("-L"), QStringLiteral("--fail"), url, QStringLiteral("-o"), temporary},
        {downloadTimeLimitMs, {}});
    if (!download.started) return QStringLiteral("curl cannot run (%1)").arg(download.launchError);
    if (!download.exitedCleanly() || !QFile::exists(temporary))
        return QStringLiteral("the download from %1 failed (%2)")
            .arg(url, NSterminal::stringByPipe(download.standardError).trimmed());
    run(m_programs.chmod, {QStringLiteral("a+rx"), temporary}, error);
    const ToolRunner::Outcome check = ToolRunner::run(temporary, {QStringLiteral("-version")},
                                                      {ToolRunner::probeTimeLimitMs, {}});
    if (!check.exitedCleanly() || check.text().isEmpty())
        return QStringLiteral("the downloaded file does not run");
    return {};
}
