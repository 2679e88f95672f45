#include "desktop/FileReveal.h"

#include "desktop/DesktopServices.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QUrl>

void FileReveal::reveal(const QStringList &paths, QDBusConnection bus)
{
    if (paths.isEmpty()) return;
    const QString first = paths.first();
    if (!bus.isConnected()) {
        DesktopServices::openFolderOf(first);
        return;
    }
    QStringList uris;
    for (const QString &path : paths)
        uris.append(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.FileManager1"),
        QStringLiteral("/org/freedesktop/FileManager1"),
        QStringLiteral("org.freedesktop.FileManager1"), QStringLiteral("ShowItems"));
    call << uris << QString();
    auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, replyTimeoutMs),
                                                QCoreApplication::instance());
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, watcher,
                     [first](QDBusPendingCallWatcher *reply) {
                         if (reply->isError()) DesktopServices::openFolderOf(first);
                         reply->deleteLater();
                     });
}
