#include "SoakSite.h"

#include "support/MediaFactory.h"

#include <QDir>
#include <QFile>

namespace
{

// About 3 s for the larger clip: long enough to be paused and killed in the middle.
constexpr int slowRate = 150'000;

QString numbered(const QString &stem, int index)
{
    return QStringLiteral("%1-%2").arg(stem).arg(index, 2, 10, QLatin1Char('0'));
}

} // namespace

bool SoakSite::start(int count)
{
    if (!makeMedia()) return false;
    m_server = std::make_unique<MediaServer>(m_root.path());
    if (!m_server->isRunning()) return false;
    // The mix, in turn: direct, rate-limited, DASH, playlist, direct, rate-limited, 404, ...
    using Maker = SoakCase (SoakSite::*)(int) const;
    const QList<Maker> mix = {&SoakSite::direct,   &SoakSite::slow,   &SoakSite::dash,
                              &SoakSite::playlist, &SoakSite::direct, &SoakSite::slow,
                              &SoakSite::missing};
    for (int i = 0; i < count; ++i) {
        const SoakCase made = (this->*mix.at(i % mix.size()))(i);
        if (made.url.isEmpty()) return false;
        m_cases << made;
    }
    return true;
}

bool SoakSite::makeMedia() const
{
    const QDir root(m_root.path());
    return MediaFactory::makeClip(root.filePath("clip.mp4"), 2) &&
           MediaFactory::makeClip(root.filePath("long.mp4"), 6, "640x360") &&
           MediaFactory::makeDash(root.filePath("dash"), 2);
}

bool SoakSite::link(const QString &target, const QString &name) const
{
    return QFile::link(QDir(m_root.path()).filePath(target), QDir(m_root.path()).filePath(name));
}

SoakCase SoakSite::direct(int index) const
{
    const QString id = numbered("clip", index);
    if (!link("clip.mp4", id + ".mp4")) return {};
    return {m_server->url(id + ".mp4"), false, {QStringLiteral("%1 [%1].mp4").arg(id)}};
}

SoakCase SoakSite::slow(int index) const
{
    const QString id = numbered("slow", index);
    if (!link("long.mp4", id + ".mp4")) return {};
    return {m_server->url(QStringLiteral("slow/%1/%2.mp4").arg(slowRate).arg(id)),
            false,
            {QStringLiteral("%1 [%1].mp4").arg(id)}};
}

// The manifest names its segments relatively, so a link beside it serves them all.
SoakCase SoakSite::dash(int index) const
{
    const QString id = numbered("dash", index);
    if (!link("dash/manifest.mpd", "dash/" + id + ".mpd")) return {};
    return {m_server->url("dash/" + id + ".mpd"), true, {QStringLiteral("%1 [%1].mp4").arg(id)}};
}

SoakCase SoakSite::playlist(int index) const
{
    const QString id = numbered("list", index);
    QStringList files;
    QString videos;
    for (int item = 1; item <= 2; ++item) {
        const QString video = QStringLiteral("%1-item%2.mp4").arg(id).arg(item);
        if (!link("clip.mp4", video)) return {};
        videos += QStringLiteral("<video src=\"/%1\"></video>").arg(video);
        files << QStringLiteral("List %1 (%2) [%3-%2].mp4").arg(index).arg(item).arg(id);
    }
    QFile page(QDir(m_root.path()).filePath(id + ".html"));
    const QString html = QStringLiteral("<html><head><title>List %1</title></head><body>%2"
                                        "</body></html>\n")
                             .arg(index)
                             .arg(videos);
    if (!page.open(QIODevice::WriteOnly) || page.write(html.toUtf8()) < 0) return {};
    return {m_server->url(id + ".html"), false, files};
}

SoakCase SoakSite::missing(int index) const
{
    return {m_server->url(numbered("missing", index) + ".mp4"), false, {}};
}
