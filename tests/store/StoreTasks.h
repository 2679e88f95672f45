#pragma once

#include "store/XCoreDataManagement.h"

// A task created and saved at once, as the views and the command line create one ("None": no
// browser's cookies).
inline std::shared_ptr<XTask> savedTask(XCoreDataManagement &store, const QString &url)
{
    auto task = store.creatTaskURL(url, QStringLiteral("None"), QString());
    store.save();
    return task;
}
