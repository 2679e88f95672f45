#pragma once

#include "store/DownloadRegistry.h"

#include <QObject>
#include <QStringList>
#include <QUrl>

#include <memory>

class NSMainWindowController;

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

    static QUrl supportedSitesURL();

private:
    void buildMenus();
    void reportUnopenableHistory();
    void openWebVideoURL(const QStringList &arguments);

    DownloadRegistry m_downloads;
    std::unique_ptr<NSMainWindowController> m_window;
};
