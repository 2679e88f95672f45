#include "tasklist/TaskCellAccessibility.h"

#include "tasklist/XTaskCellView.h"

#include <QAccessibleWidget>

namespace
{

// A list item whose name is what the cell shows now.
class TaskCellInterface : public QAccessibleWidget
{
public:
    explicit TaskCellInterface(XTaskCellView *cell) : QAccessibleWidget(cell, QAccessible::ListItem)
    {
    }
    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name) return QAccessibleWidget::text(kind);
        return static_cast<const XTaskCellView *>(widget())->spokenName();
    }
};

QAccessibleInterface *cellInterface(const QString &className, QObject *object)
{
    if (className != QLatin1String("XTaskCellView") || !object || !object->isWidgetType())
        return nullptr;
    return new TaskCellInterface(static_cast<XTaskCellView *>(object));
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
