#include "platform/Resources.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace
{

QStringList searchFolders()
{
    QStringList folders;
    const QString fromEnvironment = qEnvironmentVariable("ZELVO_RESOURCE_DIR");
    if (!fromEnvironment.isEmpty()) folders << fromEnvironment;
    if (QCoreApplication::instance())
        folders << QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zelvo");
    for (const QString &data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        folders << data + QStringLiteral("/zelvo");
    return folders;
}

} // namespace

QString Resources::pathForResource(const QString &name, const QString &type)
{
    const QString fileName = type.isEmpty() ? name : name + QLatin1Char('.') + type;
    for (const QString &folder : searchFolders()) {
        const QFileInfo candidate(QDir(folder), fileName);
        if (candidate.isFile()) return QDir::cleanPath(candidate.absoluteFilePath());
    }
    return {};
}
