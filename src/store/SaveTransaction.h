#pragma once

#include <QString>
#include <QVariantList>

#include <functional>
#include <map>
#include <memory>
#include <vector>

class SqliteDatabase;
class XManagedObject;

// Writes the pending changes of a context in one BEGIN IMMEDIATE transaction: new records
// (all their values), changed records (only the changed columns), deleted records. On any
// failure it rolls back and leaves the records as they were, new records without a row id.
class SaveTransaction
{
public:
    using ObjectMap = std::map<XManagedObject *, std::shared_ptr<XManagedObject>>;

    explicit SaveTransaction(SqliteDatabase &database) : m_database(database) {}

    // `admit`, when given, runs first inside the transaction: when it answers false nothing
    // is written (wasRefused()).
    bool run(const std::vector<std::shared_ptr<XManagedObject>> &inserted, const ObjectMap &changed,
             const ObjectMap &deleted, const std::function<bool(SqliteDatabase &)> &admit = {});
    QString errorMessage() const { return m_error; }
    bool wasRefused() const { return m_refused; }

private:
    bool writeAll(const std::vector<std::shared_ptr<XManagedObject>> &inserted,
                  const ObjectMap &changed, const ObjectMap &deleted);
    bool insert(XManagedObject &object);
    bool update(XManagedObject &object);
    bool remove(XManagedObject &object);
    bool writeLazyValue(XManagedObject &object, int slot);
    // Columns and values of the chosen eager slots, the folded search copies included.
    void collectColumns(XManagedObject &object, const std::vector<int> &chosen,
                        QStringList *columns, QVariantList *values) const;
    bool execute(const QString &sql, const QVariantList &values);
    bool fail();
    void rollBack();

    SqliteDatabase &m_database;
    std::vector<XManagedObject *> m_numbered;
    QString m_error;
    bool m_refused = false;
};
