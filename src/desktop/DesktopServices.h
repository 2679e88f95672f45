#pragma once

#include <QString>
#include <QStringList>
#include <QUrl>

// Hands URLs and files to the desktop: the default handlers, a named browser, the clipboard.
class DesktopServices
{
public:
    // The desktop's handler for the URL (xdg-open for files and web pages).
    static bool openURL(const QUrl &url);
    // A valid http(s) URL in the named browser when it is installed, else in the default
    // browser; anything else is refused. "Chrome" is Google Chrome only: yt-dlp reads
    // Chromium's cookies under another name.
    static bool openURLInBrowser(const QUrl &url, const QString &browser);
    // The programs that start the named browser, in the order they are tried.
    static QStringList browserPrograms(const QString &browser);
    static void openFolderOf(const QString &path);

    static void copyText(const QString &text);
    // The files themselves (for a file manager's paste) with their paths as the text.
    static void copyFiles(const QStringList &paths);
};
