#include "store/XCoreDataManagement.h"

#include "platform/Log.h"
#include "store/ObjectContext.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/StoreSchema.h"
#include "store/StoreWatcher.h"
#include "store/TaskEvents.h"
#include "store/TaskURL.h"
#include "store/TextFold.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <limits>
#include <mutex>

#include <pwd.h>
#include <unistd.h>

namespace
{

template <typename Record> QList<std::shared_ptr<Record>> recordsOf(const ObjectList &objects)
{
    QList<std::shared_ptr<Record>> records;
    records.reserve(objects.size());
    for (const auto &object : objects)
        records.append(std::static_pointer_cast<Record>(object));
    return records;
}

// Newest first; equal dates keep the reverse of creation order, which the list comes in.
void sortNewestFirst(QList<std::shared_ptr<XTask>> &tasks)
{
    std::reverse(tasks.begin(), tasks.end());
    std::vector<std::pair<qint64, std::shared_ptr<XTask>>> keyed;
    keyed.reserve(tasks.size());
    for (const auto &task : tasks) {
        const QDateTime date = task->createDate();
        keyed.emplace_back(
            date.isValid() ? date.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min(), task);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first > b.first; });
    for (qsizetype i = 0; i < tasks.size(); ++i)
        tasks[i] = keyed[i].second;
}

QString homeFolder()
{
    if (!qEnvironmentVariableIsEmpty("HOME")) return QDir::homePath();
    const passwd *entry = getpwuid(getuid());
    return entry && entry->pw_dir ? QFile::decodeName(entry->pw_dir) : QString();
}

// The row of a saved task with the same URL, newest first; 0 when there is none, nothing
// when SQLite failed to say.
std::optional<qint64> savedTaskWithURL(SqliteDatabase &database, const QString &url)
{
    SqliteStatement rows(database, QStringLiteral("SELECT id, url FROM XTask WHERE url IS NOT "
                                                  "NULL ORDER BY id DESC"));
    while (rows.next()) {
        if (TaskURL::same(rows.value(1).toString(), url)) return rows.integer(0);
    }
    return rows.failed() ? std::nullopt : std::optional<qint64>(0);
}

} // namespace

XCoreDataManagement &XCoreDataManagement::shared()
{
    static XCoreDataManagement store(defaultStorePath());
    if (!store.isOpen() && store.open() && QCoreApplication::instance()) {
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit,
                         [] { shared().save(); });
    }
    return store;
}

QString XCoreDataManagement::defaultStorePath()
{
    return homeFolder() + QStringLiteral("/Documents/XTaskModel.sqlite");
}

XCoreDataManagement::XCoreDataManagement(QString storePath)
    : m_storePath(std::move(storePath)), m_events(std::make_unique<TaskEvents>())
{
    // The shared store saves at exit: the model it saves with must be destroyed after it.
    XTask::entity();
    XFile::entity();
}

XCoreDataManagement::~XCoreDataManagement()
{
    // What cannot be saved now never will be through this store: dropped, or the records
    // still held elsewhere and the context would keep each other alive.
    const auto opened = context();
    if (!opened) return;
    if (!opened->saveNow()) opened->discardChanges();
    opened->detachStore();
}

bool XCoreDataManagement::open()
{
    std::shared_ptr<ObjectContext> opened;
    {
        std::lock_guard locker(m_openMutex);
        if (m_context) return true;
        QDir().mkpath(QFileInfo(m_storePath).absolutePath());
        QString reason;
        const auto reset = [this](SqliteDatabase &database) {
            return resetAllProgressTask(database);
        };
        std::unique_ptr<SqliteDatabase> database = StoreSchema::open(m_storePath, reset, &reason);
        if (!database) return refuse(reason);
        // Last, once nothing can refuse the file any more: a refused file keeps its journal
        // mode.
        if (!StoreSchema::useWriteAheadLog(*database)) return refuse(database->errorMessage());
        opened = m_context = std::make_shared<ObjectContext>(std::move(database), this);
        m_openError.clear();
    }
    watchOtherProcesses(opened);
    return true;
}

bool XCoreDataManagement::openReadOnly()
{
    std::shared_ptr<ObjectContext> opened;
    {
        std::lock_guard locker(m_openMutex);
        if (m_context) return true;
        QString reason;
        std::unique_ptr<SqliteDatabase> database = StoreSchema::openReadOnly(m_storePath, &reason);
        if (!database) return refuse(reason);
        opened = m_context = std::make_shared<ObjectContext>(std::move(database), this);
        m_readOnly = true;
        m_openError.clear();
    }
    watchOtherProcesses(opened);
    return true;
}

// Only where an event loop can deliver what is seen. After m_openMutex is released, by the
// thread that made the context: code under the context's lock takes m_openMutex (context()),
// so the two are never taken in the other order.
void XCoreDataManagement::watchOtherProcesses(const std::shared_ptr<ObjectContext> &opened)
{
    if (!QCoreApplication::instance()) return;
    if (!opened->followOtherConnections()) {
        Log::line(
            zelvoStore(),
            QStringLiteral("%1: changes of other processes are not followed.").arg(m_storePath));
        return;
    }
    m_watcher = std::make_unique<StoreWatcher>(opened, *m_events);
}

bool XCoreDataManagement::refuse(const QString &reason)
{
    m_openError = reason;
    Log::line(zelvoStore(), QStringLiteral("%1: %2").arg(m_storePath, reason));
    Log::line(zelvoStore(), QStringLiteral("place store error."));
    return false;
}

bool XCoreDataManagement::isOpen() const
{
    return context() != nullptr;
}

bool XCoreDataManagement::isReadOnly() const
{
    std::lock_guard locker(m_openMutex);
    return m_context && m_readOnly;
}

QString XCoreDataManagement::openError() const
{
    std::lock_guard locker(m_openMutex);
    return m_openError;
}

std::shared_ptr<ObjectContext> XCoreDataManagement::context() const
{
    std::lock_guard locker(m_openMutex);
    return m_context;
}

// Inside the opening's transaction, so that a process starting a download meanwhile either
// has its claim seen here or writes its status after this.
bool XCoreDataManagement::resetAllProgressTask(SqliteDatabase &database)
{
    SqliteStatement running(database, QStringLiteral("SELECT id FROM XTask WHERE status = 1"));
    SqliteStatement reset(database, QStringLiteral("UPDATE XTask SET status = 0 WHERE id = ?"));
    bool ok = true;
    while (ok && running.next()) {
        if (TaskClaim::isHeld(claimFolder(), running.integer(0))) continue;
        reset.reset();
        reset.bind(1, running.integer(0));
        ok = reset.run();
    }
    return ok && !running.failed();
}

QList<std::shared_ptr<XTask>> XCoreDataManagement::existHistorys()
{
    QString error;
    const auto tasks = allTasksNewestFirst(&error);
    if (!tasks) Log::line(zelvoStore(), QStringLiteral("Error filtering search: %1").arg(error));
    return tasks.value_or(QList<std::shared_ptr<XTask>>());
}

std::optional<QList<std::shared_ptr<XTask>>>
XCoreDataManagement::allTasksNewestFirst(QString *error)
{
    const auto opened = context();
    if (!opened) return QList<std::shared_ptr<XTask>>();
    const auto all = opened->fetch(
        XTask::entity(), QStringLiteral("1"), {}, [](XManagedObject &) { return true; }, error);
    if (!all) return std::nullopt;
    auto tasks = recordsOf<XTask>(*all);
    sortNewestFirst(tasks);
    return tasks;
}

QList<std::shared_ptr<XTask>> XCoreDataManagement::tasksWithString(const QString &text)
{
    QList<std::shared_ptr<XTask>> tasks;
    for (const auto &file : filesWithString(text))
        tasks.append(file->task());
    return tasks;
}

QList<std::shared_ptr<XFile>> XCoreDataManagement::filesWithString(const QString &text)
{
    const auto opened = context();
    const QString needle = TextFold::fold(text);
    if (!opened || needle.isEmpty()) return {};
    QString error;
    const auto files = opened->fetch(
        XFile::entity(), QStringLiteral("instr(name_folded, ?) > 0"), {needle},
        [&needle](XManagedObject &file) {
            return TextFold::fold(static_cast<XFile &>(file).name()).contains(needle);
        },
        &error);
    if (!files) {
        Log::line(zelvoStore(), QStringLiteral("Error filtering search: %1").arg(error));
        return {};
    }
    QList<std::shared_ptr<XFile>> found;
    for (const auto &file : recordsOf<XFile>(*files)) {
        const auto task = file->task();
        if (!task)
            Log::line(zelvoStore(), QStringLiteral("%1 NOT task.").arg(file->localFile()));
        else if (!task->isDeleted())
            found.append(file);
    }
    return found;
}

QList<std::shared_ptr<XFile>> XCoreDataManagement::filesForTask(const std::shared_ptr<XTask> &task)
{
    const auto opened = context();
    if (!opened || !task) return {};
    // A save on the main thread must not number the task between reading its row and the query.
    std::lock_guard locker(opened->mutex());
    if (task->isDeleted()) return {};
    const qint64 taskRow = task->rowId();
    QString error;
    const auto files = opened->fetch(
        XFile::entity(), taskRow ? QStringLiteral("task = ?") : QStringLiteral("0"), {taskRow},
        [&task](XManagedObject &file) { return static_cast<XFile &>(file).task() == task; },
        &error);
    if (!files) {
        Log::line(zelvoStore(), QStringLiteral("Error filtering search: %1").arg(error));
        return {};
    }
    return recordsOf<XFile>(*files);
}

QList<std::shared_ptr<XTask>> XCoreDataManagement::searchURL(const QString &url)
{
    QString error;
    const auto tasks = allTasksNewestFirst(&error);
    if (!tasks) {
        Log::line(zelvoStore(), QStringLiteral("searchURL filtering: %1").arg(error));
        return {};
    }
    QList<std::shared_ptr<XTask>> found;
    for (const auto &task : *tasks) {
        if (TaskURL::same(task->url(), url)) found.append(task);
    }
    return found;
}

bool XCoreDataManagement::existURL(const QString &url)
{
    return !searchURL(url).isEmpty();
}

std::shared_ptr<XTask> XCoreDataManagement::creatTaskURL(const QString &url, const QString &cookie,
                                                         const QString &note)
{
    const auto opened = context();
    if (!opened || isReadOnly()) return nullptr;
    auto task = std::static_pointer_cast<XTask>(opened->insertObject(XTask::entity()));
    task->setCreateDate(QDateTime::currentDateTime());
    task->setUrl(url);
    task->setNote(note);
    task->setBrowers(cookie == QLatin1String("None") ? QStringLiteral("") : cookie);
    m_events->postInserted(task);
    return task;
}

XCoreDataManagement::TaskCreation
XCoreDataManagement::creatTaskUnlessKnown(const QString &url, const QString &cookie,
                                          const QString &note,
                                          const std::function<void(XTask &)> &prepare)
{
    const auto opened = context();
    if (!opened) return {};
    std::lock_guard locker(opened->mutex());
    // This process's unsaved tasks first; the saved ones of every process inside the save.
    if (const auto known = searchURL(url).value(0)) return {known, false};
    const auto task = creatTaskURL(url, cookie, note);
    if (!task) return {};
    if (prepare) prepare(*task);
    qint64 knownRow = 0;
    const bool saved = opened->saveNow([&](SqliteDatabase &database) {
        const std::optional<qint64> row = savedTaskWithURL(database, url);
        knownRow = row.value_or(0);
        return row == 0;
    });
    if (saved) return {task, true};
    opened->deleteObject(task);
    m_events->postRemoved(task);
    if (!knownRow) return {};
    return {std::static_pointer_cast<XTask>(opened->objectWithId(XTask::entity(), knownRow)),
            false};
}

std::shared_ptr<XFile> XCoreDataManagement::createFile(const QUrl &fileURL)
{
    const auto opened = context();
    if (!opened || isReadOnly()) return nullptr;
    auto file = std::static_pointer_cast<XFile>(opened->insertObject(XFile::entity()));
    file->setLocalFile(fileURL.toLocalFile());
    file->refreshExtInfo();
    return file;
}

bool XCoreDataManagement::removeItem(const std::shared_ptr<XTask> &task)
{
    const auto opened = context();
    if (!opened || !task) return false;
    // A running download would go on recording files for a task that is gone.
    if (isClaimed(*task)) {
        Log::line(zelvoStore(), QStringLiteral("removeItem: the task is downloading."));
        return false;
    }
    task->removeLocationFiles();
    for (const auto &file : filesForTask(task))
        opened->deleteObject(file);
    opened->deleteObject(task);
    m_events->postRemoved(task);
    return opened->requestSave();
}

void XCoreDataManagement::deleteFile(const std::shared_ptr<XFile> &file)
{
    if (const auto opened = context()) opened->deleteObject(file);
}

bool XCoreDataManagement::isPathNamedElsewhere(const QString &path, const XTask &owner)
{
    const auto opened = context();
    if (!opened) return false;
    QString error;
    const auto files = opened->fetch(
        XFile::entity(), QStringLiteral("localFile = ?"), {path},
        [&path](XManagedObject &file) { return static_cast<XFile &>(file).localFile() == path; },
        &error);
    if (!files) {
        Log::line(zelvoStore(), QStringLiteral("Error filtering search: %1").arg(error));
        return true; // unsure: keep the file
    }
    for (const auto &file : recordsOf<XFile>(*files)) {
        const auto task = file->task();
        if (task.get() != &owner && !(task && task->isDeleted())) return true;
    }
    return isNamedInTaskLists(path, owner, XTask::LocalFile);
}

bool XCoreDataManagement::isPartialNamedElsewhere(const QString &destination, const XTask &owner)
{
    return isNamedInTaskLists(destination, owner, XTask::PartialFiles);
}

bool XCoreDataManagement::isNamedInTaskLists(const QString &path, const XTask &owner,
                                             XTask::Attribute list)
{
    const auto opened = context();
    if (!opened) return false;
    const auto pathsOf = [list](XManagedObject &task) {
        return static_cast<XTask &>(task).pathList(list);
    };
    QString error;
    const auto tasks = opened->fetch(
        XTask::entity(), QStringLiteral("%1 IS NOT NULL").arg(XTask::entity().attribute(list).name),
        {}, [&pathsOf](XManagedObject &task) { return !pathsOf(task).isEmpty(); }, &error);
    if (!tasks) {
        Log::line(zelvoStore(), QStringLiteral("Error filtering search: %1").arg(error));
        return true; // unsure: keep the file
    }
    for (const auto &task : *tasks) {
        if (task.get() != &owner && pathsOf(*task).contains(path)) return true;
    }
    return false;
}

bool XCoreDataManagement::save()
{
    const auto opened = context();
    return opened && opened->requestSave();
}

bool XCoreDataManagement::hasChanges() const
{
    const auto opened = context();
    return opened && opened->hasChanges();
}

QString XCoreDataManagement::lastSaveError() const
{
    const auto opened = context();
    return opened ? opened->lastSaveError() : QStringLiteral("the history is not open");
}

std::unique_ptr<TaskClaim> XCoreDataManagement::claimTask(const XTask &task)
{
    const qint64 taskRow = task.rowId();
    if (!isOpen() || isReadOnly() || !taskRow) return nullptr;
    return TaskClaim::take(claimFolder(), taskRow);
}

bool XCoreDataManagement::isClaimed(const XTask &task) const
{
    const qint64 taskRow = task.rowId();
    return taskRow && TaskClaim::isHeld(claimFolder(), taskRow);
}

std::unique_ptr<TaskClaim> XCoreDataManagement::claimDestination(const QString &path,
                                                                 bool *heldElsewhere) const
{
    auto claim = TaskClaim::takeFile(claimFolder(), path);
    *heldElsewhere = !claim && TaskClaim::isFileHeld(claimFolder(), path);
    return claim;
}
