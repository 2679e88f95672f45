// The job runner: results on the owner's thread, the latest preview wins, joined at quit.
#include "platform/JobRunner.h"
#include "platform/ToolRunner.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSemaphore>
#include <QTest>

#include <atomic>
#include <mutex>

namespace
{
// A job that holds its pool thread until opened, so later requests queue behind it.
struct Gate {
    QSemaphore started;
    QSemaphore open;
    std::function<int()> job(int value)
    {
        return [this, value] {
            started.release();
            open.acquire();
            return value;
        };
    }
};
} // namespace

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void deliversOnOwnerThread()
    {
        JobRunner runner;
        QThread *worker = nullptr;
        QThread *receiver = nullptr;
        QString result;
        runner.run(
            [&worker] {
                worker = QThread::currentThread();
                return QStringLiteral("done");
            },
            [&](QString text) {
                receiver = QThread::currentThread();
                result = text;
            });
        QTRY_COMPARE(result, QStringLiteral("done"));
        QVERIFY(worker && worker != QCoreApplication::instance()->thread());
        QCOMPARE(receiver, QCoreApplication::instance()->thread());
    }

    void latestRequestOfAKindWins()
    {
        JobRunner runner(1);
        Gate gate;
        QList<int> ran;
        QList<int> delivered;
        std::mutex ranMutex;
        const auto preview = [&](int value) {
            runner.runLatest(
                QStringLiteral("preview"),
                [&, value] {
                    std::lock_guard<std::mutex> lock(ranMutex);
                    ran << value;
                    return value;
                },
                [&](int got) { delivered << got; });
        };
        // Queued behind a running preview: the older queued ones never run.
        runner.runLatest(QStringLiteral("preview"), gate.job(1),
                         [&](int got) { delivered << got; });
        QVERIFY(gate.started.tryAcquire(1, 5000));
        preview(2);
        preview(3);
        runner.run([] { return 10; }, [&](int got) { delivered << got; }); // another kind
        preview(4);
        // The running one finishes after it was superseded: its result is not delivered.
        gate.open.release();
        QVERIFY(runner.waitForDone(5000));
        QTRY_COMPARE(delivered.size(), 2);
        QTest::qWait(50);
        QCOMPARE(delivered, (QList<int>{10, 4}));
        QCOMPARE(ran, QList<int>{4});
    }

    // A result that is done but not yet delivered when a newer request comes is dropped too.
    void resultSupersededBeforeDeliveryIsDropped()
    {
        JobRunner runner(2);
        QList<int> delivered;
        runner.runLatest(
            QStringLiteral("frame"), [] { return 1; }, [&](int v) { delivered << v; });
        QVERIFY(runner.waitForDone(5000)); // done; its delivery waits for the event loop
        runner.runLatest(
            QStringLiteral("frame"), [] { return 2; }, [&](int v) { delivered << v; });
        QTRY_COMPARE(delivered.size(), 1);
        QTest::qWait(50);
        QCOMPARE(delivered, QList<int>{2});
    }

    void joinsAtQuit()
    {
        std::atomic<bool> slowJobEnded{false};
        std::atomic<int> queuedRan{0};
        bool delivered = false;
        QSemaphore started;
        {
            JobRunner runner(1);
            runner.run(
                [&] {
                    started.release();
                    QThread::msleep(300);
                    slowJobEnded = true;
                },
                [&] { delivered = true; });
            QVERIFY(started.tryAcquire(1, 5000));
            runner.run([&] { ++queuedRan; }, [&] { delivered = true; });
            QVERIFY(!runner.waitForDone(50)); // the slow job holds the only thread
        }                                     // drops the queued job, waits for the running one
        QVERIFY(slowJobEnded);
        QTest::qWait(50);
        QCOMPARE(queuedRan.load(), 0);
        QVERIFY(!delivered);

        JobRunner runner(1);
        runner.run(
            [&] {
                QThread::msleep(100);
                ++queuedRan;
            },
            [] {});
        QVERIFY(runner.waitForDone(5000));
        QCOMPARE(queuedRan.load(), 1);
    }

    void quitEndsTheToolsOfRunningJobs()
    {
        std::atomic<bool> cancelled{false};
        QElapsedTimer quitting;
        {
            JobRunner runner(1);
            QSemaphore started;
            runner.run(
                [&] {
                    started.release();
                    cancelled = ToolRunner::run("/bin/sleep", {"30"}).cancelled;
                },
                [] {});
            QVERIFY(started.tryAcquire(1, 5000));
            quitting.start();
        }
        QVERIFY(quitting.elapsed() < 5000);
        QVERIFY(cancelled);
    }
};

QTEST_GUILESS_MAIN(TestJobRunner)
#include "tst_job_runner.moc"
