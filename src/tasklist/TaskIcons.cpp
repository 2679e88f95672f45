#include "tasklist/TaskIcons.h"

#include <QPixmapCache>

QPixmap TaskIcons::pixmap(const QString &name)
{
    const QString path = QStringLiteral(":/tasklist/%1.png").arg(name);
    QPixmap icon;
    if (!QPixmapCache::find(path, &icon)) {
        icon.load(path);
        QPixmapCache::insert(path, icon);
    }
    return icon;
}
