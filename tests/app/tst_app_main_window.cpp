#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/SearchField.h"
#include "app/ViewController.h"
#include "app/WindowState.h"
#include "app/ZelvoApplication.h"
#include "desktop/AlertScript.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "support/AccessibilityWalk.h"
#include "support/FakeExecutable.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

class TestAppMainWindow : public QObject
{
    Q_OBJECT
private:
    QString m_home;
    QTemporaryDir m_workingFolder;

    void setUpWorkingFolder(bool withYtdlp)
    {
        QFile::remove(m_workingFolder.filePath(QStringLiteral("yt-dlp")));
        if (withYtdlp) {
            QFile ytdlp(m_workingFolder.filePath(QStringLiteral("yt-dlp")));
            QVERIFY(ytdlp.open(QIODevice::WriteOnly));
        }
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_workingFolder.path());
    }

    static bool showActive(QWidget *window)
    {
        window->show();
        return QTest::qWaitForWindowActive(window);
    }

    static QAction *action(QMenuBar *bar, const QString &title)
    {
        for (QAction *menu : bar->actions())
            for (QAction *item : menu->menu()->actions())
                if (item->text() == title) return item;
        return nullptr;
    }

private slots:
    void initTestCase()
    {
        m_home = TestEnvironment::isolateHome();
        qputenv("XDG_STATE_HOME", (m_home + QStringLiteral("/.local/state")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", m_home.toUtf8());
        QVERIFY(QFile::link(QStringLiteral("/usr/bin/ffprobe"),
                            m_workingFolder.filePath(QStringLiteral("ffprobe"))));
    }

    void startUpCheck_data()
    {
        QTest::addColumn<bool>("withYtdlp");
        QTest::addColumn<bool>("settingsOpen");
        addRow("yt-dlp in the working folder", true, false);
        addRow("no yt-dlp", false, true);
    }

    // The settings open half a second after start-up, only when the system is not set up.
    void startUpCheck()
    {
        QFETCH(bool, withYtdlp);
        QFETCH(bool, settingsOpen);
        setUpWorkingFolder(withYtdlp);
        AlertScript script;
        AppDelegate delegate;
        QSignalSpy wanted(delegate.mainWindow()->viewController(), &ViewController::settingsWanted);
        QElapsedTimer clock;
        clock.start();
        QTest::qWait(ViewController::setupCheckDelayMs - 100);
        QCOMPARE(wanted.count(), 0);
        QTest::qWait(300);
        QCOMPARE(wanted.count(), settingsOpen ? 1 : 0);
        QCOMPARE(script.alerts().size(), settingsOpen ? 1 : 0);
    }

    void windowIsNamedAndReachable()
    {
        setUpWorkingFolder(true);
        AppDelegate delegate;
        NSMainWindowController *window = delegate.mainWindow();
        QVERIFY(showActive(window));
        QCOMPARE(window->windowTitle(), QStringLiteral("Zelvo"));
        const QStringList unnamed = AccessibilityWalk::unnamedControls(window);
        QVERIFY2(unnamed.isEmpty(), qPrintable(unnamed.join(", ")));

        window->searchField()->clearFocus();
        QVERIFY(!window->searchField()->hasFocus());
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(window->searchField()->hasFocus());
    }

    // Typing searches after a pause; Return, clearing and Esc search at once.
    void searchTiming()
    {
        setUpWorkingFolder(true);
        AppDelegate delegate;
        NSMainWindowController *window = delegate.mainWindow();
        QVERIFY(showActive(window));
        QSignalSpy searches(window->viewController(), &ViewController::searchChanged);
        SearchField *field = window->searchField();

        QTest::keyClicks(field, QStringLiteral("cat"));
        QTest::qWait(SearchField::typingPauseMs / 2);
        QTest::keyClicks(field, QStringLiteral("s"));
        QTest::qWait(SearchField::typingPauseMs / 2);
        QCOMPARE(searches.count(), 0);
        QTRY_COMPARE(searches.count(), 1);
        QCOMPARE(searches.last().first().toString(), QStringLiteral("cats"));

        QTest::keyClick(field, Qt::Key_Backspace);
        QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(searches.count(), 2);
        QCOMPARE(window->viewController()->searchText(), QStringLiteral("cat"));

        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(searches.count(), 3);
        QCOMPARE(searches.last().first().toString(), QString());
        QTest::qWait(SearchField::typingPauseMs + 50);
        QCOMPARE(searches.count(), 3);
    }

    void mediaInformation_data()
    {
        QTest::addColumn<QString>("file"); // empty: the panel is cancelled
        QTest::addColumn<QString>("shown");
        addRow("cancelled", "", "");
        addRow("unreadable", "notes.txt", "ffprobe error.");
        addRow("clip", "clip.mp4", "320");
    }

    void mediaInformation()
    {
        QFETCH(QString, file);
        QFETCH(QString, shown);
        setUpWorkingFolder(true);
        QTemporaryDir folder;
        const QString path = file.isEmpty() ? QString() : folder.filePath(file);
        if (file == QLatin1String("notes.txt")) {
            QFile notes(path);
            QVERIFY(notes.open(QIODevice::WriteOnly));
            notes.write("not a video\n");
        } else if (!file.isEmpty()) {
            QVERIFY(MediaFactory::makeClip(path, 1.0));
        }
        AlertScript script;
        script.queuePanelChoice(path);
        AppDelegate delegate;
        action(delegate.mainWindow()->menuBar(), QStringLiteral("Media Information…"))->trigger();
        QCOMPARE(script.panels().size(), 1);
        QCOMPARE(script.panels().first().kind, AlertScript::PanelKind::File);
        QCOMPARE(script.alerts().size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QVERIFY2(script.alerts().first().messageText.contains(shown),
                     qPrintable(script.alerts().first().messageText));
    }

    void geometryIsRememberedApartFromTheSettings()
    {
        setUpWorkingFolder(true);
        {
            AppDelegate delegate;
            delegate.mainWindow()->show();
            delegate.mainWindow()->resize(700, 500);
            delegate.mainWindow()->close();
        }
        AppDelegate reopened;
        QCOMPARE(reopened.mainWindow()->size(), QSize(700, 500));
        QVERIFY(QFile::exists(WindowState::stateFile()));
        QFile settings(m_home + QStringLiteral("/.config/Zelvo/Zelvo.conf"));
        QVERIFY(settings.open(QIODevice::ReadOnly));
        QVERIFY(!settings.readAll().contains("geometry"));
    }

    // Quitting pauses a running download: yt-dlp is gone and the task reopens as created.
    void quitPausesDownloads()
    {
        setUpWorkingFolder(true);
        const QString pidFile = m_workingFolder.filePath(QStringLiteral("yt-dlp.pid"));
        FakeExecutable::write(m_workingFolder.filePath(QStringLiteral("yt-dlp")),
                              QStringLiteral("echo $$ > '%1'\n"
                                             "echo '[download]  1.0% of 1.00MiB at 1.00KiB/s'\n"
                                             "while :; do sleep 0.1; done\n")
                                  .arg(pidFile));
        XCoreDataManagement &store = XCoreDataManagement::shared();
        QVERIFY(store.isOpen());
        auto task = store.creatTaskURL(QStringLiteral("http://127.0.0.1:9/v.mp4"),
                                       QStringLiteral("None"), QString());
        QVERIFY(store.save());
        {
            AppDelegate delegate;
            QCOMPARE(delegate.downloads().start(task), DownloadRegistry::StartAnswer::Started);
            QTRY_COMPARE_WITH_TIMEOUT(task->progress(), 0.01f, 10000);
            QFile pid(pidFile);
            QVERIFY(pid.open(QIODevice::ReadOnly));
            const pid_t ytdlp = pid.readAll().trimmed().toInt();
            delegate.applicationWillTerminate();
            QVERIFY(!delegate.downloads().isRunning(*task));
            QTRY_VERIFY(::kill(ytdlp, 0) != 0);
        }
        XCoreDataManagement reopened(store.storePath());
        QVERIFY(reopened.open());
        const auto tasks = reopened.existHistorys();
        QCOMPARE(tasks.size(), 1);
        QCOMPARE(tasks.first()->currentStatus(), 0);
        QFile::remove(m_workingFolder.filePath(QStringLiteral("yt-dlp")));
    }

    // Last, as it changes the texts: our menus and Qt's own buttons follow the locale;
    // untranslated texts stay as written.
    void chineseLocale()
    {
        ZelvoApplication::installTranslations(QLocale(QStringLiteral("zh_CN")));
        QCOMPARE(QCoreApplication::translate("AppDelegate", "Quit"), QStringLiteral("退出"));
        QCOMPARE(QCoreApplication::translate("SearchField", "Search"), QStringLiteral("搜索"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("AppDelegate", "ffprobe error."),
                 QStringLiteral("ffprobe error."));
    }
};

QTEST_MAIN(TestAppMainWindow)
#include "tst_app_main_window.moc"
