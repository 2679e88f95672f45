#pragma once

#include <QStringList>

#include <QWidget>

// Walks the accessibility tree of a window as a screen reader sees it and names every
// visible control a user can operate that has no accessible name (a button without text or
// tooltip, a field without a label). Empty when every control can be found by its name.
class AccessibilityWalk
{
public:
    static QStringList unnamedControls(QWidget *window);
    // What a screen reader calls the object.
    static QString nameOf(QObject *object);
    // The first control of the type in the window that a screen reader calls so, or null:
    // tests find controls the way users of screen readers do.
    template <typename Control> static Control *findNamed(QWidget *window, const QString &name)
    {
        for (Control *control : window->findChildren<Control *>())
            if (nameOf(control) == name) return control;
        return nullptr;
    }
};
