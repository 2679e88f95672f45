#include "support/AccessibilityWalk.h"

#include <QAccessible>
#include <QSet>
#include <QWidget>

namespace
{

bool isInteractive(QAccessible::Role role)
{
    using enum QAccessible::Role;
    static const QSet<QAccessible::Role> roles = {
        PushButton, CheckBox,       RadioButton,    ComboBox, EditableText, SpinBox, Slider,
        ButtonMenu, ButtonDropDown, ButtonDropGrid, Link,     MenuItem,     PageTab, ScrollBar,
        Dial,       HotkeyField,    ListItem,       TreeItem, Cell};
    return roles.contains(role);
}

QString describe(QAccessibleInterface *element)
{
    QString where;
    if (QObject *object = element->object())
        where =
            QStringLiteral(" %1 '%2'")
                .arg(QString::fromLatin1(object->metaObject()->className()), object->objectName());
    return QStringLiteral("role %1%2").arg(int(element->role())).arg(where);
}

void walk(QAccessibleInterface *element, QStringList &unnamed, int depth)
{
    if (!element || !element->isValid() || depth > 64) return;
    if (element->state().invisible) return;
    if (isInteractive(element->role()) && !element->state().disabled &&
        element->text(QAccessible::Name).trimmed().isEmpty())
        unnamed.append(describe(element));
    for (int i = 0; i < element->childCount(); ++i)
        walk(element->child(i), unnamed, depth + 1);
}

} // namespace

QStringList AccessibilityWalk::unnamedControls(QWidget *window)
{
    QStringList unnamed;
    walk(QAccessible::queryAccessibleInterface(window), unnamed, 0);
    return unnamed;
}

QString AccessibilityWalk::nameOf(QObject *object)
{
    QAccessibleInterface *node = QAccessible::queryAccessibleInterface(object);
    return node ? node->text(QAccessible::Name) : QString();
}
