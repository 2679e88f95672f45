#pragma once

#include "support/MediaServer.h"

#include <QTemporaryDir>

#include <memory>

class NSYtdlpTask;
class NSYtdlpTaskDelegate;

// A local site for downloads: clips, a JSON-LD page, a page with two videos, the same with
// its first video missing, a DASH presentation (also as dash/slowaudio.mpd, whose audio comes
// slowly), and a large file; served on 127.0.0.1.
class DownloadFixture
{
public:
    static constexpr qint64 largeFileBytes = 3 * 1024 * 1024;

    // Builds the media and starts the server; false when either failed.
    bool start();
    QString url(const QString &path) const { return m_server->url(path); }
    // The served file behind a path.
    QString siteFile(const QString &path) const { return m_site.filePath(path); }

    // A fresh working folder named name (any characters) whose yt-dlp is the system's.
    QString makeWorkingFolder(const QString &name) const;
    // The same, with the system's ffmpeg and ffprobe beside yt-dlp, as setup leaves it.
    QString makeToolFolder(const QString &name) const;
    // A runner set up as the application sets one up, for folder.
    std::unique_ptr<NSYtdlpTask> makeTask(const QString &folder,
                                          NSYtdlpTaskDelegate *delegate) const;

private:
    bool writePages() const;
    bool writeSlowAudioManifest() const;

    QTemporaryDir m_site;
    QTemporaryDir m_folders;
    std::unique_ptr<MediaServer> m_server;
};
