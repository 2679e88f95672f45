#pragma once

#include <QPixmap>
#include <QString>

// The task cells' pictures by name: "add", "download", "delete", "pause", "finder", "share",
// "thumbnail".
class TaskIcons
{
public:
    static QPixmap pixmap(const QString &name);
};
