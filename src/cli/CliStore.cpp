#include "cli/CliStore.h"

#include "cli/CliOutput.h"
#include "store/XCoreDataManagement.h"

bool CliStore::isOpen()
{
    auto &store = XCoreDataManagement::shared();
    if (store.isOpen() && !store.isReadOnly()) return true;
    sayRefused(store.isOpen() ? QStringLiteral("opened read-only") : store.openError());
    return false;
}

bool CliStore::isOpenForReading()
{
    auto &store = XCoreDataManagement::shared();
    if (store.isOpen()) return true;
    const QString refusal = store.openError();
    if (!store.openReadOnly()) {
        sayRefused(refusal);
        return false;
    }
    CliOutput::err(QStringLiteral("zelvo-cli: %1 cannot be written (%2); it is read only.")
                       .arg(store.storePath(), refusal));
    return true;
}

void CliStore::sayRefused(const QString &reason)
{
    CliOutput::err(QStringLiteral("place store error. %1: %2")
                       .arg(XCoreDataManagement::defaultStorePath(), reason));
}
