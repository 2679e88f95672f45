#include "AppTestKit.h"
#include "app/SingleInstance.h"
#include "app/WindowState.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTest>

#include <csignal>

// The zelvo binary itself, as the desktop starts it.
class TestAppProcess : public QObject
{
    Q_OBJECT
private slots:
    // A second launch hands its URL over and ends; SIGTERM (logout, kill) then closes the
    // windows as Quit does: the geometry is saved and the exit is clean.
    void secondLaunchThenTermination()
    {
        AppTestKit::isolateHome();
        const QString zelvo = QCoreApplication::applicationDirPath() + QStringLiteral("/zelvo");
        QProcess first;
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(zelvo, {});
        QVERIFY(first.waitForStarted());
        // It listens before its window shows.
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance::socketPath()), 10000);
        QTest::qWait(300); // the window's first show

        QProcess second;
        second.start(zelvo, {QStringLiteral("https://example.org/v")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        QVERIFY(!QFile::exists(WindowState::stateFile()));

        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(QFile::exists(WindowState::stateFile()));
    }
};

QTEST_GUILESS_MAIN(TestAppProcess)
#include "tst_app_process.moc"
