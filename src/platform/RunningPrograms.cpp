#include "platform/RunningPrograms.h"

#include <QDir>
#include <QFile>

bool RunningPrograms::anyNameStartsWith(const QStringList &prefixes)
{
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs);
    for (const QString &entry : entries) {
        QFile comm(QStringLiteral("/proc/%1/comm").arg(entry));
        if (!comm.open(QIODevice::ReadOnly)) continue;
        const QString name = QString::fromUtf8(comm.readAll()).trimmed();
        for (const QString &prefix : prefixes) {
            if (name.startsWith(prefix)) return true;
        }
    }
    return false;
}
