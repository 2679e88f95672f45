#include "TemporaryStore.h"

#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "support/FuzzSeeds.h"

TemporaryStore::~TemporaryStore()
{
    FuzzSeeds::recordFile(path(), QStringLiteral("store_open"));
}

std::unique_ptr<XCoreDataManagement> TemporaryStore::open() const
{
    auto store = std::make_unique<XCoreDataManagement>(path());
    store->open();
    return store;
}

QVariant TemporaryStore::query(const QString &sql) const
{
    SqliteDatabase database;
    if (!database.open(path(), false)) return {};
    SqliteStatement statement(database, sql);
    return statement.next() ? statement.value(0) : QVariant();
}
