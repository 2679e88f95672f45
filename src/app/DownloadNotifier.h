#pragma once

#include "store/RunEnd.h"

#include <QDBusConnection>
#include <QObject>
#include <QPointer>

#include <memory>

class DownloadRegistry;
class XTask;

// Tells the desktop when a download completes or fails while the main window is not the
// active one, so a download that ends in the background is not missed.
class DownloadNotifier : public QObject
{
    Q_OBJECT
public:
    DownloadNotifier(DownloadRegistry &registry, QWidget *window,
                     QDBusConnection bus = QDBusConnection::sessionBus());

    // The task's first file name, or its URL while it has none.
    static QString taskName(const XTask &task);

private:
    void downloadEnded(const std::shared_ptr<XTask> &task, const RunEnd &end);

    QPointer<QWidget> m_window;
    QDBusConnection m_bus;
};
