#include "AppTestKit.h"
#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/SearchField.h"
#include "app/ViewController.h"
#include "app/ZelvoApplication.h"
#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "store/StoredSettings.h"
#include "support/AccessibilityWalk.h"
#include "support/MediaFactory.h"
#include "support/TestRows.h"

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMimeData>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

// The main window: start-up, search, menu commands, the ways to the new-task form, its size.
class TestAppMainWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_workingFolder;

    // Whether the window takes a drag of the data.
    static bool takesDrag(QWidget *window, const QMimeData &data)
    {
        QDragEnterEvent enter({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, {});
        enter.ignore();
        QApplication::sendEvent(window, &enter);
        return enter.isAccepted();
    }

private slots:
    // Set up: a working folder with yt-dlp, and the system's ffprobe.
    void initTestCase()
    {
        AppTestKit::isolateHome();
        QVERIFY(
            QFile(m_workingFolder.filePath(QStringLiteral("yt-dlp"))).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(QStringLiteral("/usr/bin/ffprobe"),
                            m_workingFolder.filePath(QStringLiteral("ffprobe"))));
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, m_workingFolder.path());
    }

    // Set up: no settings; every control named; Ctrl+F finds the search; typing searches after
    // a pause, Esc clears it at once.
    void aSessionInTheWindow()
    {
        AppDelegate delegate;
        NSMainWindowController *window = delegate.mainWindow();
        QSignalSpy wanted(window->viewController(), &ViewController::settingsWanted);
        window->show();
        QVERIFY(QTest::qWaitForWindowActive(window));
        QCOMPARE(AccessibilityWalk::unnamedControls(window), QStringList());
        SearchField *field = window->searchField();
        field->clearFocus();
        QTest::keyClick(window, Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(field->hasFocus());

        QSignalSpy searches(window->viewController(), &ViewController::searchChanged);
        QTest::keyClicks(field, QStringLiteral("cats"));
        QCOMPARE(searches.count(), 0);
        QTRY_COMPARE(searches.count(), 1);
        QCOMPARE(window->viewController()->searchText(), QStringLiteral("cats"));
        QTest::keyClick(field, Qt::Key_Escape);
        QCOMPARE(searches.count(), 2);
        QCOMPARE(window->viewController()->searchText(), QString());
        QTest::qWait(ViewController::setupCheckDelayMs);
        QCOMPARE(wanted.count(), 0);
    }

    void mediaInformation_data()
    {
        QTest::addColumn<QString>("file"); // empty: the panel is cancelled
        QTest::addColumn<QString>("shown");
        addRow("cancelled", QString(), QString());
        addRow("unreadable", QStringLiteral("notes.txt"), QStringLiteral("ffprobe error."));
        addRow("clip", QStringLiteral("clip.mp4"), QStringLiteral("320"));
    }

    void mediaInformation()
    {
        QFETCH(QString, file);
        QFETCH(QString, shown);
        QTemporaryDir folder;
        const QString path = file.isEmpty() ? QString() : folder.filePath(file);
        if (file == QLatin1String("notes.txt"))
            QVERIFY(QFile(path).open(QIODevice::WriteOnly));
        else if (!file.isEmpty())
            QVERIFY(MediaFactory::makeClip(path, 1.0));
        AlertScript script;
        script.queuePanelChoice(path);
        AppDelegate delegate;
        AppTestKit::menuAction(delegate.mainWindow()->menuBar(), "Media Information…")->trigger();
        QCOMPARE(script.panels().size(), 1);
        // ffprobe answers on a job thread, never before the menu command has returned.
        QVERIFY(script.alerts().isEmpty());
        QVERIFY(delegate.jobs().waitForDone(10000));
        if (!shown.isEmpty()) QTRY_COMPARE(script.alerts().size(), 1);
        QTest::qWait(50);
        QCOMPARE(script.alerts().size(), shown.isEmpty() ? 0 : 1);
        if (!shown.isEmpty())
            QVERIFY2(script.alerts().first().messageText.contains(shown),
                     qPrintable(script.alerts().first().messageText));
    }

    // Each way in reaches the same form, with the first web video URL of the arguments or the
    // drop filled in.
    void eachRouteOpensTheFormFilledIn_data()
    {
        QTest::addColumn<QString>("route");
        for (const char *route : {"launch", "second launch", "drop", "menu"})
            QTest::newRow(route) << QString::fromLatin1(route);
    }

    void eachRouteOpensTheFormFilledIn()
    {
        QFETCH(QString, route);
        const QString url = QStringLiteral("https://example.com/watch/%1").arg(route.size());
        AppDelegate delegate;
        QMainWindow *window = delegate.mainWindow();
        delegate.start(route == "launch" ? QStringList{"file:///tmp/clip.mp4", "--verbose", url}
                                         : QStringList{});
        QVERIFY(QTest::qWaitForWindowExposed(window));
        if (route == "second launch")
            delegate.applicationShouldHandleReopen({" " + url + " \n", "https://b.example/2"});
        if (route == "drop") { // Qt delivers a drop only to the widget that accepted its entry
            QMimeData words;
            words.setText(QStringLiteral("hello"));
            QVERIFY(!takesDrag(window, words));
            QMimeData data; // a local file first, then the URL on a line of text
            data.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/clip.mp4"))});
            data.setText(QStringLiteral("see\n%1\n").arg(url));
            QVERIFY(takesDrag(window, data));
            QDropEvent drop({10, 10}, Qt::CopyAction, &data, Qt::LeftButton, {});
            QApplication::sendEvent(window, &drop);
        }
        if (route == "menu") {
            QVERIFY(!SheetQueue::currentSheet(window)); // no URL among no arguments
            QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);
        }

        QTRY_VERIFY(SheetQueue::currentSheet(window));
        QDialog *form = SheetQueue::currentSheet(window);
        auto *field = AccessibilityWalk::findNamed<QLineEdit>(form, QStringLiteral("URL"));
        QVERIFY(field);
        QCOMPARE(field->text(), route == "menu" ? QString() : url);
        form->reject();
    }

    // Last, as it changes the texts: our menus and Qt's own buttons follow the locale.
    void chineseLocale()
    {
        ZelvoApplication::installTranslations(QLocale(QStringLiteral("zh_CN")));
        QCOMPARE(QCoreApplication::translate("AppDelegate", "Quit"), QStringLiteral("退出"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }
};

QTEST_MAIN(TestAppMainWindow)
#include "tst_app_main_window.moc"
