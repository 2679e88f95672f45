#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "desktop/SheetQueue.h"
#include "support/AccessibilityWalk.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDialog>
#include <QDragEnterEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QTest>

// The ways to the new-task form with a URL: launch arguments and a drop on the main window.
class TestAppNewTaskRoutes : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    void webVideoURLInArguments_data()
    {
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<QString>("url");
        QTest::newRow("none") << QStringList{} << "";
        QTest::newRow("after an option")
            << QStringList{"--verbose", "https://example.com/v"} << "https://example.com/v";
        QTest::newRow("spaces around")
            << QStringList{" http://example.com/a \n"} << "http://example.com/a";
        QTest::newRow("a local file") << QStringList{"file:///tmp/clip.mp4"} << "";
        QTest::newRow("the first of two")
            << QStringList{"https://a.example/1", "https://b.example/2"} << "https://a.example/1";
    }

    void webVideoURLInArguments()
    {
        QFETCH(QStringList, texts);
        QFETCH(QString, url);
        QCOMPARE(NSMainWindowController::webVideoURLIn(texts), url);
    }

    void dropAcceptsOnlyWebVideoURLs_data()
    {
        QTest::addColumn<QList<QUrl>>("urls");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("web URL") << QList<QUrl>{QUrl("https://example.com/v")} << "" << true;
        QTest::newRow("local file")
            << QList<QUrl>{QUrl::fromLocalFile("/tmp/clip.mp4")} << "" << false;
        QTest::newRow("text with a URL line") << QList<QUrl>{} << "see\nhttps://example.com/t\n"
                                              << true;
        QTest::newRow("plain text") << QList<QUrl>{} << "hello" << false;
    }

    void dropAcceptsOnlyWebVideoURLs()
    {
        QFETCH(QList<QUrl>, urls);
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        AppDelegate delegate;
        delegate.start();
        QVERIFY(QTest::qWaitForWindowExposed(delegate.mainWindow()));
        QMimeData data;
        if (!urls.isEmpty()) data.setUrls(urls);
        if (!text.isEmpty()) data.setText(text);
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        enter.ignore();
        QApplication::sendEvent(delegate.mainWindow(), &enter);
        QCOMPARE(enter.isAccepted(), accepted);
    }

    // Each way in reaches the same form, with the URL filled in.
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
        delegate.start(route == "launch" ? QStringList{url} : QStringList{});
        QVERIFY(QTest::qWaitForWindowExposed(window));
        QMimeData data;
        data.setUrls({QUrl(url)});
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        if (route == "second launch") delegate.applicationShouldHandleReopen({url});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        if (route == "drop") { // Qt delivers a drop to the widget that accepted its entry
            QApplication::sendEvent(window, &enter);
            QApplication::sendEvent(window, &drop);
        }
        if (route == "menu") QTest::keyClick(window, Qt::Key_N, Qt::ControlModifier);

        QTRY_VERIFY(SheetQueue::currentSheet(window));
        QDialog *form = SheetQueue::currentSheet(window);
        QCOMPARE(form->windowTitle(), QStringLiteral("New Task"));
        auto *field = AccessibilityWalk::findNamed<QLineEdit>(form, QStringLiteral("URL"));
        QVERIFY(field);
        QCOMPARE(field->text(), route == "menu" ? QString() : url);
        form->reject();
    }
};

QTEST_MAIN(TestAppNewTaskRoutes)
#include "tst_app_new_task_routes.moc"
