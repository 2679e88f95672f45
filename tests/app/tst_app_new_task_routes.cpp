#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDragEnterEvent>
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
};

QTEST_MAIN(TestAppNewTaskRoutes)
#include "tst_app_new_task_routes.moc"
