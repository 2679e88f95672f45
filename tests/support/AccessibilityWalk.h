#pragma once

#include <QStringList>

class QWidget;

// Walks the accessibility tree of a window as a screen reader sees it and names every
// visible control a user can operate that has no accessible name (a button without text or
// tooltip, a field without a label). Empty when every control can be found by its name.
class AccessibilityWalk
{
public:
    static QStringList unnamedControls(QWidget *window);
};
