#include "support/DownloadFixture.h"

#include "download/NSYtdlpTask.h"
#include "support/FileContents.h"
#include "support/FuzzSeeds.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>

namespace
{

// The audio of dash/slowaudio.mpd comes at this many bytes a second.
constexpr int slowAudioRate = 8000;

} // namespace

bool DownloadFixture::start()
{
    if (!MediaFactory::makeClip(siteFile("a.mp4"), 2) ||
        !QFile::copy(siteFile("a.mp4"), siteFile("b.mp4")) ||
        !MediaFactory::makeDash(siteFile("dash"), 2) ||
        !MediaFactory::makeBlob(siteFile("large.mp4"), largeFileBytes))
        return false;
    m_server = std::make_unique<MediaServer>(m_site.path());
    return m_server->isRunning() && writePages();
}

bool DownloadFixture::writePages() const
{
    // The page's JSON-LD must name the video by an absolute URL, so it is written once the
    // server's port is known.
    const QByteArray ld =
        "<html><head><title>Clip page</title><script type=\"application/ld+json\">"
        "{\"@context\":\"https://schema.org\",\"@type\":\"VideoObject\",\"name\":\"LD Clip\","
        "\"description\":\"First line of the description\\nsecond line\",\"contentUrl\":\"" +
        url("a.mp4").toUtf8() +
        "\",\"uploadDate\":\"2024-01-01\"}</script></head><body></body></html>\n";
    const auto videos = [](const char *title, const char *first) {
        return QByteArray("<html><head><title>") + title + "</title></head><body><video src=\"/" +
               first + "\"></video><video src=\"/b.mp4\"></video></body></html>\n";
    };
    return FileContents::write(siteFile("ld.html"), ld) &&
           FileContents::write(siteFile("two.html"), videos("Two videos", "a.mp4")) &&
           FileContents::write(siteFile("missing.html"), videos("Missing first", "gone.mp4")) &&
           writeSlowAudioManifest();
}

// The audio's segments are fetched through the rate-limited path, so that a download can be
// caught after the video piece has finished and while the audio is still coming.
bool DownloadFixture::writeSlowAudioManifest() const
{
    const QString text = QString::fromUtf8(FileContents::read(siteFile("dash/manifest.mpd")));
    const qsizetype audio = text.indexOf(QStringLiteral("contentType=\"audio\""));
    if (audio < 0) return false;
    const QString slow = QStringLiteral("\"/slow/%1/dash/").arg(slowAudioRate);
    QString audioPart = text.mid(audio);
    audioPart.replace(QStringLiteral("\"init-stream"), slow + QStringLiteral("init-stream"))
        .replace(QStringLiteral("\"chunk-stream"), slow + QStringLiteral("chunk-stream"));
    const QString slowed = text.left(audio) + audioPart;
    return slowed != text && FileContents::write(siteFile("dash/slowaudio.mpd"), slowed.toUtf8());
}

QString DownloadFixture::makeWorkingFolder(const QString &name) const
{
    const QString folder = QDir(m_folders.path()).filePath(name);
    QDir().mkpath(folder);
    const QString ytdlp = QDir(folder).filePath("yt-dlp");
    // The seeds start with the read sizes the log target cuts them into: 1, 40 and 256 bytes.
    if (!FuzzSeeds::writeRecorder(ytdlp, QStringLiteral("/usr/bin/yt-dlp"),
                                  QStringLiteral("ytdlp_log"), QByteArray("\x03\x00\x27\xff", 4)))
        QFile::link(QStringLiteral("/usr/bin/yt-dlp"), ytdlp);
    return folder;
}

QString DownloadFixture::makeToolFolder(const QString &name) const
{
    const QString folder = makeWorkingFolder(name);
    for (const char *tool : {"ffmpeg", "ffprobe"})
        QFile::link(QStringLiteral("/usr/bin/") + tool, QDir(folder).filePath(tool));
    return folder;
}

std::unique_ptr<NSYtdlpTask> DownloadFixture::makeTask(const QString &folder,
                                                       NSYtdlpTaskDelegate *delegate) const
{
    auto task = std::make_unique<NSYtdlpTask>(TestEnvironment::resourceFile("ytdlp.sh"), delegate);
    task->setWorkingURL(QUrl::fromLocalFile(folder));
    task->setFfmpegPath(folder);
    task->setCookieBrowser({});
    return task;
}
