// The runners: ToolRunner's promise that no run outlives its time limit or its cancellation,
// nor does anything the tool started; JobRunner's results on the owner's thread, the latest
// preview winning, joined at quit.
#include "platform/JobRunner.h"
#include "platform/ToolCancellation.h"
#include "platform/ToolRunner.h"
#include "support/FakeExecutable.h"
#include "support/TestRows.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSemaphore>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <thread>

namespace
{

bool isAlive(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly)) return false;
    const QByteArray fields = stat.readAll();
    const qsizetype state = fields.lastIndexOf(')') + 2;
    return state < fields.size() && fields.at(state) != 'Z';
}

} // namespace

class TestRunners : public QObject
{
    Q_OBJECT

    QTemporaryDir m_folder;

    // A tool that starts a long sleep of its own, notes its pid, says so and waits for it.
    QString hangingTool() const
    {
        return FakeExecutable::write(m_folder.filePath("hang"),
                                     "sleep 60 &\necho $! > \"$1\"\necho started\nwait\n");
    }
    QString pidFile() const { return m_folder.filePath("pid"); }
    qint64 grandchild() const
    {
        QFile file(pidFile());
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed().toLongLong() : 0;
    }

private slots:
    void init() { QFile::remove(pidFile()); }

    // A run ends at its time limit, or at a cancellation from another thread, and so does what
    // the tool started.
    void runEndsWithWhatTheToolStarted_data()
    {
        QTest::addColumn<bool>("cancel");
        addRow("time limit", false);
        addRow("cancellation from another thread", true);
    }

    void runEndsWithWhatTheToolStarted()
    {
        QFETCH(bool, cancel);
        const QString tool = hangingTool();
        ToolCancellation cancellation;
        ToolRunner::Outcome outcome;
        QElapsedTimer timer;
        timer.start();
        std::thread worker([&] {
            ToolCancellation::Scope scope(cancellation);
            outcome = ToolRunner::run(tool, {pidFile()}, {cancel ? -1 : 300, {}});
        });
        if (cancel) {
            // Checked below, once the worker is joined.
            (void)QTest::qWaitFor([this] { return grandchild() > 0; });
            cancellation.cancel();
        }
        worker.join();
        QVERIFY(timer.elapsed() < 10'000);
        QVERIFY(outcome.started);
        QCOMPARE(outcome.cancelled, cancel);
        QCOMPARE(outcome.timedOut, !cancel);
        QVERIFY(!outcome.exitedCleanly());
        QCOMPARE(outcome.standardOutput, QByteArray("started\n"));
        QVERIFY(grandchild() > 0);
        QTRY_VERIFY(!isAlive(grandchild()));
    }

    void nothingStartsOnceCancelled()
    {
        const QString mark = m_folder.filePath("ran");
        const QString tool = FakeExecutable::write(m_folder.filePath("touch"), "touch \"$1\"\n");
        ToolCancellation cancellation;
        cancellation.cancel();
        ToolCancellation::Scope scope(cancellation);
        const ToolRunner::Outcome outcome = ToolRunner::run(tool, {mark});
        QVERIFY(!outcome.started);
        QVERIFY(outcome.cancelled);
        QVERIFY(!QFile::exists(mark));
    }

    // Results come on the owner's thread from a worker's; the latest job of a kind wins.
    void latestJobOfAKindWins()
    {
        JobRunner runner(1);
        QSemaphore started, open;
        std::atomic<int> ran{0};
        std::atomic<QThread *> worker{nullptr};
        QList<int> delivered;
        QList<QThread *> receivers;
        const auto deliver = [&](int value) {
            delivered << value;
            receivers << QThread::currentThread();
        };
        // 1 holds the only thread while 2 and 3 queue behind it, then 4 supersedes them all.
        runner.runLatest(
            "preview",
            [&] {
                started.release();
                open.acquire();
                return 1;
            },
            deliver);
        QVERIFY(started.tryAcquire(1, 5000));
        for (int value : {2, 3})
            runner.runLatest(
                "preview", [&, value] { return ++ran, value; }, deliver);
        runner.run( // no kind: never superseded
            [&worker] { return worker = QThread::currentThread(), 10; }, deliver);
        runner.runLatest(
            "preview", [&] { return ++ran, 4; }, deliver);
        open.release();
        QVERIFY(runner.waitForDone(5000));
        QTRY_COMPARE(delivered.size(), 2);
        // 5 is done before its delivery, when 6 supersedes it.
        runner.runLatest(
            "preview", [] { return 5; }, deliver);
        QVERIFY(runner.waitForDone(5000));
        runner.runLatest(
            "preview", [] { return 6; }, deliver);
        QTRY_COMPARE(delivered.size(), 3);
        QTest::qWait(50);
        QCOMPARE(delivered, (QList<int>{10, 4, 6}));
        QCOMPARE(ran.load(), 1); // 2 and 3 never ran
        QCOMPARE(receivers, QList<QThread *>(3, QCoreApplication::instance()->thread()));
        QVERIFY(worker && worker != QCoreApplication::instance()->thread());
    }

    // The destructor drops the queued job, kills the tool the running one waits on, and joins.
    void jobsJoinAtQuit()
    {
        std::atomic<bool> toolCancelled{false};
        std::atomic<bool> queuedRan{false};
        bool delivered = false;
        QElapsedTimer quitting;
        {
            JobRunner runner(1);
            QSemaphore started;
            runner.run(
                [&] {
                    started.release();
                    toolCancelled = ToolRunner::run("/bin/sleep", {"30"}).cancelled;
                },
                [&] { delivered = true; });
            runner.run([&] { queuedRan = true; }, [&] { delivered = true; });
            QVERIFY(started.tryAcquire(1, 5000));
            QVERIFY(!runner.waitForDone(50));
            quitting.start();
        }
        QVERIFY(quitting.elapsed() < 5000);
        QVERIFY(toolCancelled);
        QTest::qWait(50);
        QVERIFY(!queuedRan);
        QVERIFY(!delivered);
    }
};

QTEST_GUILESS_MAIN(TestRunners)
#include "tst_runners.moc"
