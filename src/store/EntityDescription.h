#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>

#include <memory>
#include <vector>

class EntityDescription;
class XManagedObject;

// How one stored attribute is kept in the database.
struct AttributeDescription {
    enum class Type { Text, Integer, Boolean, Float, Date, Blob, Relation };

    QString name;
    Type type;
    // Large values live in a table of their own ("<entity>_<name>", one row per record) and
    // are read when first asked for.
    bool lazy = false;
    // A column kept beside this one with the searchable form of the text (TextFold).
    QString foldedColumn = {};
    // For a relation: the entity it points to.
    const EntityDescription *target = nullptr;

    // Between the in-memory form of a value (QDateTime, bool, float, ...) and its column.
    QVariant toColumn(const QVariant &value) const;
    QVariant fromColumn(const QVariant &column) const;
};

// One entity of the data model: its table, its attributes in a fixed order (the order of a
// record's value slots) and how to make an empty record of it.
class EntityDescription
{
public:
    using Factory = std::shared_ptr<XManagedObject> (*)();

    EntityDescription(int index, QString table, std::vector<AttributeDescription> attributes,
                      Factory factory);

    // 0 for XTask, 1 for XFile: the slot of the entity in the context's tables.
    int index() const { return m_index; }
    const QString &table() const { return m_table; }
    const std::vector<AttributeDescription> &attributes() const { return m_attributes; }
    const AttributeDescription &attribute(int slot) const { return m_attributes.at(slot); }
    int attributeCount() const { return int(m_attributes.size()); }
    std::shared_ptr<XManagedObject> makeObject() const { return m_factory(); }

    // Slots of the attributes stored in the entity's own table, in column order.
    const std::vector<int> &eagerSlots() const { return m_eagerSlots; }
    // "id, a, b, ..." for the eager columns.
    QString selectColumns() const;
    QString lazyTable(int slot) const;

private:
    int m_index;
    QString m_table;
    std::vector<AttributeDescription> m_attributes;
    Factory m_factory;
    std::vector<int> m_eagerSlots;
};
