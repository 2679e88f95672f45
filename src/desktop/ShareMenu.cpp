#include "desktop/ShareMenu.h"

#include "desktop/DesktopServices.h"

#include <QCoreApplication>
#include <QMenu>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

QMenu *ShareMenu::create(const QStringList &paths, QWidget *parent)
{
    auto *menu = new QMenu(QCoreApplication::translate("ShareMenu", "Share"), parent);
    menu->addAction(QCoreApplication::translate("ShareMenu", "Copy"),
                    [paths] { DesktopServices::copyFiles(paths); });
    menu->addAction(QCoreApplication::translate("ShareMenu", "Copy Path"),
                    [paths] { DesktopServices::copyText(paths.join(QLatin1Char('\n'))); });
    menu->addAction(QCoreApplication::translate("ShareMenu", "Open"), [paths] {
        if (!paths.isEmpty()) DesktopServices::openURL(QUrl::fromLocalFile(paths.first()));
    });
    const QString mailer = QStandardPaths::findExecutable(QStringLiteral("xdg-email"));
    if (!mailer.isEmpty()) {
        menu->addAction(QCoreApplication::translate("ShareMenu", "E-mail"), [paths, mailer] {
            QStringList arguments;
            for (const QString &path : paths)
                arguments << QStringLiteral("--attach") << path;
            QProcess::startDetached(mailer, arguments);
        });
    }
    return menu;
}
