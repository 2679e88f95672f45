#include "AppTestKit.h"
#include "app/AppDelegate.h"
#include "app/DownloadNotifier.h"
#include "app/NSMainWindowController.h"
#include "desktop/AlertScript.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "support/FakeExecutable.h"
#include "support/FileContents.h"
#include "support/PrivateSessionBus.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

// The notification service's side of org.freedesktop.Notifications, on a private bus.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received; // summary and body, one entry each
public slots:
    uint Notify(const QString &, uint, const QString &, const QString &summary, const QString &body,
                const QStringList &, const QVariantMap &, int)
    {
        received << summary + QStringLiteral("|") + body;
        return uint(received.size());
    }
};

// What happens when downloads end: by quitting while they run, or by themselves while the
// user looks elsewhere.
class TestAppDownloadEnds : public QObject
{
    Q_OBJECT
    QTemporaryDir m_workingFolder;

    std::shared_ptr<XTask> newTask(const QString &url)
    {
        XCoreDataManagement &store = XCoreDataManagement::shared();
        auto task = store.creatTaskURL(url, QStringLiteral("None"), QString());
        return store.save() ? task : nullptr;
    }

private slots:
    void initTestCase()
    {
        AppTestKit::isolateHome();
        QApplication::setQuitOnLastWindowClosed(false);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_workingFolder.path());
        QVERIFY(XCoreDataManagement::shared().isOpen());
    }

    // Quit asks once while a download runs; "Cancel" keeps it running, "Quit" pauses it with
    // no yt-dlp left, and the task reopens as created.
    void quitAsksOnceThenPauses()
    {
        const QString pidFile = m_workingFolder.filePath(QStringLiteral("yt-dlp.pid"));
        FakeExecutable::write(m_workingFolder.filePath(QStringLiteral("yt-dlp")),
                              QStringLiteral("echo $$ > '%1'\n"
                                             "echo '[download]  1.0% of 1.00MiB at 1.00KiB/s'\n"
                                             "while :; do sleep 0.1; done\n")
                                  .arg(pidFile));
        auto task = newTask(QStringLiteral("http://127.0.0.1:9/quit.mp4"));
        QVERIFY(task);
        AlertScript script;
        script.queueAnswer(Alert::FirstButtonReturn + 1);
        script.queueAnswer(Alert::FirstButtonReturn);
        {
            AppDelegate delegate;
            delegate.start();
            QCOMPARE(delegate.downloads().start(task), DownloadRegistry::StartAnswer::Started);
            QTRY_COMPARE_WITH_TIMEOUT(task->progress(), 0.01f, 10000);
            const pid_t ytdlp = FileContents::read(pidFile).trimmed().toInt();
            QVERIFY(ytdlp > 0);

            QAction *quit = AppTestKit::menuAction(delegate.mainWindow()->menuBar(), "Quit");
            quit->trigger();
            QCOMPARE(script.alerts().size(), 1);
            QCOMPARE(script.alerts().first().messageText,
                     QStringLiteral("1 downloads will be paused and can be resumed."));
            QVERIFY(delegate.mainWindow()->isVisible());
            QVERIFY(delegate.downloads().isRunning(*task));

            quit->trigger();
            QVERIFY(!delegate.mainWindow()->isVisible());
            QVERIFY(delegate.applicationShouldTerminate());
            QCOMPARE(script.alerts().size(), 2);
            delegate.applicationWillTerminate(); // what aboutToQuit runs
            QVERIFY(!delegate.downloads().isRunning(*task));
            QTRY_VERIFY(::kill(ytdlp, 0) != 0);
        }
        XCoreDataManagement reopened(XCoreDataManagement::shared().storePath());
        QVERIFY(reopened.open());
        for (const auto &stored : reopened.existHistorys())
            if (stored->url() == task->url()) QCOMPARE(stored->currentStatus(), 0);
    }

    // A completed or failed download is told to the desktop by the task's first file or its
    // URL; a pause is not.
    void notificationsOverTheSessionBus()
    {
        if (!PrivateSessionBus::available()) QSKIP("dbus-daemon is not installed");
        PrivateSessionBus session;
        QVERIFY(!session.address().isEmpty());
        QDBusConnection bus = session.connect(QStringLiteral("app"));
        QDBusConnection serviceBus = session.connect(QStringLiteral("nd"));
        DownloadRegistry registry;
        QWidget window;
        DownloadNotifier notifier(registry, &window, bus);
        auto task = newTask(QStringLiteral("http://127.0.0.1:9/ends.mp4"));
        // No service yet: nothing shows, nothing waits.
        emit registry.downloadEnded(task, {RunOutcome::Completed, QString()});
        // A round trip on the same connection: the bus has dealt with that call before the
        // service comes.
        QVERIFY(
            !bus.interface()->isServiceRegistered(QStringLiteral("org.freedesktop.Notifications")));

        FakeNotifications service;
        QVERIFY(serviceBus.registerService(QStringLiteral("org.freedesktop.Notifications")));
        QVERIFY(serviceBus.registerObject(QStringLiteral("/org/freedesktop/Notifications"),
                                          &service, QDBusConnection::ExportAllSlots));
        emit registry.downloadEnded(task, {RunOutcome::Failed, QStringLiteral("HTTP Error 404")});
        emit registry.downloadEnded(task, {RunOutcome::Paused, QString()});
        const QString clip = m_workingFolder.filePath(QStringLiteral("clip one.mp4"));
        FakeExecutable::write(clip, QString());
        task->saveLocalFiles({clip});
        emit registry.downloadEnded(task, {RunOutcome::Completed, QString()});
        QTRY_COMPARE(service.received.size(), 2);
        QCOMPARE(service.received,
                 (QStringList{"Download failed|http://127.0.0.1:9/ends.mp4\nHTTP Error 404",
                              "Download completed|clip one.mp4"}));
    }
};

QTEST_MAIN(TestAppDownloadEnds)
#include "tst_app_download_ends.moc"
