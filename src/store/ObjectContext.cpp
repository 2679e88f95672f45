#include "store/ObjectContext.h"

#include "platform/Dispatch.h"
#include "platform/Log.h"
#include "store/EntityDescription.h"
#include "store/SaveTransaction.h"
#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/XManagedObject.h"

#include <QCoreApplication>
#include <QThread>

#include <algorithm>
#include <mutex>

using Attribute = AttributeDescription;

ObjectContext::ObjectContext(std::unique_ptr<SqliteDatabase> database, XCoreDataManagement *store)
    : m_database(std::move(database)), m_store(store), m_openingThread(QThread::currentThread())
{
}

ObjectContext::~ObjectContext() = default;

std::shared_ptr<XManagedObject> ObjectContext::insertObject(const EntityDescription &entity)
{
    std::lock_guard locker(m_mutex);
    auto object = entity.makeObject();
    object->m_context = shared_from_this();
    object->m_insertSequence = m_nextInsertSequence++;
    m_inserted.push_back(object);
    return object;
}

void ObjectContext::deleteObject(const std::shared_ptr<XManagedObject> &object)
{
    std::lock_guard locker(m_mutex);
    if (!object || object->m_context.get() != this) return;
    if (object->m_state == XManagedObject::State::Inserted) std::erase(m_inserted, object);
    if (object->m_state == XManagedObject::State::Saved) {
        m_changed.erase(object.get());
        m_deleted[object.get()] = object;
    }
    object->m_state = XManagedObject::State::Deleted;
}

void ObjectContext::discardChanges()
{
    std::vector<std::shared_ptr<XManagedObject>> inserted;
    std::map<XManagedObject *, std::shared_ptr<XManagedObject>> changed;
    std::map<XManagedObject *, std::shared_ptr<XManagedObject>> deleted;
    {
        std::lock_guard locker(m_mutex);
        inserted.swap(m_inserted);
        changed.swap(m_changed);
        deleted.swap(m_deleted);
    }
    // The records go (outside the lock) when the last of these holders does.
}

bool ObjectContext::hasChanges() const
{
    std::lock_guard locker(m_mutex);
    return !m_inserted.empty() || !m_changed.empty() || !m_deleted.empty();
}

std::optional<ObjectList> ObjectContext::fetch(const EntityDescription &entity,
                                               const QString &condition,
                                               const QVariantList &bindings,
                                               const Predicate &matchesInMemory, QString *error)
{
    std::lock_guard locker(m_mutex);
    SqliteStatement query(*m_database, QStringLiteral("SELECT %1 FROM %2 WHERE %3 ORDER BY id")
                                           .arg(entity.selectColumns(), entity.table(), condition));
    query.bindAll(bindings);
    ObjectList list;
    while (query.next()) {
        auto object = registered(entity, query.integer(0));
        if (!object)
            object = materialize(entity, query);
        else if (object->m_state == XManagedObject::State::Deleted || object->m_changedSlots)
            continue;
        list.append(object);
    }
    if (query.failed()) {
        *error = m_database->errorMessage();
        return std::nullopt;
    }
    appendPendingMatches(entity, matchesInMemory, list);
    std::stable_sort(list.begin(), list.end(), [](const auto &a, const auto &b) {
        return a->creationOrder() < b->creationOrder();
    });
    return list;
}

void ObjectContext::appendPendingMatches(const EntityDescription &entity, const Predicate &matches,
                                         ObjectList &list) const
{
    for (const auto &object : insertedAndChanged()) {
        if (&object->entity() == &entity && matches(*object)) list.append(object);
    }
}

std::shared_ptr<XManagedObject> ObjectContext::objectWithId(const EntityDescription &entity,
                                                            qint64 rowId)
{
    std::lock_guard locker(m_mutex);
    if (auto object = registered(entity, rowId)) return object;
    SqliteStatement query(*m_database, QStringLiteral("SELECT %1 FROM %2 WHERE id = ?")
                                           .arg(entity.selectColumns(), entity.table()));
    query.bind(1, rowId);
    return query.next() ? materialize(entity, query) : nullptr;
}

std::shared_ptr<XManagedObject> ObjectContext::registered(const EntityDescription &entity,
                                                          qint64 rowId) const
{
    return m_registered[entity.index()].value(rowId).lock();
}

std::shared_ptr<XManagedObject> ObjectContext::materialize(const EntityDescription &entity,
                                                           const SqliteStatement &row)
{
    auto object = entity.makeObject();
    object->m_context = shared_from_this();
    object->m_state = XManagedObject::State::Saved;
    object->m_rowId = row.integer(0);
    const std::vector<int> &eager = entity.eagerSlots();
    for (std::size_t column = 0; column < eager.size(); ++column) {
        const int slot = eager[column];
        object->m_values[slot] = entity.attribute(slot).fromColumn(row.value(int(column) + 1));
    }
    for (int slot = 0; slot < entity.attributeCount(); ++slot)
        object->m_loaded[slot] = !entity.attribute(slot).lazy;
    m_registered[entity.index()].insert(object->m_rowId, object);
    return object;
}

void ObjectContext::noteChanged(const std::shared_ptr<XManagedObject> &object)
{
    m_changed.emplace(object.get(), object);
}

void ObjectContext::loadLazyValue(XManagedObject &object, int slot)
{
    // Make room first, so that the value read now is not the one forgotten.
    m_loadedValues.trim([](XManagedObject &loaded, int loadedSlot) {
        if (loaded.m_state != XManagedObject::State::Saved || loaded.isChanged(loadedSlot)) return;
        loaded.m_values[loadedSlot] = QVariant();
        loaded.m_loaded[loadedSlot] = false;
    });
    object.m_loaded[slot] = true;
    if (!object.m_rowId) return;
    SqliteStatement query(*m_database, QStringLiteral("SELECT value FROM %1 WHERE owner = ?")
                                           .arg(object.entity().lazyTable(slot)));
    query.bind(1, object.m_rowId);
    if (query.next())
        object.m_values[slot] = object.entity().attribute(slot).fromColumn(query.value(0));
    if (query.failed())
        Log::line(QStringLiteral("Error filtering search: %1").arg(m_database->errorMessage()));
    m_loadedValues.add(object.shared_from_this(), slot);
}

bool ObjectContext::saveNow(const Admission &admit)
{
    std::lock_guard locker(m_mutex);
    dropRecordsOfDeletedTargets();
    if (!hasChanges()) return true;
    SaveTransaction transaction(*m_database);
    if (!transaction.run(m_inserted, m_changed, m_deleted, admit)) {
        if (!transaction.wasRefused())
            Log::line(QStringLiteral("XCoreDataManagement save error: %1")
                          .arg(transaction.errorMessage()));
        return false;
    }
    commitSucceeded();
    return true;
}

// A record that points to a deleted record (a file whose task was removed while a download
// thread was still recording it) goes with it rather than outliving it.
void ObjectContext::dropRecordsOfDeletedTargets()
{
    for (const auto &object : insertedAndChanged()) {
        const EntityDescription &entity = object->entity();
        for (int slot = 0; slot < entity.attributeCount(); ++slot) {
            if (entity.attribute(slot).type != Attribute::Type::Relation) continue;
            const auto target = object->relatedObject(slot);
            if (target && target->m_state == XManagedObject::State::Deleted) deleteObject(object);
        }
    }
}

ObjectList ObjectContext::insertedAndChanged() const
{
    ObjectList pending(m_inserted.begin(), m_inserted.end());
    for (const auto &[key, object] : m_changed)
        pending.append(object);
    return pending;
}

void ObjectContext::commitSucceeded()
{
    for (const auto &object : insertedAndChanged()) {
        const EntityDescription &entity = object->entity();
        for (int slot = 0; slot < entity.attributeCount(); ++slot) {
            if (entity.attribute(slot).lazy && object->isChanged(slot) &&
                object->m_values[slot].isValid())
                m_loadedValues.add(object, slot);
            if (object->m_related[slot]) object->m_values[slot] = object->m_related[slot]->m_rowId;
        }
        object->m_changedSlots = 0;
        object->m_state = XManagedObject::State::Saved;
        m_registered[entity.index()].insert(object->m_rowId, object);
    }
    for (const auto &[key, object] : m_deleted)
        m_registered[object->entity().index()].remove(object->m_rowId);
    m_inserted.clear();
    m_changed.clear();
    m_deleted.clear();
}

bool ObjectContext::requestSave()
{
    if (onMainThread()) return saveNow();
    // Without an event loop there is no main queue: the changes wait for the next save on
    // the main thread, or the one at exit.
    if (QCoreApplication::instance() && !m_saveQueued.exchange(true)) queueSave();
    return true;
}

bool ObjectContext::onMainThread() const
{
    const QCoreApplication *application = QCoreApplication::instance();
    return QThread::currentThread() == (application ? application->thread() : m_openingThread);
}

void ObjectContext::queueSave()
{
    dispatchMain([context = weak_from_this()] {
        if (const auto strong = context.lock()) {
            strong->m_saveQueued = false;
            strong->saveNow();
        }
    });
}
