#pragma once

#include <QStringList>

// zelvo-cli setup FOLDER: chooses the working folder as the settings pane does, installs
// yt-dlp into it and checks it, and links the system's ffmpeg tools beside it.
class CliSetupCommand
{
public:
    static int run(const QStringList &arguments);

private:
    static bool installYtdlp(const QString &folder);
    static bool linkFfmpeg(const QString &folder);
};
