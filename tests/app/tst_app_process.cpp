#include "app/SingleInstance.h"
#include "app/WindowState.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTest>

#include <csignal>

// The zelvo binary itself, as the desktop starts it.
class TestAppProcess : public QObject
{
    Q_OBJECT
private:
    static QString zelvo()
    {
        return QCoreApplication::applicationDirPath() + QStringLiteral("/zelvo");
    }

    // Started and listening for a second launch (it listens before its window shows).
    static void startFirst(QProcess &first)
    {
        first.setProcessChannelMode(QProcess::ForwardedChannels);
        first.start(zelvo(), {});
        QVERIFY(first.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(SingleInstance::socketPath()), 10000);
        QTest::qWait(300); // the window's first show
    }

private slots:
    void initTestCase()
    {
        const QString home = TestEnvironment::isolateHome();
        qputenv("XDG_STATE_HOME", (home + QStringLiteral("/.local/state")).toUtf8());
        qputenv("XDG_RUNTIME_DIR", home.toUtf8());
    }

    void secondLaunchHandsOverAndEnds()
    {
        QProcess first;
        startFirst(first);
        QProcess second;
        second.start(zelvo(), {QStringLiteral("https://example.org/v")});
        QVERIFY(second.waitForFinished(10000));
        QCOMPARE(second.exitCode(), 0);
        QCOMPARE(first.state(), QProcess::Running);
        first.terminate();
        QVERIFY(first.waitForFinished(10000));
    }

    // SIGTERM (logout, kill) closes the windows as Quit does: the geometry is saved and the
    // exit is clean.
    void terminationQuitsCleanly()
    {
        QFile::remove(WindowState::stateFile());
        QProcess first;
        startFirst(first);
        ::kill(first.processId(), SIGTERM);
        QVERIFY(first.waitForFinished(10000));
        QCOMPARE(first.exitStatus(), QProcess::NormalExit);
        QCOMPARE(first.exitCode(), 0);
        QVERIFY(QFile::exists(WindowState::stateFile()));
    }
};

QTEST_GUILESS_MAIN(TestAppProcess)
#include "tst_app_process.moc"
