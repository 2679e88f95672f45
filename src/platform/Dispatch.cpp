#include "platform/Dispatch.h"

#include <QCoreApplication>
#include <QMetaObject>

void dispatchMain(std::function<void()> fn)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(fn), Qt::QueuedConnection);
}
