// The job runner: results on the owner's thread, the latest preview wins, joined at quit.
#include "platform/JobRunner.h"
#include "platform/ToolRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QTest>

#include <atomic>

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void deliversOnOwnerThread()
    {
        JobRunner runner;
        QThread *worker = nullptr;
        QThread *receiver = nullptr;
        runner.run([&worker] { worker = QThread::currentThread(); },
                   [&receiver] { receiver = QThread::currentThread(); });
        QTRY_VERIFY(receiver);
        QCOMPARE(receiver, QCoreApplication::instance()->thread());
        QVERIFY(worker && worker != receiver);
    }

    void latestRequestOfAKindWins()
    {
        JobRunner runner(1);
        QSemaphore started, open;
        std::atomic<int> ran{0};
        QList<int> delivered;
        const auto deliver = [&delivered](int value) { delivered << value; };
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
        runner.run([] { return 10; }, deliver); // no kind: never superseded
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
    }

    // The destructor drops the queued job, kills the tool the running one waits on, and joins.
    void joinsAtQuit()
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

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_job_runner.moc"
