#pragma once

#include <QCache>
#include <QHash>
#include <QObject>
#include <QPixmap>
#include <QRectF>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class JobRunner;
class QImage;
class XTask;

// A task's picture for the completed view: its thumbnail, else its first file's, decoded and
// scaled to the view on the job runner, and kept in a cache bounded in bytes. The store's
// thumbnail-changed event drops the task's entries.
class ThumbnailLoader : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 defaultCacheBytes = 48LL * 1024 * 1024;

    enum class Kind {
        Picture,     // the frame says where the scaled picture lies in the view
        NoData,      // the task has no thumbnail at all: the placeholder shows
        Undecodable, // data that is not a picture: the view stays as it is
    };
    struct Result {
        Kind kind = Kind::NoData;
        QPixmap picture;
        QRectF frame;
    };
    // Said by the one who asked, when it no longer wants the answer; a job that has not begun
    // then decodes nothing.
    using Ticket = std::shared_ptr<std::atomic<bool>>;

    ThumbnailLoader(JobRunner &jobs, qint64 cacheBytes = defaultCacheBytes,
                    QObject *parent = nullptr);

    // The picture at once when cached, else null and done() later on the main thread, unless
    // the ticket was cancelled meanwhile.
    std::optional<Result> load(const std::shared_ptr<XTask> &task, const QSize &viewSize,
                               const Ticket &ticket, std::function<void(Result)> done);
    void forget(const XTask &task);
    // Decodes asked for and not delivered yet.
    int pendingCount() const { return m_pendingCount; }

    // The frame of a w×h picture in a view of W×H: full height centred across for a
    // landscape picture, full width centred down for a portrait or square one; what
    // overflows is cut off equally on both sides.
    static QRectF frameForImage(const QSizeF &image, const QSizeF &view);
    // Where the scaled picture of a frame is drawn: the part inside the view.
    static QRectF visiblePart(const QRectF &frame, const QSize &viewSize);
    // Decodes and places a picture; Undecodable when the data is no picture.
    static Kind decode(const QByteArray &data, const QSize &viewSize, QImage *scaled,
                       QRectF *frame);

    static Ticket newTicket() { return std::make_shared<std::atomic<bool>>(true); }
    static void cancel(const Ticket &ticket)
    {
        if (ticket) ticket->store(false);
    }

private:
    struct Entry {
        Result result;
    };
    static QString keyOf(const XTask &task, const QSize &size);

    JobRunner &m_jobs;
    QCache<QString, Entry> m_cache;
    // Bumped by forget(), so a decode begun before a change never fills the cache.
    QHash<qint64, quint64> m_generation;
    int m_pendingCount = 0;
};
