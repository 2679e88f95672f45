#pragma once

#include "support/MediaServer.h"

#include <QList>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// One task of the soak: its page URL and what a download of it must leave.
struct SoakCase {
    QString url;
    bool best = false; // separate video and audio, merged by yt-dlp
    QStringList files; // names in the working folder; none when it must fail
};

// The soak's site on 127.0.0.1: every task has a URL and file names of its own, all served
// from one clip, one slower clip and one DASH presentation (links under many names).
class SoakSite
{
public:
    // Builds the media and pages for count tasks and starts the server; false on failure.
    bool start(int count);
    const QList<SoakCase> &cases() const { return m_cases; }

private:
    bool makeMedia() const;
    SoakCase direct(int index) const;
    SoakCase slow(int index) const;
    SoakCase dash(int index) const;
    SoakCase playlist(int index) const;
    SoakCase missing(int index) const;
    bool link(const QString &target, const QString &name) const;

    QTemporaryDir m_root;
    std::unique_ptr<MediaServer> m_server;
    QList<SoakCase> m_cases;
};
