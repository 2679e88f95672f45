#pragma once

#include <QString>

class QWidget;

// The main window's size and position between runs, in a state file of its own
// ($XDG_STATE_HOME/zelvo/window.ini), apart from the preferences.
class WindowState
{
public:
    static QString stateFile();
    static void restore(QWidget *window);
    static void save(const QWidget *window);
};
