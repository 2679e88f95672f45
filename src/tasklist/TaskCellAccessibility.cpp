#include "tasklist/TaskCellAccessibility.h"

#include <QAccessibleWidget>
#include <QWidget>

namespace
{

QAccessibleInterface *cellInterface(const QString &className, QObject *object)
{
    if (className != QLatin1String("XTaskCellView") || !object || !object->isWidgetType())
        return nullptr;
    return new QAccessibleWidget(static_cast<QWidget *>(object), QAccessible::ListItem);
}

} // namespace

void TaskCellAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(cellInterface);
        return true;
    }();
    Q_UNUSED(installed);
}
