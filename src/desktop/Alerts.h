#pragma once

#include "desktop/Alert.h"

#include <QString>

class QWidget;

// The one door to alerts and file panels. Each runs modally over the parent (or the active
// window) and answers when closed; while an AlertScript is active, the script answers
// instead and no window opens.
class Alerts
{
public:
    static AlertAnswer run(const Alert &alert, QWidget *parent = nullptr);
    // One button, "OK".
    static void message(const QString &text, QWidget *parent = nullptr);
    // Makes the core's one-button alert show here, on the main thread, from any thread.
    static void installAsAlertHandler();

    // A folder (never a file); a null string when cancelled.
    static QString chooseFolder(const QString &title, QWidget *parent = nullptr);
    // One existing file; a null string when cancelled.
    static QString chooseFile(const QString &title, QWidget *parent = nullptr);

private:
    static AlertAnswer runMessageBox(const Alert &alert, QWidget *parent);
    static AlertAnswer runQuestion(const Alert &alert, QWidget *parent);
};
