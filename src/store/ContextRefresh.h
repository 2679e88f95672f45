#pragma once

#include <QHash>
#include <QList>
#include <QSet>

#include <memory>

class EntityDescription;
class ObjectContext;
class SqliteStatement;
class XManagedObject;
class XTask;

// The tasks that other connections inserted, changed or removed.
struct OtherConnectionsChanges {
    QList<std::shared_ptr<XTask>> inserted;
    // Their row, one of their files or a value read from the database changed.
    QList<std::shared_ptr<XTask>> changed;
    QList<std::shared_ptr<XTask>> thumbnailChanged;
    QList<std::shared_ptr<XTask>> removed;
};

// Brings the records of a context up to date with what other connections (another process,
// another store object) committed to its database. SQLite's data_version says whether
// anything was; then every row is read once: new rows become records, records of gone rows
// are deleted, and a saved record whose row's fingerprint (a hash of its columns) differs from
// the last one seen takes the new values, except values changed here and not yet saved, which
// win. Lazy values are compared only where they are held.
//
// Every call is made under the context's lock.
class ContextRefresh
{
public:
    explicit ContextRefresh(ObjectContext &context) : m_context(context) {}

    // Takes the database as it is now as known; false when it could not be read.
    bool start();
    // This context's own saves, which are no news.
    void noteSaved(const XManagedObject &object);
    void noteRemoved(const XManagedObject &object);
    // Nothing when no other connection committed since the last call (or when reading failed:
    // the next call tries again).
    OtherConnectionsChanges run();

private:
    // What is remembered of a row: its fingerprint (0: unknown, compare the record) and, for
    // a file, its task.
    struct KnownRow {
        std::size_t fingerprint = 0;
        qint64 task = 0;
    };
    using KnownRows = QHash<qint64, KnownRow>;

    bool readDataVersion(qint64 *version) const;
    static QString rowQuery(const EntityDescription &entity);
    static std::size_t fingerprintOf(const EntityDescription &entity, const SqliteStatement &row);
    bool refreshTasks(OtherConnectionsChanges &changes, QSet<qint64> &changedTasks);
    bool refreshFiles(QSet<qint64> &changedTasks);
    // Takes the row's values into the saved record; which of them differed.
    bool takeRow(XManagedObject &object, const SqliteStatement &row) const;
    bool takeLazyValue(XManagedObject &object, int slot) const;
    void forget(const std::shared_ptr<XManagedObject> &object) const;
    std::shared_ptr<XManagedObject> liveRecord(const EntityDescription &entity, qint64 rowId) const;

    ObjectContext &m_context;
    qint64 m_dataVersion = -1;
    KnownRows m_knownTasks;
    KnownRows m_knownFiles;
};
