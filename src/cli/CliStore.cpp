#include "cli/CliStore.h"

#include "cli/CliOutput.h"
#include "store/XCoreDataManagement.h"

bool CliStore::isOpen()
{
    if (XCoreDataManagement::shared().isOpen()) return true;
    CliOutput::err(
        QStringLiteral("place store error. (%1)").arg(XCoreDataManagement::defaultStorePath()));
    return false;
}
