#pragma once

#include "support/TestEnvironment.h"

#include <QMenu>
#include <QMenuBar>

// The set-up and finders the application's widget tests share.
namespace AppTestKit
{

// A HOME of the test's own that also holds the window state and the single-instance socket.
inline QString isolateHome()
{
    const QString home = TestEnvironment::isolateHome();
    qputenv("XDG_STATE_HOME", (home + QStringLiteral("/.local/state")).toUtf8());
    qputenv("XDG_RUNTIME_DIR", home.toUtf8());
    return home;
}

// The menu command with the title, or null.
inline QAction *menuAction(QMenuBar *bar, const QString &title)
{
    for (QAction *menu : bar->actions())
        for (QAction *item : menu->menu()->actions())
            if (item->text() == title) return item;
    return nullptr;
}

// The first control of the type in the window that shows the text, or null.
template <typename Widget> Widget *withText(QWidget *window, const QString &text)
{
    for (Widget *widget : window->findChildren<Widget *>())
        if (widget->text() == text) return widget;
    return nullptr;
}

} // namespace AppTestKit
