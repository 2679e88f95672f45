#pragma once

#include <QIcon>
#include <QString>

class QApplication;
class QLocale;

// What the desktop knows the application by: its names, version label and icon.
class ZelvoApplication
{
public:
    // Names the application for the window manager and the desktop entry, and speaks the
    // system's language.
    static void configure(QApplication &app);
    // Qt's own texts (dialogs, standard buttons) and ours in the locale's language, where
    // translated; the rest stays as written.
    static void installTranslations(const QLocale &locale);
    // "Zelvo 0.1.0(412)": the project version and the build number.
    static QString versionLabel();
    // Every size of the icon found beside the binary (build tree or install prefix) or,
    // failing that, in the icon theme.
    static QIcon icon();
};
