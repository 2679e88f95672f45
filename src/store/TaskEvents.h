#pragma once

#include <QHash>
#include <QObject>

#include <memory>
#include <mutex>
#include <vector>

class XTask;

// What changed in one store's tasks, for the views: posted from any thread, delivered on the
// main thread in a later turn of its event loop. The posts of one task within one turn come
// as one signal of each kind: a removal alone, else an insertion alone, else a change
// followed by a thumbnail change when one was posted. Views connect once and compare task
// pointers (one record per row makes that the task's identity).
class TaskEvents : public QObject
{
    Q_OBJECT
public:
    explicit TaskEvents(QObject *parent = nullptr);

    void postInserted(const std::shared_ptr<XTask> &task) { post(task, Inserted); }
    // Status, files, thumbnail or note.
    void postChanged(const std::shared_ptr<XTask> &task) { post(task, Changed); }
    // The task's picture: also a change of the task.
    void postThumbnailChanged(const std::shared_ptr<XTask> &task)
    {
        post(task, Changed | ThumbnailChanged);
    }
    void postRemoved(const std::shared_ptr<XTask> &task) { post(task, Removed); }

signals:
    void taskInserted(std::shared_ptr<XTask> task);
    void taskChanged(std::shared_ptr<XTask> task);
    // "Notification_Name_Thumbnail_Changed"
    void thumbnailChanged(std::shared_ptr<XTask> task);
    void taskRemoved(std::shared_ptr<XTask> task);

private slots:
    void deliver();

private:
    enum Kind : unsigned { Inserted = 1, Changed = 2, ThumbnailChanged = 4, Removed = 8 };
    struct Pending {
        std::shared_ptr<XTask> task;
        unsigned kinds;
    };

    void post(const std::shared_ptr<XTask> &task, unsigned kinds);
    void emitFor(const Pending &pending);

    std::mutex m_mutex;
    // In the order of each task's first post this turn.
    std::vector<Pending> m_pending;
    QHash<const XTask *, std::size_t> m_pendingIndex;
};
