#include "app/AppDelegate.h"

#include "app/NSMainWindowController.h"
#include "app/SearchField.h"
#include "app/ViewController.h"
#include "app/ZelvoApplication.h"
#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "media/NSMediaInfo.h"
#include "media/NSffprobe.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"

#include <QApplication>
#include <QMenuBar>
#include <QTimer>

AppDelegate::AppDelegate(QObject *parent)
    : QObject(parent), m_window(std::make_unique<NSMainWindowController>())
{
    buildMenus();
    connect(qApp, &QCoreApplication::aboutToQuit, this, &AppDelegate::applicationWillTerminate);
    connect(m_window->viewController(), &ViewController::settingsWanted, this,
            &AppDelegate::settingYtdlp);
}

AppDelegate::~AppDelegate() = default;

void AppDelegate::buildMenus()
{
    // Shortcuts are explicit: Qt's standard Quit and Preferences keys are empty on some
    // desktops.
    QMenuBar *bar = m_window->menuBar();
    QMenu *file = bar->addMenu(tr("&File"));
    QAction *create = file->addAction(tr("New Task…"), QKeySequence(Qt::CTRL | Qt::Key_N), this,
                                      &AppDelegate::newTask);
    // The new-task form is not part of the application yet.
    create->setEnabled(false);
    file->addAction(tr("Media Information…"), QKeySequence(Qt::CTRL | Qt::Key_I), this,
                    &AppDelegate::videoEncodeView);
    file->addSeparator();
    file->addAction(tr("Quit"), QKeySequence(Qt::CTRL | Qt::Key_Q), qApp,
                    &QApplication::closeAllWindows);

    QMenu *edit = bar->addMenu(tr("&Edit"));
    edit->addAction(tr("Find"), QKeySequence(Qt::CTRL | Qt::Key_F), m_window.get(), [this] {
        m_window->searchField()->setFocus(Qt::ShortcutFocusReason);
        m_window->searchField()->selectAll();
    });
    edit->addAction(tr("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), this,
                    &AppDelegate::settingYtdlp);

    QMenu *help = bar->addMenu(tr("&Help"));
    help->addAction(tr("Supported Sites"), this, &AppDelegate::availableVideoSites);
    help->addAction(tr("About Zelvo"), this, &AppDelegate::about);
}

void AppDelegate::start(const QStringList &arguments)
{
    m_window->show();
    QTimer::singleShot(0, this, &AppDelegate::reportUnopenableHistory);
    QTimer::singleShot(0, this, [this, arguments] { openWebVideoURL(arguments); });
}

void AppDelegate::reportUnopenableHistory()
{
    XCoreDataManagement &store = XCoreDataManagement::shared();
    if (store.isOpen()) return;
    Alert alert;
    alert.messageText = tr("The task history cannot be opened.");
    alert.informativeText = store.storePath() + QStringLiteral("\n") + store.openError();
    Alerts::run(alert, m_window.get());
}

void AppDelegate::newTask()
{
    m_window->newTask(QString());
}

void AppDelegate::openWebVideoURL(const QStringList &arguments)
{
    const QString url = NSMainWindowController::webVideoURLIn(arguments);
    if (!url.isEmpty()) m_window->newTask(url);
}

void AppDelegate::settingYtdlp()
{
    // Until the settings window exists, the command-line setup is the way to a working
    // folder.
    Alert alert;
    alert.messageText = tr("Settings are not available in this version.");
    alert.informativeText = tr("Choose the working folder with:\nzelvo-cli setup FOLDER");
    Alerts::run(alert, m_window.get());
}

QUrl AppDelegate::supportedSitesURL()
{
    return QUrl(QStringLiteral("https://github.com/yt-dlp/yt-dlp/blob/master/supportedsites.md"));
}

void AppDelegate::availableVideoSites()
{
    DesktopServices::openURL(supportedSitesURL());
}

void AppDelegate::videoEncodeView()
{
    const QString file = Alerts::chooseFile(QStringLiteral("Select file."), m_window.get());
    if (file.isEmpty()) return;
    const auto info = NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(file),
                                                        StoredSettings::ytdlpPath().toLocalFile());
    Alerts::message(info ? info->description() : QStringLiteral("ffprobe error."), m_window.get());
}

void AppDelegate::about()
{
    Alert alert;
    alert.messageText = ZelvoApplication::versionLabel();
    alert.informativeText = tr("Downloads the videos of web pages with yt-dlp.");
    Alerts::run(alert, m_window.get());
}

void AppDelegate::applicationWillTerminate()
{
    m_downloads.stopAll();
}

void AppDelegate::applicationShouldHandleReopen(const QStringList &arguments)
{
    m_window->raiseToFront();
    openWebVideoURL(arguments);
}
