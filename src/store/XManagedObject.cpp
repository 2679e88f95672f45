#include "store/XManagedObject.h"

#include "store/ObjectContext.h"

#include <cmath>
#include <mutex>

XManagedObject::XManagedObject(const EntityDescription &entity)
    : m_entity(entity), m_values(entity.attributeCount()), m_loaded(entity.attributeCount(), true),
      m_related(entity.attributeCount())
{
}

XManagedObject::~XManagedObject() = default;

qint64 XManagedObject::rowId() const
{
    std::lock_guard locker(m_context->mutex());
    return m_rowId;
}

bool XManagedObject::isInserted() const
{
    std::lock_guard locker(m_context->mutex());
    return m_state == State::Inserted;
}

bool XManagedObject::isDeleted() const
{
    std::lock_guard locker(m_context->mutex());
    return m_state == State::Deleted;
}

bool XManagedObject::hasChanges() const
{
    std::lock_guard locker(m_context->mutex());
    return m_state == State::Inserted || m_changedSlots != 0;
}

bool XManagedObject::hasValue(int slot) const
{
    std::lock_guard locker(m_context->mutex());
    return value(slot).isValid() || m_related[slot] != nullptr;
}

bool XManagedObject::save()
{
    return m_context->requestSave();
}

XCoreDataManagement *XManagedObject::store() const
{
    return m_context->store();
}

std::optional<qint64> XManagedObject::integerValue(int slot) const
{
    const QVariant number = value(slot);
    return number.isValid() ? std::optional(number.toLongLong()) : std::nullopt;
}

std::optional<bool> XManagedObject::boolValue(int slot) const
{
    const QVariant flag = value(slot);
    return flag.isValid() ? std::optional(flag.toBool()) : std::nullopt;
}

std::optional<float> XManagedObject::floatValue(int slot) const
{
    const QVariant number = value(slot);
    return number.isValid() ? std::optional(number.toFloat()) : std::nullopt;
}

std::shared_ptr<XManagedObject> XManagedObject::relatedObject(int slot) const
{
    std::lock_guard locker(m_context->mutex());
    if (!m_related[slot] && m_values[slot].isValid()) {
        const auto *target = m_entity.attribute(slot).target;
        const_cast<XManagedObject *>(this)->m_related[slot] =
            m_context->objectWithId(*target, m_values[slot].toLongLong());
    }
    return m_related[slot];
}

void XManagedObject::setText(int slot, const QString &text)
{
    setValue(slot, text.isNull() ? QVariant() : QVariant(text));
}

void XManagedObject::setInteger(int slot, std::optional<qint64> number)
{
    setValue(slot, number ? QVariant(*number) : QVariant());
}

void XManagedObject::setBool(int slot, std::optional<bool> flag)
{
    setValue(slot, flag ? QVariant(*flag) : QVariant());
}

void XManagedObject::setFloat(int slot, std::optional<float> number)
{
    setValue(slot, number && std::isfinite(*number) ? QVariant(*number) : QVariant());
}

void XManagedObject::setDate(int slot, const QDateTime &date)
{
    setValue(slot, date.isValid() ? QVariant(date) : QVariant());
}

void XManagedObject::setBlob(int slot, const QByteArray &bytes)
{
    setValue(slot, bytes.isNull() ? QVariant() : QVariant(bytes));
}

void XManagedObject::setRelatedObject(int slot, const std::shared_ptr<XManagedObject> &object)
{
    std::lock_guard locker(m_context->mutex());
    if (m_state == State::Deleted || (object && object->m_context != m_context)) return;
    m_related[slot] = object;
    m_values[slot] = object && object->m_rowId ? QVariant(object->m_rowId) : QVariant();
    markChanged(slot);
}

QVariant XManagedObject::value(int slot) const
{
    std::lock_guard locker(m_context->mutex());
    if (!m_loaded[slot]) m_context->loadLazyValue(const_cast<XManagedObject &>(*this), slot);
    return m_values[slot];
}

void XManagedObject::setValue(int slot, const QVariant &value)
{
    std::lock_guard locker(m_context->mutex());
    if (m_state == State::Deleted) return;
    if (m_loaded[slot] && m_values[slot] == value && m_values[slot].isValid() == value.isValid())
        return;
    m_values[slot] = value;
    m_loaded[slot] = true;
    markChanged(slot);
}

void XManagedObject::markChanged(int slot)
{
    m_changedSlots |= quint64(1) << slot;
    if (m_state == State::Saved) m_context->noteChanged(shared_from_this());
}

qint64 XManagedObject::creationOrder() const
{
    // Saved rows keep their insertion order; unsaved records come after all of them.
    constexpr qint64 unsavedBase = qint64(1) << 62;
    return m_rowId ? m_rowId : unsavedBase + m_insertSequence;
}
