#include "support/AccessibilityWalk.h"

#include <QAccessible>
#include <QSet>
#include <QWidget>

namespace
{

bool isInteractive(QAccessible::Role role)
{
    static const QSet<QAccessible::Role> roles = {QAccessible::PushButton,
                                                  QAccessible::CheckBox,
                                                  QAccessible::RadioButton,
                                                  QAccessible::ComboBox,
                                                  QAccessible::EditableText,
                                                  QAccessible::SpinBox,
                                                  QAccessible::Slider,
                                                  QAccessible::ButtonMenu,
                                                  QAccessible::ButtonDropDown,
                                                  QAccessible::ButtonDropGrid,
                                                  QAccessible::Link,
                                                  QAccessible::MenuItem,
                                                  QAccessible::PageTab,
                                                  QAccessible::ScrollBar,
                                                  QAccessible::Dial,
                                                  QAccessible::HotkeyField,
                                                  QAccessible::ListItem,
                                                  QAccessible::TreeItem,
                                                  QAccessible::Cell};
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
