#pragma once

#include "store/LoadedValueQueue.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class EntityDescription;
class QThread;
class SqliteDatabase;
class SqliteStatement;
class XCoreDataManagement;
class XManagedObject;

using ObjectList = QList<std::shared_ptr<XManagedObject>>;

// The records of one database: one object per row (an identity map), the records created,
// changed and deleted since the last save (held strongly until it), lazy loading of large
// values and the save itself. One recursive lock guards all of it and the connection; it is
// held for one access at a time, never across a child process.
class ObjectContext : public std::enable_shared_from_this<ObjectContext>
{
public:
    ObjectContext(std::unique_ptr<SqliteDatabase> database, XCoreDataManagement *store);
    ~ObjectContext();

    // The store that opened this context; null once that store is gone (records may outlive
    // it in the hands of their holders).
    XCoreDataManagement *store() const { return m_store.load(); }
    void detachStore() { m_store.store(nullptr); }

    // A standard mutex rather than Qt's, so that ThreadSanitizer sees every lock.
    std::recursive_mutex &mutex() const { return m_mutex; }
    SqliteDatabase &database() const { return *m_database; }

    std::shared_ptr<XManagedObject> insertObject(const EntityDescription &entity);
    void deleteObject(const std::shared_ptr<XManagedObject> &object);
    bool hasChanges() const;
    // Forgets every unsaved change, so that records still held elsewhere no longer keep the
    // context (and its database) alive through it.
    void discardChanges();

    // The records of the entity: the saved rows that `condition` selects, except records
    // that were changed or deleted since, plus every changed or unsaved record for which
    // matchesInMemory holds; in creation order. nullopt with a message when SQLite fails.
    using Predicate = std::function<bool(XManagedObject &)>;
    std::optional<ObjectList> fetch(const EntityDescription &entity, const QString &condition,
                                    const QVariantList &bindings, const Predicate &matchesInMemory,
                                    QString *error);
    // The record of a row, read from the database when it is not in memory; null when the
    // row does not exist.
    std::shared_ptr<XManagedObject> objectWithId(const EntityDescription &entity, qint64 rowId);

    // Decides inside a save's transaction, before anything is written, whether it goes on.
    using Admission = std::function<bool(SqliteDatabase &)>;
    // Writes every change in one transaction, on this thread. On failure the transaction is
    // rolled back, the message logged and every change stays pending; so too, without a
    // message, when `admit` refuses.
    bool saveNow(const Admission &admit = {});
    // saveNow() on the main thread; from another thread the save is queued there and the
    // answer is YES.
    bool requestSave();

    // For XManagedObject, under the lock.
    void noteChanged(const std::shared_ptr<XManagedObject> &object);
    void loadLazyValue(XManagedObject &object, int slot);

private:
    std::shared_ptr<XManagedObject> materialize(const EntityDescription &entity,
                                                const SqliteStatement &row);
    std::shared_ptr<XManagedObject> registered(const EntityDescription &entity, qint64 rowId) const;
    void appendPendingMatches(const EntityDescription &entity, const Predicate &matches,
                              ObjectList &list) const;
    void dropRecordsOfDeletedTargets();
    ObjectList insertedAndChanged() const;
    void commitSucceeded();
    bool onMainThread() const;
    void queueSave();

    mutable std::recursive_mutex m_mutex;
    std::unique_ptr<SqliteDatabase> m_database;
    std::atomic<XCoreDataManagement *> m_store;
    QThread *m_openingThread;
    // Per entity (EntityDescription::index()): row id -> record.
    QHash<qint64, std::weak_ptr<XManagedObject>> m_registered[2];
    std::vector<std::shared_ptr<XManagedObject>> m_inserted;
    std::map<XManagedObject *, std::shared_ptr<XManagedObject>> m_changed;
    std::map<XManagedObject *, std::shared_ptr<XManagedObject>> m_deleted;
    qint64 m_nextInsertSequence = 1;
    LoadedValueQueue m_loadedValues{200};
    std::atomic<bool> m_saveQueued{false};
};
