#include "store/ContextRefresh.h"

#include "platform/Log.h"
#include "store/ObjectContext.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/XFile.h"
#include "store/XTask.h"

#include <algorithm>

namespace
{

std::shared_ptr<XTask> asTask(const std::shared_ptr<XManagedObject> &object)
{
    return std::static_pointer_cast<XTask>(object);
}

int columnOf(const EntityDescription &entity, int slot)
{
    const std::vector<int> &eager = entity.eagerSlots();
    return int(std::find(eager.begin(), eager.end(), slot) - eager.begin()) + 1;
}

bool sameValue(const QVariant &a, const QVariant &b)
{
    return a.isValid() == b.isValid() && a == b;
}

// One read transaction, so that the version and every row come from one moment.
class ReadTransaction
{
public:
    explicit ReadTransaction(SqliteDatabase &database) : m_database(database)
    {
        m_open = m_database.exec(QStringLiteral("BEGIN"));
    }
    ~ReadTransaction()
    {
        if (m_open) m_database.exec(QStringLiteral("COMMIT"));
    }
    bool isOpen() const { return m_open; }

private:
    SqliteDatabase &m_database;
    bool m_open;
};

} // namespace

bool ContextRefresh::start()
{
    SqliteDatabase &database = m_context.database();
    const ReadTransaction transaction(database);
    const EntityDescription &taskEntity = XTask::entity();
    const EntityDescription &fileEntity = XFile::entity();
    SqliteStatement tasks(database, rowQuery(taskEntity));
    SqliteStatement files(database, rowQuery(fileEntity));
    if (!transaction.isOpen() || !readDataVersion(&m_dataVersion)) return false;
    while (tasks.next())
        m_knownTasks.insert(tasks.integer(0), {fingerprintOf(taskEntity, tasks)});
    const int taskColumn = columnOf(fileEntity, XFile::Task);
    while (files.next()) {
        m_knownFiles.insert(files.integer(0),
                            {fingerprintOf(fileEntity, files), files.integer(taskColumn)});
    }
    return !tasks.failed() && !files.failed();
}

// The row's fingerprint is not known after this context's own save: the next refresh compares
// the record instead.
void ContextRefresh::noteSaved(const XManagedObject &object)
{
    if (&object.entity() == &XTask::entity())
        m_knownTasks.insert(object.m_rowId, {});
    else
        m_knownFiles.insert(object.m_rowId, {0, object.m_values[XFile::Task].toLongLong()});
}

void ContextRefresh::noteRemoved(const XManagedObject &object)
{
    if (&object.entity() == &XTask::entity())
        m_knownTasks.remove(object.m_rowId);
    else
        m_knownFiles.remove(object.m_rowId);
}

OtherConnectionsChanges ContextRefresh::run()
{
    SqliteDatabase &database = m_context.database();
    const ReadTransaction transaction(database);
    qint64 version = 0;
    if (!transaction.isOpen() || !readDataVersion(&version) || version == m_dataVersion) return {};
    OtherConnectionsChanges changes;
    QSet<qint64> changedTasks;
    if (!refreshTasks(changes, changedTasks) || !refreshFiles(changedTasks)) {
        Log::line(QStringLiteral("Store refresh error: %1").arg(database.errorMessage()));
        return changes;
    }
    m_dataVersion = version;
    for (const qint64 taskRow : changedTasks) {
        if (const auto task = liveRecord(XTask::entity(), taskRow))
            changes.changed.append(asTask(task));
    }
    return changes;
}

bool ContextRefresh::readDataVersion(qint64 *version) const
{
    SqliteStatement query(m_context.database(), QStringLiteral("PRAGMA data_version"));
    if (!query.next()) return false;
    *version = query.integer(0);
    return true;
}

QString ContextRefresh::rowQuery(const EntityDescription &entity)
{
    return QStringLiteral("SELECT %1 FROM %2").arg(entity.selectColumns(), entity.table());
}

std::size_t ContextRefresh::fingerprintOf(const EntityDescription &entity,
                                          const SqliteStatement &row)
{
    const std::size_t fingerprint = row.hashColumns(1, int(entity.eagerSlots().size()));
    return fingerprint ? fingerprint : 1;
}

bool ContextRefresh::refreshTasks(OtherConnectionsChanges &changes, QSet<qint64> &changedTasks)
{
    const EntityDescription &entity = XTask::entity();
    SqliteStatement rows(m_context.database(), rowQuery(entity));
    KnownRows seen;
    while (rows.next()) {
        const qint64 rowId = rows.integer(0);
        const std::size_t fingerprint = fingerprintOf(entity, rows);
        seen.insert(rowId, {fingerprint});
        const auto known = m_knownTasks.constFind(rowId);
        const bool isNew = known == m_knownTasks.constEnd();
        auto object = m_context.registered(entity, rowId);
        if (isNew && !object) object = m_context.materialize(entity, rows);
        if (isNew) changes.inserted.append(asTask(object));
        if (!object || object->m_state != XManagedObject::State::Saved) continue;
        bool differs = (isNew || known->fingerprint != fingerprint) && takeRow(*object, rows);
        if (takeLazyValue(*object, XTask::Thumbnail)) {
            changes.thumbnailChanged.append(asTask(object));
            differs = true;
        }
        if (takeLazyValue(*object, XTask::SourceDescription) || differs) changedTasks.insert(rowId);
    }
    if (rows.failed()) return false;
    for (auto known = m_knownTasks.constBegin(); known != m_knownTasks.constEnd(); ++known) {
        if (seen.contains(known.key())) continue;
        if (const auto object = liveRecord(entity, known.key())) {
            forget(object);
            changes.removed.append(asTask(object));
        }
    }
    m_knownTasks = std::move(seen);
    return true;
}

bool ContextRefresh::refreshFiles(QSet<qint64> &changedTasks)
{
    const EntityDescription &entity = XFile::entity();
    const int taskColumn = columnOf(entity, XFile::Task);
    SqliteStatement rows(m_context.database(), rowQuery(entity));
    KnownRows seen;
    while (rows.next()) {
        const qint64 rowId = rows.integer(0);
        const KnownRow row{fingerprintOf(entity, rows), rows.integer(taskColumn)};
        seen.insert(rowId, row);
        const auto found = m_knownFiles.constFind(rowId);
        const bool isNew = found == m_knownFiles.constEnd();
        const KnownRow known = isNew ? KnownRow() : *found;
        const bool rowChanged = known.fingerprint != row.fingerprint;
        // A row saved here last (fingerprint unknown) counts only if its record differs.
        bool differs = isNew || (rowChanged && known.fingerprint != 0);
        const auto object = m_context.registered(entity, rowId);
        if (object && object->m_state == XManagedObject::State::Saved) {
            if (rowChanged && takeRow(*object, rows)) differs = true;
            if (takeLazyValue(*object, XFile::Thumbnail)) differs = true;
            if (takeLazyValue(*object, XFile::SourceDescription)) differs = true;
        }
        if (!differs) continue;
        changedTasks.insert(row.task);
        changedTasks.insert(known.task);
    }
    if (rows.failed()) return false;
    for (auto known = m_knownFiles.constBegin(); known != m_knownFiles.constEnd(); ++known) {
        if (seen.contains(known.key())) continue;
        changedTasks.insert(known.value().task);
        if (const auto object = liveRecord(entity, known.key())) forget(object);
    }
    m_knownFiles = std::move(seen);
    return true;
}

bool ContextRefresh::takeRow(XManagedObject &object, const SqliteStatement &row) const
{
    const EntityDescription &entity = object.entity();
    const std::vector<int> &eager = entity.eagerSlots();
    bool differs = false;
    for (std::size_t column = 0; column < eager.size(); ++column) {
        const int slot = eager[column];
        if (object.isChanged(slot)) continue;
        const QVariant fresh = entity.attribute(slot).fromColumn(row.value(int(column) + 1));
        if (sameValue(object.m_values[slot], fresh)) continue;
        object.m_values[slot] = fresh;
        object.m_related[slot] = nullptr; // a relation finds its new target when asked
        differs = true;
    }
    return differs;
}

bool ContextRefresh::takeLazyValue(XManagedObject &object, int slot) const
{
    if (!object.m_loaded[slot] || object.isChanged(slot)) return false;
    SqliteStatement query(m_context.database(),
                          QStringLiteral("SELECT value FROM %1 WHERE owner = ?")
                              .arg(object.entity().lazyTable(slot)));
    query.bind(1, object.m_rowId);
    const QVariant fresh =
        query.next() ? object.entity().attribute(slot).fromColumn(query.value(0)) : QVariant();
    if (query.failed() || sameValue(object.m_values[slot], fresh)) return false;
    object.m_values[slot] = fresh;
    return true;
}

// A row another connection deleted: its record is deleted here too, and no save of this
// context brings it back.
void ContextRefresh::forget(const std::shared_ptr<XManagedObject> &object) const
{
    object->m_state = XManagedObject::State::Deleted;
    m_context.m_changed.erase(object.get());
    m_context.m_registered[object->entity().index()].remove(object->m_rowId);
}

std::shared_ptr<XManagedObject> ContextRefresh::liveRecord(const EntityDescription &entity,
                                                           qint64 rowId) const
{
    const auto object = m_context.registered(entity, rowId);
    return object && object->m_state != XManagedObject::State::Deleted ? object : nullptr;
}
