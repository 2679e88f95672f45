#include "media/NSVideoToolController.h"

#include "media/NSTavoTools.h"
#include "media/NSffmpeg.h"
#include "media/NSffmpegConvert264.h"
#include "media/NSffprobe.h"
#include "media/ThumbnailChooser.h"
#include "media/VideoFrameSource.h"
#include "platform/Dispatch.h"
#include "platform/JobRunner.h"
#include "platform/Log.h"
#include "platform/SafeFileMove.h"
#include "store/StoredSettings.h"
#include "store/TaskClaim.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "store/XFile.h"
#include "store/XTask.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <utility>

// The open file of the last previews, kept for the next one; only the job thread touches it.
// Key frames come from a reader of their own, so the one that decodes exact frames can go on
// forward from its last frame.
struct PreviewSource {
    QString path;
    std::unique_ptr<VideoFrameSource> exact;
    std::unique_ptr<VideoFrameSource> keys;

    void open(const QString &file)
    {
        if (exact && path == file) return;
        exact = std::make_unique<VideoFrameSource>(file);
        keys = std::make_unique<VideoFrameSource>(file);
        path = file;
    }
    void forget()
    {
        exact.reset();
        keys.reset();
    }
};

const QString NSVideoToolController::tooLongText = QStringLiteral(
    "掐头去尾 设置的掐头 + 去尾 时长，超过了视频自身时长。 点击鼠标右键，可进行设置。");
const QString NSVideoToolController::trimFailedText = QStringLiteral("掐头去尾执行失败.");
const QString NSVideoToolController::trimBusyText =
    QStringLiteral("Another trim is running in this working folder; try again when it has ended.");
const QString NSVideoToolController::encodeFailedText = QStringLiteral("视频重编码失败。");
const QString NSVideoToolController::trimQuestionText = QStringLiteral("警告");
const QString NSVideoToolController::trimQuestionInformativeText = QStringLiteral(
    "掐头去尾操作将对源视频产生不可逆的改变，只保留头尾中间的部分，您确定要这么做吗？");
const QString NSVideoToolController::trimConfirmButtonText = QStringLiteral("执行 掐头去尾");
const QString NSVideoToolController::trimCancelButtonText = QStringLiteral("取消");

namespace
{

// A kept part shorter than this is refused (the cut itself refuses it too).
constexpr float shortestKept = 1.0f;

QString swapPath(const QString &folder)
{
    return QDir(folder).filePath(QStringLiteral("swap.mp4"));
}

// A picture is scaled for the screen off the main thread: a 1080p frame at most halved.
QImage shownSize(const QImage &frame)
{
    const QSize largest(960, 540);
    if (frame.isNull() || (frame.width() <= largest.width() && frame.height() <= largest.height()))
        return frame;
    return frame.scaled(largest, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}

QString encodeOutputPath(const QString &source)
{
    const QFileInfo info(source);
    return info.dir().filePath(info.completeBaseName() + QStringLiteral("_h264.mp4"));
}

} // namespace

NSVideoToolController::NSVideoToolController(QObject *parent)
    : QObject(parent), m_encodeDuration(NSTavoTools::noDurationMark),
      m_replacer(&SafeFileMove::replace), m_previews(std::make_shared<PreviewSource>()),
      m_jobs(std::make_unique<JobRunner>(1))
{
}

// The jobs end (and deliver nothing) before the state they were started for goes. A running
// encode (the application quits) is cancelled and ends here: its output goes, the source stays,
// and nobody is told.
NSVideoToolController::~NSVideoToolController()
{
    m_jobs.reset();
    disconnect(this, nullptr, nullptr, nullptr);
    delete std::exchange(m_encoder, nullptr);
}

void NSVideoToolController::waitForJobs()
{
    m_jobs->waitForDone();
    QCoreApplication::sendPostedEvents(this);
    QCoreApplication::sendPostedEvents(m_jobs.get());
}

void NSVideoToolController::setTask(const std::shared_ptr<XTask> &task)
{
    if (isBusy()) return;
    m_task = task;
    m_path = StoredSettings::ytdlpPath().toLocalFile();
    clearPreview();
    m_files.clear();
    XCoreDataManagement *store = task ? task->store() : nullptr;
    if (store) {
        m_files = store->filesForTask(task);
        if (m_files.isEmpty()) {
            task->checkAndUpdate();
            m_files = store->filesForTask(task);
        }
    }
    m_itemTexts.clear();
    for (const auto &file : m_files)
        m_itemTexts << file->name();
    m_selected = -1;
    if (!select(0)) emit stateChanged();
    if (!task) return;
    const QByteArray own = task->thumbnail();
    showStoredThumbnail(own.isEmpty() && !m_files.isEmpty() ? m_files.first()->thumbnail() : own);
}

bool NSVideoToolController::select(int index)
{
    if (isBusy() || index < 0 || index >= m_files.size()) return false;
    m_selected = index;
    clearPreview();
    showStoredThumbnail(m_files.at(index)->thumbnail());
    emit stateChanged();
    refreshCurrent();
    return true;
}

std::shared_ptr<XFile> NSVideoToolController::currentFile() const
{
    return m_files.value(m_selected);
}

// The file's details from the file itself: ffprobe, and a thumbnail when it has none.
void NSVideoToolController::refreshCurrent()
{
    const auto file = currentFile();
    if (!file) return;
    m_jobs->runLatest(
        QStringLiteral("refresh"), [file] { file->refreshExtInfo(); },
        [this, file] {
            if (file != currentFile()) return;
            if (m_picture.isNull()) showStoredThumbnail(file->thumbnail());
            emit stateChanged();
        });
}

QString NSVideoToolController::fileDescription() const
{
    const auto file = currentFile();
    return file ? file->videoDescription() : QString();
}

bool NSVideoToolController::canReencode() const
{
    const auto file = currentFile();
    if (!file || !hasTools() || isBusy()) return false;
    const QString codec = file->videoEncodeName();
    return !codec.isEmpty() && codec != QLatin1String("h264");
}

bool NSVideoToolController::canTrim() const
{
    return currentFile() && hasTools() && !isBusy();
}

bool NSVideoToolController::hasTools() const
{
    return !m_path.isEmpty() && QFileInfo::exists(QDir(m_path).filePath(QStringLiteral("ffmpeg")));
}

void NSVideoToolController::showPicture(const QImage &picture)
{
    m_picture = picture;
    emit pictureChanged(picture);
}

void NSVideoToolController::showStoredThumbnail(const QByteArray &data)
{
    showPicture(data.isEmpty() ? QImage() : QImage::fromData(data));
}

// A preview belongs to the file it was made of: it goes whenever the file or its contents do.
void NSVideoToolController::clearPreview()
{
    ++m_previewGeneration;
    const bool had = !m_previewData.isEmpty();
    m_previewData.clear();
    if (had) emit stateChanged();
}

void NSVideoToolController::previewAt(float fraction)
{
    const auto file = currentFile();
    if (!file || isBusy() || !std::isfinite(fraction)) return;
    clearPreview();
    const quint64 generation = m_previewGeneration;
    m_jobs->runLatest(
        QStringLiteral("preview"),
        [this, generation, file, fraction] { return makePreview(generation, file, fraction); },
        [this](const PreviewResult &result) { endPreview(result); });
}

// On the job thread.
NSVideoToolController::PreviewResult
NSVideoToolController::makePreview(quint64 generation, const std::shared_ptr<XFile> &file,
                                   float fraction)
{
    float duration = file->duration().value_or(0);
    if (duration <= 0) {
        Log::line(zelvoMedia(), QStringLiteral("There is Debug only."));
        file->refreshExtInfo();
        duration = file->duration().value_or(0);
    }
    const float seconds = duration * fraction;
    const CMTime time{qint64(std::trunc(1000.0f * seconds)), 1000};
    const QString path = file->localFile();
    m_previews->open(path);
    // The key frame before at once: the exact frame may lie seconds of frames past it.
    const VideoFrameSource::Frame key = m_previews->keys->keyFrameAt(time.seconds());
    if (!key.image.isNull() && key.time.seconds() < time.seconds()) {
        dispatchMain([self = m_self, generation, image = shownSize(key.image)] {
            if (self) self->showFirstPicture(generation, image);
        });
    }
    VideoFrameSource &source = *m_previews->exact;
    const VideoFrameSource::Frame exact = source.frameAt(time.seconds());
    PreviewResult result{generation, exact.image, {}, shownSize(exact.image)};
    if (!exact.image.isNull()) {
        result.jpeg = NSTavoTools::jpegBytes(exact.image);
    } else if (!source.isReadable()) {
        // The libraries cannot read it: ffmpeg may.
        result.jpeg = ThumbnailChooser::ffmpegFrame(QUrl::fromLocalFile(path), time);
        result.frame = QImage::fromData(result.jpeg);
        result.shown = shownSize(result.frame);
    }
    return result;
}

void NSVideoToolController::showFirstPicture(quint64 generation, const QImage &image)
{
    if (generation == m_previewGeneration && !image.isNull()) showPicture(image);
}

void NSVideoToolController::endPreview(const PreviewResult &result)
{
    if (result.generation != m_previewGeneration) return;
    m_previewData = result.frame.isNull() ? QByteArray() : result.jpeg;
    showPicture(m_previewData.isEmpty() ? QImage() : result.shown);
    emit stateChanged();
    emit previewEnded(m_previewData.isEmpty() ? QImage() : result.frame);
}

bool NSVideoToolController::saveThumbnail()
{
    const auto file = currentFile();
    if (!canSaveThumbnail() || !file || !m_task) return false;
    const QByteArray data = m_previewData;
    clearPreview();
    file->setThumbnail(data);
    m_task->setThumbnail(data);
    file->save();
    m_task->save();
    if (XCoreDataManagement *store = m_task->store()) store->events().postThumbnailChanged(m_task);
    return true;
}

NSVideoToolController::TrimResult NSVideoToolController::refuseTrim(float head, float tail) const
{
    if (isBusy()) return TrimResult::Busy;
    const auto file = currentFile();
    if (!file) return TrimResult::NoFile;
    if (!hasTools()) return TrimResult::NoTools;
    if (!std::isfinite(head) || !std::isfinite(tail)) return TrimResult::TooLong;
    // The stored duration answers at once; the file's own is checked before the cut.
    const std::optional<float> stored = file->duration();
    if (stored && head + tail > *stored) return TrimResult::TooLong;
    return TrimResult::Done;
}

// Every trim in a working folder cuts into its one "swap.mp4": a trim by another process
// meanwhile would move its cut onto this source. The claim on that file, held until the cut
// is in place, keeps trims one at a time across processes.
std::shared_ptr<TaskClaim> NSVideoToolController::claimSwap() const
{
    XCoreDataManagement *store = m_task ? m_task->store() : nullptr;
    if (!store) return nullptr;
    bool heldElsewhere = false;
    return store->claimDestination(swapPath(m_path), &heldElsewhere);
}

void NSVideoToolController::trim(float head, float tail)
{
    const TrimResult refused = refuseTrim(head, tail);
    if (refused != TrimResult::Done) {
        emit trimEnded(refused);
        return;
    }
    const std::shared_ptr<TaskClaim> swapClaim = claimSwap();
    if (!swapClaim) {
        emit trimEnded(TrimResult::Busy);
        return;
    }
    const auto file = currentFile();
    clearPreview();
    m_trimming = true;
    emit stateChanged();
    m_jobs->run([file, folder = m_path, head, tail, replace = m_replacer, previews = m_previews,
                 swapClaim] { return cutInPlace(file, folder, head, tail, replace, previews); },
                [this, file](const TrimOutcome &outcome) { endTrim(file, outcome); });
}

// On the job thread: the cut into "swap.mp4", judged, then put in place of the source. On
// any failure the source stays as it was and the swap file goes.
NSVideoToolController::TrimOutcome
NSVideoToolController::cutInPlace(const std::shared_ptr<XFile> &file, const QString &folder,
                                  float head, float tail, const FileReplacer &replace,
                                  const std::shared_ptr<PreviewSource> &previews)
{
    const QString swap = swapPath(folder);
    QFile::remove(swap);
    const QString source = file->localFile();
    const std::optional<NSMediaInfo> info =
        NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(source), folder);
    const float kept = info ? info->duration() - head - tail : 0;
    // No duration (a file without video gives no media information) or too little left.
    if (!info || !(info->duration() > 0) || !(kept >= shortestKept))
        return {TrimResult::TooLong, 0};
    if (!NSffmpeg::cutoutVideo(QUrl::fromLocalFile(source), QUrl::fromLocalFile(swap), head, kept,
                               folder)) {
        QFile::remove(swap);
        return {TrimResult::CutFailed, 0};
    }
    previews->forget(); // it still reads the old contents
    QString error;
    if (!replace(swap, source, &error)) {
        Log::line(zelvoMedia(), QStringLiteral("Remove old file failed:%1").arg(error));
        QFile::remove(swap);
        return {TrimResult::ReplaceFailed, 0};
    }
    file->makeBestThumbnail();
    return {TrimResult::Done, kept};
}

void NSVideoToolController::endTrim(const std::shared_ptr<XFile> &file, const TrimOutcome &outcome)
{
    m_trimming = false;
    if (outcome.result == TrimResult::Done) {
        file->setDuration(outcome.kept);
        file->save();
        if (m_task && m_task->store()) m_task->store()->events().postThumbnailChanged(m_task);
        if (file == currentFile()) showStoredThumbnail(file->thumbnail());
        refreshCurrent();
    }
    emit stateChanged();
    emit trimEnded(outcome.result);
}

EncodeError NSVideoToolController::shownEncodeError(const EncodeError &error)
{
    if (error.domain == NSffmpegConvert264::cancelledDomain ||
        error.domain == NSffmpegConvert264::unsupportedDomain)
        return error;
    return {encodeFailedText, error.code, error.description()};
}

bool NSVideoToolController::startEncode()
{
    if (!canReencode()) return false;
    const auto file = currentFile();
    const EncodeJob job{file, file->localFile(), encodeOutputPath(file->localFile())};
    QFile::remove(job.output);
    auto *encoder = new NSffmpegConvert264(this);
    if (!encoder->encodeVideo(QUrl::fromLocalFile(job.source), QUrl::fromLocalFile(job.output),
                              m_path)) {
        delete encoder;
        return false;
    }
    m_encoder = encoder;
    clearPreview();
    connect(encoder, &NSffmpegConvert264::progressed, this,
            &NSVideoToolController::encodeProgressed);
    connect(encoder, &NSffmpegConvert264::ended, this,
            [this, job](const std::optional<EncodeError> &error) { endEncode(job, error); });
    learnEncodeDuration(job.source);
    emit stateChanged();
    return true;
}

// The in-process reading first, ffprobe when that knows nothing.
void NSVideoToolController::learnEncodeDuration(const QString &source)
{
    m_encodeDuration = NSTavoTools::noDurationMark;
    m_jobs->run(
        [source, folder = m_path] {
            const QUrl url = QUrl::fromLocalFile(source);
            const float known = NSTavoTools::loadDurationBymacOSVideo(url);
            return known != NSTavoTools::noDurationMark
                       ? known
                       : NSffprobe::durationMediaFileURL(url, folder);
        },
        [this](float duration) {
            if (isEncoding()) m_encodeDuration = duration;
        });
}

void NSVideoToolController::cancelEncode()
{
    if (m_encoder) m_encoder->cancel();
}

void NSVideoToolController::endEncode(const EncodeJob &job, const std::optional<EncodeError> &error)
{
    if (m_encoder) m_encoder->deleteLater();
    m_encoder = nullptr;
    if (error) {
        QFile::remove(job.output);
        Log::line(zelvoMedia(), QStringLiteral("encodeVideo failed: %1").arg(error->description()));
    } else {
        recordEncodedFile(job);
    }
    emit stateChanged();
    emit encodeEnded(error ? std::optional(shownEncodeError(*error)) : std::nullopt);
}

// The encoder has judged the output sound H.264: only now does the source go.
void NSVideoToolController::recordEncodedFile(const EncodeJob &job)
{
    QFile::remove(job.source);
    job.record->setLocalFile(job.output);
    const int index = m_files.indexOf(job.record);
    if (index >= 0) m_itemTexts[index] = QFileInfo(job.output).fileName();
    if (const std::optional<NSMediaInfo> info =
            NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(job.output), m_path)) {
        job.record->setVideoEncodeName(info->videoEncodeName());
        job.record->setDuration(info->duration());
        job.record->setWidth(info->videoWidth());
        job.record->setHeight(info->videoHeight());
    }
    job.record->save();
}
