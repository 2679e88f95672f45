#pragma once

#include "store/TaskClaim.h"
#include "store/XFile.h"
#include "store/XTask.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <functional>
#include <memory>
#include <mutex>
#include <optional>

class ObjectContext;
class SqliteDatabase;
class StoreWatcher;
class TaskEvents;

// The persistent task history: $HOME/Documents/XTaskModel.sqlite, its records and every
// query, creation, removal and save made on them. Any thread may call it.
//
// A store that could not be opened is still an object: it answers every query with an empty
// list, every save with NO and every creation with null, so that nothing runs unrecorded.
// So does a store opened read-only, except that its queries answer.
class XCoreDataManagement
{
public:
    // The application's store. When it is not open, each call tries to open it again.
    static XCoreDataManagement &shared();
    // In the user's home ($HOME, else the home the password database gives).
    static QString defaultStorePath();

    explicit XCoreDataManagement(QString storePath);
    // Saves what is still pending, so nothing queued is lost at exit.
    ~XCoreDataManagement();
    XCoreDataManagement(const XCoreDataManagement &) = delete;
    XCoreDataManagement &operator=(const XCoreDataManagement &) = delete;

    // Opens (creating or upgrading) the file and resets interrupted downloads; logs
    // "place store error." when that fails. True when the store is open.
    bool open();
    // For reading a history that may not be written: opens an existing file of the current
    // version read-only, leaving nothing beside it. True when the store is open (either way).
    bool openReadOnly();
    bool isOpen() const;
    bool isReadOnly() const;
    // Why the last opening failed; empty once one succeeded.
    QString openError() const;
    QString storePath() const { return m_storePath; }
    // What changes in the tasks, here or (while an application runs) in another process
    // sharing the file; it exists before the store is opened.
    TaskEvents &events() const { return *m_events; }

    // All tasks, newest first; tasks created at the same moment, the last created first.
    QList<std::shared_ptr<XTask>> existHistorys();
    // The task of each file whose name contains the text, ignoring case and accents; a task
    // comes once per matching file. A text that folds to nothing finds nothing.
    QList<std::shared_ptr<XTask>> tasksWithString(const QString &text);
    // Those matching files themselves (of tasks not removed), in the same order.
    QList<std::shared_ptr<XFile>> filesWithString(const QString &text);
    QList<std::shared_ptr<XFile>> filesForTask(const std::shared_ptr<XTask> &task);
    // The tasks whose URL names the same video as the given one (TaskURL); newest first.
    QList<std::shared_ptr<XTask>> searchURL(const QString &url);
    bool existURL(const QString &url);

    // A new task, inserted and not saved (and announced); null when the store is not open or
    // read-only.
    std::shared_ptr<XTask> creatTaskURL(const QString &url, const QString &cookie,
                                        const QString &note);
    struct TaskCreation {
        std::shared_ptr<XTask> task; // the new task, or the one that has the URL already
        bool created = false;
    };
    // The duplicate check and the insert as one step for every process sharing the history:
    // unless a task has the same URL (searchURL), a new task, set up by `prepare` and saved
    // in the very transaction that checked. On the main thread. {null, NO} when the store is
    // not open or the save failed.
    TaskCreation creatTaskUnlessKnown(const QString &url, const QString &cookie,
                                      const QString &note,
                                      const std::function<void(XTask &)> &prepare = {});
    // A new file record for the file, linked to no task, inserted and not saved; it has
    // already read what it can from the file (refreshExtInfo).
    std::shared_ptr<XFile> createFile(const QUrl &fileURL);
    // Deletes the task's files from the disk, then its file records and the task, saves and
    // announces the removal.
    // Refused (NO) while a download, here or in another process, holds the task.
    bool removeItem(const std::shared_ptr<XTask> &task);
    // Drops one file record (not the file), unsaved.
    void deleteFile(const std::shared_ptr<XFile> &file);
    // Whether a record or legacy file list of a task other than `owner` names the path.
    bool isPathNamedElsewhere(const QString &path, const XTask &owner);
    // Whether the partial file list of a task other than `owner` names the destination.
    bool isPartialNamedElsewhere(const QString &destination, const XTask &owner);
    // Writes every change at once on the main thread (NO when that fails: the changes stay
    // pending); from another thread queues the save there and answers YES.
    bool save();
    bool hasChanges() const;
    // Why the last save failed (SQLite's message); empty after one that succeeded.
    QString lastSaveError() const;

    // The claim a download holds on its task while it runs (see TaskClaim); null when
    // another download, in this or another process, holds it, or the task was never saved.
    std::unique_ptr<TaskClaim> claimTask(const XTask &task);
    bool isClaimed(const XTask &task) const;
    // A download's claim on a file it is about to write; null, with heldElsewhere set, when
    // another download, in this or another process, writes that file.
    std::unique_ptr<TaskClaim> claimDestination(const QString &path, bool *heldElsewhere) const;

private:
    std::shared_ptr<ObjectContext> context() const;
    std::optional<QList<std::shared_ptr<XTask>>> allTasksNewestFirst(QString *error);
    // Only the tasks whose path list (legacy or partial) is present are read, through the
    // index that holds just them.
    bool isNamedInTaskLists(const QString &path, const XTask &owner, XTask::Attribute list);
    QString claimFolder() const { return m_storePath + QStringLiteral("-claims"); }
    // Logs why the file was not opened and keeps it for openError(); false.
    bool refuse(const QString &reason);
    // Part of opening: follows the commits of other processes and posts what they change.
    void watchOtherProcesses(const std::shared_ptr<ObjectContext> &opened);
    // Part of opening: status 1 becomes 0 for every task that no running download claims.
    bool resetAllProgressTask(SqliteDatabase &database);

    const QString m_storePath;
    mutable std::mutex m_openMutex;
    std::shared_ptr<ObjectContext> m_context;
    bool m_readOnly = false;
    QString m_openError;
    const std::unique_ptr<TaskEvents> m_events;
    std::unique_ptr<StoreWatcher> m_watcher; // set once, by the thread that opened
};
