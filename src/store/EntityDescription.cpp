#include "store/EntityDescription.h"

#include <QDateTime>

QVariant AttributeDescription::toColumn(const QVariant &value) const
{
    if (!value.isValid()) return {};
    switch (type) {
    case Type::Date:
        return value.toDateTime().toMSecsSinceEpoch();
    case Type::Boolean:
        return qint64(value.toBool() ? 1 : 0);
    case Type::Float:
        return value.toDouble();
    default:
        return value;
    }
}

QVariant AttributeDescription::fromColumn(const QVariant &column) const
{
    if (!column.isValid()) return {};
    switch (type) {
    case Type::Date:
        return QDateTime::fromMSecsSinceEpoch(column.toLongLong());
    case Type::Boolean:
        return column.toLongLong() != 0;
    case Type::Float:
        return column.toFloat();
    case Type::Integer:
    case Type::Relation:
        return column.toLongLong();
    case Type::Text:
        return column.toString();
    case Type::Blob:
        return column.toByteArray();
    }
    return column;
}

EntityDescription::EntityDescription(int index, QString table,
                                     std::vector<AttributeDescription> attributes, Factory factory)
    : m_index(index), m_table(std::move(table)), m_attributes(std::move(attributes)),
      m_factory(factory)
{
    for (int slot = 0; slot < attributeCount(); ++slot) {
        if (!m_attributes[slot].lazy) m_eagerSlots.push_back(slot);
    }
}

QString EntityDescription::selectColumns() const
{
    QStringList columns{QStringLiteral("id")};
    for (int slot : m_eagerSlots)
        columns.append(m_attributes[slot].name);
    return columns.join(QStringLiteral(", "));
}

QString EntityDescription::lazyTable(int slot) const
{
    return m_table + QLatin1Char('_') + m_attributes.at(slot).name;
}
