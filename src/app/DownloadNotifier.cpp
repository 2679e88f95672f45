#include "app/DownloadNotifier.h"

#include "desktop/DesktopNotification.h"
#include "store/DownloadRegistry.h"
#include "store/XTask.h"

#include <QFileInfo>
#include <QWidget>

DownloadNotifier::DownloadNotifier(DownloadRegistry &registry, QWidget *window, QDBusConnection bus)
    : QObject(&registry), m_window(window), m_bus(std::move(bus))
{
    connect(&registry, &DownloadRegistry::downloadEnded, this, &DownloadNotifier::downloadEnded);
}

QString DownloadNotifier::taskName(const XTask &task)
{
    const QList<FileEntry> files = task.loadLocalFiles();
    return files.isEmpty() ? task.url() : QFileInfo(files.first().path).fileName();
}

void DownloadNotifier::downloadEnded(const std::shared_ptr<XTask> &task, const RunEnd &end)
{
    if (!task || (m_window && m_window->isActiveWindow())) return;
    if (end.outcome == RunOutcome::Completed) {
        DesktopNotification::notify(tr("Download completed"), taskName(*task), m_bus);
    } else if (end.outcome == RunOutcome::Failed) {
        const QString body = (taskName(*task) + QStringLiteral("\n") + end.reason).trimmed();
        DesktopNotification::notify(tr("Download failed"), body, m_bus);
    }
}
