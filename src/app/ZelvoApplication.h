#pragma once

#include <QIcon>
#include <QString>

class QApplication;

// What the desktop knows the application by: its names, version label and icon.
class ZelvoApplication
{
public:
    // Names the application for the window manager and the desktop entry.
    static void configure(QApplication &app);
    // "Zelvo 0.1.0(412)": the project version and the build number.
    static QString versionLabel();
    // Every size of the icon found beside the binary (build tree or install prefix) or,
    // failing that, in the icon theme.
    static QIcon icon();
};
