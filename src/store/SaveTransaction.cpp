#include "store/SaveTransaction.h"

#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/TextFold.h"
#include "store/XManagedObject.h"

#include <algorithm>

using Attribute = AttributeDescription;

bool SaveTransaction::run(const std::vector<std::shared_ptr<XManagedObject>> &inserted,
                          const ObjectMap &changed, const ObjectMap &deleted,
                          const std::function<bool(SqliteDatabase &)> &admit)
{
    if (!m_database.exec(QStringLiteral("BEGIN IMMEDIATE"))) return fail();
    if (admit && !admit(m_database)) {
        m_refused = true;
        m_error = QStringLiteral("refused");
        rollBack();
        return false;
    }
    if (!writeAll(inserted, changed, deleted) || !m_database.exec(QStringLiteral("COMMIT"))) {
        fail();
        rollBack();
        return false;
    }
    return true;
}

// Records that others point to (tasks) are written before those that point (files), and
// deleted after them.
bool SaveTransaction::writeAll(const std::vector<std::shared_ptr<XManagedObject>> &inserted,
                               const ObjectMap &changed, const ObjectMap &deleted)
{
    auto byEntity = [](XManagedObject *a, XManagedObject *b) {
        return a->entity().index() < b->entity().index();
    };
    std::vector<XManagedObject *> toInsert;
    for (const auto &object : inserted)
        toInsert.push_back(object.get());
    std::stable_sort(toInsert.begin(), toInsert.end(), byEntity);
    for (XManagedObject *object : toInsert) {
        if (!insert(*object)) return false;
    }
    for (const auto &[object, holder] : changed) {
        if (!update(*object)) return false;
    }
    std::vector<XManagedObject *> toRemove;
    for (const auto &[object, holder] : deleted)
        toRemove.push_back(object);
    std::stable_sort(toRemove.rbegin(), toRemove.rend(), byEntity);
    return std::all_of(toRemove.begin(), toRemove.end(),
                       [this](XManagedObject *object) { return remove(*object); });
}

bool SaveTransaction::insert(XManagedObject &object)
{
    QStringList columns;
    QVariantList values;
    collectColumns(object, object.entity().eagerSlots(), &columns, &values);
    // Above every id the table has given, also those of removed rows (RowIdFloor).
    const QString table = object.entity().table();
    const QString nextId =
        QStringLiteral("max(coalesce((SELECT max(id) FROM %1), 0), coalesce((SELECT highest FROM "
                       "RowIdFloor WHERE tableName = '%1'), 0)) + 1")
            .arg(table);
    const QString sql =
        QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
            .arg(table, (QStringList{QStringLiteral("id")} + columns).join(QStringLiteral(", ")),
                 (QStringList{nextId} + QStringList(columns.size(), QStringLiteral("?")))
                     .join(QStringLiteral(", ")));
    if (!execute(sql, values)) return false;
    object.m_rowId = m_database.lastInsertRowId();
    m_numbered.push_back(&object);
    for (int slot = 0; slot < object.entity().attributeCount(); ++slot) {
        if (object.entity().attribute(slot).lazy && object.m_values[slot].isValid() &&
            !writeLazyValue(object, slot))
            return false;
    }
    return true;
}

bool SaveTransaction::update(XManagedObject &object)
{
    std::vector<int> changedEager;
    for (int slot : object.entity().eagerSlots()) {
        if (object.isChanged(slot)) changedEager.push_back(slot);
    }
    QStringList columns;
    QVariantList values;
    collectColumns(object, changedEager, &columns, &values);
    if (!columns.isEmpty()) {
        values.append(object.m_rowId);
        const QString sql =
            QStringLiteral("UPDATE %1 SET %2 = ? WHERE id = ?")
                .arg(object.entity().table(), columns.join(QStringLiteral(" = ?, ")));
        if (!execute(sql, values)) return false;
    }
    for (int slot = 0; slot < object.entity().attributeCount(); ++slot) {
        if (object.entity().attribute(slot).lazy && object.isChanged(slot) &&
            !writeLazyValue(object, slot))
            return false;
    }
    return true;
}

bool SaveTransaction::remove(XManagedObject &object)
{
    return execute(QStringLiteral("DELETE FROM %1 WHERE id = ?").arg(object.entity().table()),
                   {object.m_rowId});
}

// A lazy value has a row of its own while it is present; absent means no row.
bool SaveTransaction::writeLazyValue(XManagedObject &object, int slot)
{
    const QString table = object.entity().lazyTable(slot);
    const QVariant value = object.m_values[slot];
    if (!value.isValid())
        return execute(QStringLiteral("DELETE FROM %1 WHERE owner = ?").arg(table),
                       {object.m_rowId});
    return execute(
        QStringLiteral("INSERT OR REPLACE INTO %1 (owner, value) VALUES (?, ?)").arg(table),
        {object.m_rowId, object.entity().attribute(slot).toColumn(value)});
}

void SaveTransaction::collectColumns(XManagedObject &object, const std::vector<int> &chosen,
                                     QStringList *columns, QVariantList *values) const
{
    for (int slot : chosen) {
        const Attribute &attribute = object.entity().attribute(slot);
        QVariant value = attribute.toColumn(object.m_values[slot]);
        if (const auto &target = object.m_related[slot]) value = target->m_rowId;
        if (!value.isValid() && object.m_state == XManagedObject::State::Inserted) continue;
        columns->append(attribute.name);
        values->append(value);
        if (!attribute.foldedColumn.isEmpty()) {
            columns->append(attribute.foldedColumn);
            values->append(value.isValid() ? QVariant(TextFold::fold(value.toString()))
                                           : QVariant());
        }
    }
}

bool SaveTransaction::execute(const QString &sql, const QVariantList &values)
{
    SqliteStatement statement(m_database, sql);
    statement.bindAll(values);
    return statement.run();
}

bool SaveTransaction::fail()
{
    if (m_error.isEmpty()) m_error = m_database.errorMessage();
    return false;
}

void SaveTransaction::rollBack()
{
    m_database.exec(QStringLiteral("ROLLBACK"));
    for (XManagedObject *object : m_numbered)
        object->m_rowId = 0;
}
