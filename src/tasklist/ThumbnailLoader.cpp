#include "tasklist/ThumbnailLoader.h"

#include "platform/JobRunner.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"

#include <QImage>

namespace
{

struct Decoded {
    ThumbnailLoader::Kind kind = ThumbnailLoader::Kind::NoData;
    QImage image;
    QRectF frame;
    bool skipped = false;
};

} // namespace

ThumbnailLoader::ThumbnailLoader(JobRunner &jobs, qint64 cacheBytes, QObject *parent)
    : QObject(parent), m_jobs(jobs), m_cache(cacheBytes)
{
    connect(&XCoreDataManagement::shared().events(), &TaskEvents::thumbnailChanged, this,
            [this](const std::shared_ptr<XTask> &task) { forget(*task); });
}

QString ThumbnailLoader::keyOf(const XTask &task, const QSize &size)
{
    // A saved task is known by its row; one never saved by its address.
    const QString id = task.rowId() > 0 ? QString::number(task.rowId())
                                        : QStringLiteral("p%1").arg(quintptr(&task));
    return QStringLiteral("%1@%2x%3").arg(id).arg(size.width()).arg(size.height());
}

std::optional<ThumbnailLoader::Result> ThumbnailLoader::load(const std::shared_ptr<XTask> &task,
                                                             const QSize &viewSize,
                                                             const Ticket &ticket,
                                                             std::function<void(Result)> done)
{
    const QString key = keyOf(*task, viewSize);
    if (const Entry *entry = m_cache.object(key)) return entry->result;
    const qint64 row = task->rowId();
    const quint64 generation = m_generation.value(row);
    ++m_pendingCount;
    m_jobs.run(
        [task, viewSize, ticket]() {
            Decoded decoded;
            if (!ticket->load()) {
                decoded.skipped = true;
                return decoded;
            }
            QByteArray data = task->thumbnail();
            if (data.isEmpty()) data = task->firstVideoFileThumbnail();
            if (!data.isEmpty())
                decoded.kind = decode(data, viewSize, &decoded.image, &decoded.frame);
            return decoded;
        },
        [this, key, row, generation, ticket, done = std::move(done)](Decoded decoded) {
            --m_pendingCount;
            if (decoded.skipped) return;
            Result result{decoded.kind, QPixmap::fromImage(decoded.image), decoded.frame};
            if (m_generation.value(row) == generation) {
                const qint64 cost = qint64(result.picture.width()) * result.picture.height() * 4;
                m_cache.insert(key, new Entry{result}, std::max<qint64>(1, cost));
            }
            if (ticket->load()) done(result);
        });
    return std::nullopt;
}

void ThumbnailLoader::forget(const XTask &task)
{
    const QString prefix = keyOf(task, QSize()).section(QLatin1Char('@'), 0, 0) + '@';
    for (const QString &key : m_cache.keys()) {
        if (key.startsWith(prefix)) m_cache.remove(key);
    }
    ++m_generation[task.rowId()];
}

QRectF ThumbnailLoader::frameForImage(const QSizeF &image, const QSizeF &view)
{
    // Single precision, as the sizes were measured; the sums are symmetric, so a frame
    // centred from the bottom is the same centred from the top.
    const float w = float(image.width()), h = float(image.height());
    const float W = float(view.width()), H = float(view.height());
    if (w > h) {
        const float s = H / h;
        return QRectF((W - s * w) * 0.5f, 0, s * w, H);
    }
    const float s = W / w;
    return QRectF(0, (H - s * h) * 0.5f, W, s * h);
}

QRectF ThumbnailLoader::visiblePart(const QRectF &frame, const QSize &viewSize)
{
    return frame.intersected(QRectF(QPointF(0, 0), QSizeF(viewSize)));
}

ThumbnailLoader::Kind ThumbnailLoader::decode(const QByteArray &data, const QSize &viewSize,
                                              QImage *scaled, QRectF *frame)
{
    const QImage image = QImage::fromData(data);
    if (image.isNull() || image.width() <= 0 || image.height() <= 0) return Kind::Undecodable;
    *frame = frameForImage(image.size(), viewSize);
    // Only the part the view shows is scaled, so a very long picture costs no more than a
    // view's worth of pixels.
    const QRectF shown = visiblePart(*frame, viewSize);
    const qreal scale = frame->width() / image.width();
    const QRectF source((shown.x() - frame->x()) / scale, (shown.y() - frame->y()) / scale,
                        shown.width() / scale, shown.height() / scale);
    *scaled = image.copy(source.toAlignedRect())
                  .scaled(shown.size().toSize(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return Kind::Picture;
}
