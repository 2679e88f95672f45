#pragma once

#include "store/EntityDescription.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <memory>
#include <optional>
#include <vector>

class ObjectContext;
class XCoreDataManagement;

// A stored record: one value slot per attribute of its entity, where a null QVariant means
// "absent", distinct from 0, NO or empty. Every access takes the context's lock, so download
// threads may set values while the main thread reads them.
//
// A record belongs to exactly one context, which makes it (there is one object per row).
// Once deleted, its setters do nothing and no save brings it back.
class XManagedObject : public std::enable_shared_from_this<XManagedObject>
{
public:
    virtual ~XManagedObject();
    XManagedObject(const XManagedObject &) = delete;
    XManagedObject &operator=(const XManagedObject &) = delete;

    const EntityDescription &entity() const { return m_entity; }
    // The row of the record, 0 while it has never been saved.
    qint64 rowId() const;
    bool isInserted() const;
    bool isDeleted() const;
    bool hasChanges() const;
    bool hasValue(int slot) const;
    // Saves the whole store this record belongs to; see ObjectContext::requestSave().
    bool save();
    // The store this record belongs to; null once that store is gone.
    XCoreDataManagement *store() const;

protected:
    explicit XManagedObject(const EntityDescription &entity);

    QString textValue(int slot) const { return value(slot).toString(); }
    std::optional<qint64> integerValue(int slot) const;
    std::optional<bool> boolValue(int slot) const;
    std::optional<float> floatValue(int slot) const;
    QDateTime dateValue(int slot) const { return value(slot).toDateTime(); }
    QByteArray blobValue(int slot) const { return value(slot).toByteArray(); }
    std::shared_ptr<XManagedObject> relatedObject(int slot) const;

    void setText(int slot, const QString &text);
    void setInteger(int slot, std::optional<qint64> number);
    void setBool(int slot, std::optional<bool> flag);
    // A value that is not finite is stored as absent.
    void setFloat(int slot, std::optional<float> number);
    void setDate(int slot, const QDateTime &date);
    void setBlob(int slot, const QByteArray &bytes);
    void setRelatedObject(int slot, const std::shared_ptr<XManagedObject> &object);

private:
    friend class ObjectContext;
    friend class SaveTransaction;
    enum class State { Inserted, Saved, Deleted };

    QVariant value(int slot) const;
    void setValue(int slot, const QVariant &value);
    void markChanged(int slot);
    bool isChanged(int slot) const { return (m_changedSlots >> slot) & 1U; }
    qint64 creationOrder() const;

    std::shared_ptr<ObjectContext> m_context;
    const EntityDescription &m_entity;
    State m_state = State::Inserted;
    qint64 m_rowId = 0;
    qint64 m_insertSequence = 0;
    std::vector<QVariant> m_values;
    // Lazy slots that have not been read from the database yet.
    std::vector<bool> m_loaded;
    quint64 m_changedSlots = 0;
    // Relation slots hold the target's row id; the object, once known, is kept here (a
    // target that was never saved has no row id yet).
    std::vector<std::shared_ptr<XManagedObject>> m_related;
};
