#include "support/TestEnvironment.h"

#include "platform/Resources.h"

#include <QDir>
#include <QTemporaryDir>

QString TestEnvironment::isolateHome()
{
    static QTemporaryDir home;
    const QString path = home.path();
    QDir(path).mkpath(QStringLiteral(".config"));
    qputenv("HOME", path.toUtf8());
    qputenv("XDG_CONFIG_HOME", (path + QStringLiteral("/.config")).toUtf8());
    return path;
}

QString TestEnvironment::resourceFile(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return Resources::pathForResource(name.left(dot), name.mid(dot + 1));
}
