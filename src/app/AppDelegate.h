#pragma once

#include "platform/JobRunner.h"
#include "store/DownloadRegistry.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <memory>

class DownloadNotifier;
class NSMainWindowController;
class NSSettingsWindowController;

// The application's menu commands and its answers to the desktop: start-up, a second
// launch, the main window.
class AppDelegate : public QObject
{
    Q_OBJECT
public:
    explicit AppDelegate(QObject *parent = nullptr);
    ~AppDelegate() override;

    NSMainWindowController *mainWindow() const { return m_window.get(); }
    // Every download the application runs.
    DownloadRegistry &downloads() { return m_downloads; }
    // The application's background work; joined when the delegate goes.
    JobRunner &jobs() { return m_jobs; }
    // Shows the main window; a history that cannot be opened is reported once it shows. A
    // web video URL among the arguments then opens the new-task form with it.
    void start(const QStringList &arguments = {});

    void newTask();
    void settingYtdlp();
    void availableVideoSites();
    void videoEncodeView();
    void about();
    // Another launch of the application: its window comes to the front, and a web video URL
    // among its arguments opens the new-task form with it.
    void applicationShouldHandleReopen(const QStringList &arguments);
    // At quit: running downloads are paused, their records saved and their threads joined,
    // so a later start resumes them.
    void applicationWillTerminate();
    // Whether the application may quit: while downloads run, the user is asked once.
    bool applicationShouldTerminate();
    // Quits without asking (logout, kill).
    void terminate();

    static QUrl supportedSitesURL();

private:
    void buildMenus();
    void reportUnopenableHistory();
    void openWebVideoURL(const QStringList &arguments);

    DownloadRegistry m_downloads;
    // Declared before the window: the window and its sheets go first, then the jobs are
    // joined, and reports for the gone sheets are dropped.
    JobRunner m_jobs;
    std::unique_ptr<NSMainWindowController> m_window;
    QPointer<NSSettingsWindowController> m_settings;
    bool m_terminating = false;
};
