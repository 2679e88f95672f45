#pragma once

#include "platform/Resources.h"

#include <QDir>
#include <QTemporaryDir>

// Gives the test process a HOME and XDG_CONFIG_HOME of its own, in a temporary folder, so
// nothing touches the user's settings or history. Call before the first use of settings.
class TestEnvironment
{
public:
    static QString isolateHome()
    {
        static QTemporaryDir home;
        QDir(home.path()).mkpath(QStringLiteral(".config"));
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
        return home.path();
    }
    // The build's resource folder (scripts), as the binaries find it.
    static QString resourceFile(const QString &name)
    {
        const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
        return Resources::pathForResource(name.left(dot), name.mid(dot + 1));
    }
};
