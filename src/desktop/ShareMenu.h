#pragma once

#include <QStringList>

class QMenu;
class QWidget;

// The menu that passes files on: copy them, copy their paths, open the first, and mail them
// when the desktop has xdg-email.
class ShareMenu
{
public:
    static QMenu *create(const QStringList &paths, QWidget *parent);
};
