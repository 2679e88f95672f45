#include "app/AppDelegate.h"
#include "desktop/AlertScript.h"
#include "support/TestEnvironment.h"

#include <QApplication>
#include <QDir>
#include <QTest>

// The store is one per process: this test has a process of its own.
class TestAppHistory : public QObject
{
    Q_OBJECT
private slots:
    // A history file that is not a database is named at start-up, not shown as empty.
    void unopenableHistoryIsReported()
    {
        const QString documents = TestEnvironment::isolateHome() + QStringLiteral("/Documents");
        QDir().mkpath(documents);
        QFile history(documents + QStringLiteral("/XTaskModel.sqlite"));
        QVERIFY(history.open(QIODevice::WriteOnly));
        history.write(QByteArray(8192, 'x'));
        history.close();
        AlertScript script;
        AppDelegate delegate;
        delegate.start();
        QTRY_COMPARE(script.alerts().size(), 1);
        QCOMPARE(script.alerts().first().informativeText,
                 history.fileName() + QStringLiteral("\nfile is not a database"));
    }
};

QTEST_MAIN(TestAppHistory)
#include "tst_app_history.moc"
