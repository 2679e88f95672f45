#pragma once

#include "media/EncodeError.h"

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class JobRunner;
class NSffmpegConvert264;
class TaskClaim;
class XFile;
class XTask;
struct PreviewSource;

// What the video tools do with one finished task's files, apart from showing it: pick a file,
// preview a frame and keep it as the thumbnail, cut seconds off the head and tail in place, and
// re-encode to H.264. The sheet and zelvo-cli both drive it. Probing, previews and the cut run
// on a job thread of its own and report here, on the main thread; the re-encode is an ffmpeg
// child whose end arrives here too. While a trim or an encode runs, every other action is
// refused, so the job ends on the record, source and output it started with.
class NSVideoToolController : public QObject
{
    Q_OBJECT
public:
    enum class TrimResult { Done, NoFile, NoTools, TooLong, CutFailed, ReplaceFailed, Busy };
    // How a trim puts the cut in place of its source (tests make it fail).
    using FileReplacer = std::function<bool(const QString &, const QString &, QString *)>;

    static const QString tooLongText;
    static const QString trimFailedText;
    static const QString trimBusyText;
    static const QString encodeFailedText;
    static const QString trimQuestionText;
    static const QString trimQuestionInformativeText;
    static const QString trimConfirmButtonText;
    static const QString trimCancelButtonText;

    explicit NSVideoToolController(QObject *parent = nullptr);
    ~NSVideoToolController() override;

    // Lists the task's files (turning a legacy file list into records first) and selects the
    // first; shows the task's thumbnail, or the first file's.
    void setTask(const std::shared_ptr<XTask> &task);
    std::shared_ptr<XTask> task() const { return m_task; }
    // What the file list shows, in the store's order.
    QStringList fileNames() const { return m_itemTexts; }
    int selectedIndex() const { return m_selected; }
    // Makes the file current and refreshes its details; false for an index out of range or
    // while a trim or an encode runs.
    bool select(int index);
    std::shared_ptr<XFile> currentFile() const;
    // The working folder, or empty when none is set up (then every action does nothing).
    QString workingFolder() const { return m_path; }

    QString fileDescription() const;
    // A known codec other than H.264.
    bool canReencode() const;
    bool canTrim() const;
    // The picture shown (scaled for the screen): a preview, the file's or task's thumbnail,
    // or none.
    QImage picture() const { return m_picture; }

    // Shows the frame at the fraction of the current file's duration: the key frame before
    // it at once when the exact frame needs decoding, then the exact one. A later request
    // supersedes an earlier one.
    void previewAt(float fraction);
    bool canSaveThumbnail() const { return !m_previewData.isEmpty() && !isBusy(); }
    // The exact preview becomes the thumbnail of the current file and of the task.
    bool saveThumbnail();

    // Cuts head and tail seconds off the current file in place; ends with trimEnded().
    void trim(float head, float tail);
    // Starts the re-encode of the current file to "<name>_h264.mp4"; false when refused.
    bool startEncode();
    void cancelEncode();
    bool isEncoding() const { return m_encoder != nullptr; }
    bool isTrimming() const { return m_trimming; }
    bool isBusy() const { return isEncoding() || m_trimming; }
    // The source's duration in seconds, or the no-duration mark while unknown.
    float encodeDuration() const { return m_encodeDuration; }
    // What the user is told about an encode that ended with the error.
    static EncodeError shownEncodeError(const EncodeError &error);

    void setFileReplacer(FileReplacer replacer) { m_replacer = std::move(replacer); }
    // Waits for the jobs started so far and delivers their results (tests, zelvo-cli).
    void waitForJobs();

signals:
    // The list, the selection, the description, what can be done.
    void stateChanged();
    void pictureChanged(const QImage &picture);
    // The exact preview arrived (frame) or none could be had (null).
    void previewEnded(const QImage &frame);
    void trimEnded(NSVideoToolController::TrimResult result);
    void encodeProgressed(float seconds);
    // No error: the source was replaced by its H.264 re-encode.
    void encodeEnded(const std::optional<EncodeError> &error);

private:
    struct TrimOutcome {
        TrimResult result;
        float kept;
    };
    struct EncodeJob {
        std::shared_ptr<XFile> record;
        QString source;
        QString output;
    };
    struct PreviewResult {
        quint64 generation;
        QImage frame;
        QByteArray jpeg;
        QImage shown; // the frame scaled for the screen
    };

    void refreshCurrent();
    void showPicture(const QImage &picture);
    void showStoredThumbnail(const QByteArray &data);
    void clearPreview();
    PreviewResult makePreview(quint64 generation, const std::shared_ptr<XFile> &file,
                              float fraction);
    void showFirstPicture(quint64 generation, const QImage &image);
    void endPreview(const PreviewResult &result);
    TrimResult refuseTrim(float head, float tail) const;
    std::shared_ptr<TaskClaim> claimSwap() const;
    static TrimOutcome cutInPlace(const std::shared_ptr<XFile> &file, const QString &folder,
                                  float head, float tail, const FileReplacer &replace,
                                  const std::shared_ptr<PreviewSource> &previews);
    void endTrim(const std::shared_ptr<XFile> &file, const TrimOutcome &outcome);
    void learnEncodeDuration(const QString &source);
    void endEncode(const EncodeJob &job, const std::optional<EncodeError> &error);
    void recordEncodedFile(const EncodeJob &job);
    bool hasTools() const;

    std::shared_ptr<XTask> m_task;
    QList<std::shared_ptr<XFile>> m_files;
    QStringList m_itemTexts;
    int m_selected = -1;
    QString m_path;
    QImage m_picture;
    QByteArray m_previewData;
    quint64 m_previewGeneration = 0;
    // How a job thread reaches this controller on the main thread, if it still lives.
    const QPointer<NSVideoToolController> m_self{this};
    bool m_trimming = false;
    float m_encodeDuration;
    NSffmpegConvert264 *m_encoder = nullptr;
    FileReplacer m_replacer;
    // Used on the job thread only.
    std::shared_ptr<PreviewSource> m_previews;
    std::unique_ptr<JobRunner> m_jobs;
};
