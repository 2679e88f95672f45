#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Installs ffmpeg, ffplay and ffprobe the way a macOS machine needs them: developer tools and
// Homebrew present, the libraries through Homebrew, the executables from the download server.
// Runs synchronously on the caller's thread; each progress message goes to the handler.
class ToolchainInstaller
{
public:
    using Handler = std::function<void(const QString &)>;

    // The outside programs and the server; tests point them at fakes and a local server.
    struct Programs {
        QString xcodeSelect = QStringLiteral("/usr/bin/xcode-select");
        QString brew = QStringLiteral("/opt/homebrew/bin/brew");
        QString curl = QStringLiteral("/usr/bin/curl");
        QString chmod = QStringLiteral("/bin/chmod");
        QString downloadServer = QStringLiteral("https://download.zelvo.app");
    };

    explicit ToolchainInstaller(Programs programs) : m_programs(std::move(programs)) {}

    bool detectXcodeSelect(QString *error, const Handler &handler) const;
    bool installXcodeSelect(QString *error) const;
    bool detectBrew(QString *error) const;
    bool checkLibrary(const QString &package, QString *error, const Handler &handler) const;
    bool installLibraries(QString *error, const Handler &handler) const;
    bool installTools(const QString &folder, QString *error, const Handler &handler) const;

    static const QStringList &libraries();
    static const QStringList &tools();

private:
    QString run(const QString &program, const QStringList &arguments, QString *error) const;
    bool installTool(const QString &tool, const QString &folder, QString *error,
                     const Handler &handler) const;
    QString downloadAndVerify(const QString &tool, const QString &temporary, QString *error) const;
    static void tell(const Handler &handler, const QString &message);
    static void keepError(QString *error, const QString &text);

    Programs m_programs;
};
