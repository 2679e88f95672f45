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
    SqliteStatement tasks(database, QStringLiteral("SELECT id FROM XTask"));
    SqliteStatement files(database, QStringLiteral("SELECT id, task FROM XFile"));
    if (!transaction.isOpen() || !readDataVersion(&m_dataVersion)) return false;
    while (tasks.next())
        m_knownTasks.insert(tasks.integer(0));
    while (files.next())
        m_knownFiles.insert(files.integer(0), files.integer(1));
    return !tasks.failed() && !files.failed();
}

void ContextRefresh::noteSaved(const XManagedObject &object)
{
    if (&object.entity() == &XTask::entity())
        m_knownTasks.insert(object.m_rowId);
    else
        m_knownFiles.insert(object.m_rowId, object.m_values[XFile::Task].toLongLong());
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
        Log::line(QStringLiteral("Error filtering search: %1").arg(database.errorMessage()));
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

bool ContextRefresh::refreshTasks(OtherConnectionsChanges &changes, QSet<qint64> &changedTasks)
{
    const EntityDescription &entity = XTask::entity();
    SqliteStatement rows(m_context.database(),
                         QStringLiteral("SELECT %1 FROM XTask").arg(entity.selectColumns()));
    QSet<qint64> seen;
    while (rows.next()) {
        const qint64 rowId = rows.integer(0);
        seen.insert(rowId);
        auto object = m_context.registered(entity, rowId);
        const bool isNew = !m_knownTasks.contains(rowId);
        if (isNew && !object) object = m_context.materialize(entity, rows);
        if (isNew) changes.inserted.append(asTask(object));
        if (!object || object->m_state != XManagedObject::State::Saved) continue;
        bool differs = takeRow(*object, rows);
        if (takeLazyValue(*object, XTask::Thumbnail)) {
            changes.thumbnailChanged.append(asTask(object));
            differs = true;
        }
        if (takeLazyValue(*object, XTask::SourceDescription) || differs) changedTasks.insert(rowId);
    }
    if (rows.failed()) return false;
    for (const qint64 rowId : std::as_const(m_knownTasks)) {
        if (seen.contains(rowId)) continue;
        if (const auto object = liveRecord(entity, rowId)) {
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
    const std::vector<int> &eager = entity.eagerSlots();
    const int taskColumn =
        int(std::find(eager.begin(), eager.end(), XFile::Task) - eager.begin()) + 1;
    SqliteStatement rows(m_context.database(),
                         QStringLiteral("SELECT %1 FROM XFile").arg(entity.selectColumns()));
    QHash<qint64, qint64> seen;
    while (rows.next()) {
        const qint64 rowId = rows.integer(0);
        const qint64 taskRow = rows.integer(taskColumn);
        seen.insert(rowId, taskRow);
        const auto known = m_knownFiles.constFind(rowId);
        if (known == m_knownFiles.constEnd() || *known != taskRow) changedTasks.insert(taskRow);
        if (known != m_knownFiles.constEnd() && *known != taskRow) changedTasks.insert(*known);
        const auto object = m_context.registered(entity, rowId);
        if (!object || object->m_state != XManagedObject::State::Saved) continue;
        const bool rowDiffers = takeRow(*object, rows);
        const bool thumbnailDiffers = takeLazyValue(*object, XFile::Thumbnail);
        if (takeLazyValue(*object, XFile::SourceDescription) || rowDiffers || thumbnailDiffers)
            changedTasks.insert(taskRow);
    }
    if (rows.failed()) return false;
    for (auto known = m_knownFiles.constBegin(); known != m_knownFiles.constEnd(); ++known) {
        if (seen.contains(known.key())) continue;
        changedTasks.insert(known.value());
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
