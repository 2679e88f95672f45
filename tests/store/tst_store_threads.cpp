#include "TemporaryStore.h"

#include "store/SqliteDatabase.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <thread>
#include <vector>

#include <csignal>

namespace
{

// Runs statements on a connection of its own, as another program would.
void changeBehindTheStore(const TemporaryStore &temporary, const QString &sql)
{
    SqliteDatabase database;
    QVERIFY(database.open(temporary.path(), false));
    QVERIFY2(database.exec(sql), qPrintable(database.errorMessage()));
}

int savedTasks(const TemporaryStore &temporary)
{
    return temporary.query(QStringLiteral("SELECT count(*) FROM XTask")).toInt();
}

int lastReportedSave(const QByteArray &output)
{
    int last = 0;
    for (const QByteArray &line : output.split('\n')) {
        if (line.startsWith("saved ")) last = line.mid(6).toInt();
    }
    return last;
}

} // namespace

class TestStoreThreads : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    void saveFromAnotherThreadIsQueuedToTheMainThread()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        store->creatTaskURL(QStringLiteral("https://queued"), QString(), QString());
        bool answer = false;
        std::thread([&] { answer = store->save(); }).join();
        QVERIFY(answer);
        QCOMPARE(savedTasks(temporary), 0);
        QTRY_COMPARE(savedTasks(temporary), 1);
        QVERIFY(!store->hasChanges());
    }

    // A save that fails rolls back and discards nothing: the next save writes it all once.
    void failedSaveKeepsTheChanges()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        auto kept = store->creatTaskURL(QStringLiteral("kept"), QString(), QString());
        QVERIFY(store->save());
        kept->setNote(QStringLiteral("changed"));
        auto task = store->creatTaskURL(QStringLiteral("new"), QString(), QString());
        changeBehindTheStore(temporary,
                             QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON XFile BEGIN "
                                            "SELECT RAISE(ABORT, 'disk says no'); END"));
        {
            LogCapture log;
            // A record of a missing file saves at once (and fails here too).
            store->createFile(QUrl::fromLocalFile(QStringLiteral("/W/a.mp4")))->setTask(task);
            QVERIFY(!store->save());
            QVERIFY(log.containsPart(QStringLiteral("disk says no")));
        }
        QVERIFY(store->hasChanges());
        QCOMPARE(task->rowId(), 0);
        QCOMPARE(savedTasks(temporary), 1);
        QVERIFY(temporary.query(QStringLiteral("SELECT note FROM XTask")).isNull());

        changeBehindTheStore(temporary, QStringLiteral("DROP TRIGGER refuse"));
        QVERIFY(store->save());
        QCOMPARE(savedTasks(temporary), 2);
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XFile")).toInt(), 1);
        QCOMPARE(
            temporary.query(QStringLiteral("SELECT note FROM XTask WHERE url = 'kept'")).toString(),
            QStringLiteral("changed"));
        QCOMPARE(store->filesForTask(task).size(), 1);
    }

    // A download thread still holds the task (and records its files) when the user removes
    // it: nothing it does afterwards may bring the task or its files back.
    void removedTaskStaysRemoved()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        auto task = store->creatTaskURL(QStringLiteral("removed"), QString(), QString());
        store->createFile(QUrl::fromLocalFile(QStringLiteral("/W/before.mp4")))->setTask(task);
        QVERIFY(store->save());
        QVERIFY(store->removeItem(task));
        std::thread([&] {
            task->setStatus(2);
            task->setNote(QStringLiteral("late"));
            auto late = store->createFile(QUrl::fromLocalFile(QStringLiteral("/W/after.mp4")));
            late->setTask(task);
            task->save();
        }).join();
        QTRY_VERIFY(!store->hasChanges());
        QCOMPARE(task->status(), std::nullopt);
        QVERIFY(store->existHistorys().isEmpty());
        QCOMPARE(savedTasks(temporary), 0);
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XFile")).toInt(), 0);
    }

    // Download threads record files and progress while the main thread lists, searches and
    // saves; run under ThreadSanitizer too.
    void concurrentUse()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        constexpr int threads = 4;
        constexpr int filesPerThread = 40;
        QList<std::shared_ptr<XTask>> tasks;
        for (int i = 0; i < threads; ++i)
            tasks.append(
                store->creatTaskURL(QStringLiteral("task-%1").arg(i), QString(), QString()));
        QVERIFY(store->save());

        std::atomic<int> running{threads};
        std::vector<std::thread> workers;
        for (int i = 0; i < threads; ++i) {
            workers.emplace_back([&, task = tasks.at(i)] {
                for (int n = 0; n < filesPerThread; ++n) {
                    task->setStatus(1);
                    auto file = store->createFile(QUrl::fromLocalFile(
                        QStringLiteral("/W/%1-%2.mp4").arg(task->url()).arg(n)));
                    file->setName(QStringLiteral("%1 file %2").arg(task->url()).arg(n));
                    file->setTask(task);
                    file->setThumbnail(QByteArray(512, char(n)));
                    if (store->filesForTask(task).size() != n + 1)
                        qFatal("a thread lost a file of its own task");
                    task->save();
                }
                task->setStatus(2);
                task->save();
                --running;
            });
        }
        while (running > 0) {
            for (const auto &task : store->existHistorys())
                (void)task->thumbnail();
            (void)store->tasksWithString(QStringLiteral("file 1"));
            store->save();
            QCoreApplication::processEvents();
        }
        for (auto &worker : workers)
            worker.join();
        QVERIFY(store->save());
        store = temporary.open();
        for (const auto &task : store->existHistorys()) {
            QCOMPARE(task->currentStatus(), 2);
            QCOMPARE(store->filesForTask(task).size(), filesPerThread);
        }
        QCOMPARE(store->tasksWithString(QStringLiteral("file")).size(), threads * filesPerThread);
    }

    // The cases with a second process come last: under ThreadSanitizer, a process that
    // has spawned a child may not start threads any more.
    void queuedSaveIsNotLostAtExit()
    {
        QTemporaryDir home;
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), home.path());
        child.setProcessEnvironment(environment);
        child.start(QStringLiteral(STORE_CHILD),
                    {QStringLiteral("queue-and-exit"), QStringLiteral("https://at-exit")});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        XCoreDataManagement store(home.filePath(QStringLiteral("Documents/XTaskModel.sqlite")));
        QVERIFY(store.open());
        QVERIFY(store.existURL(QStringLiteral("https://at-exit")));
    }

    // A process killed at any moment while it saves leaves a sound database holding every
    // save it completed.
    void killedWhileSavingLosesNothingCommitted()
    {
        for (int round = 0; round < 5; ++round) {
            TemporaryStore temporary;
            temporary.open();
            QProcess child;
            child.start(QStringLiteral(STORE_CHILD),
                        {QStringLiteral("save-loop"), temporary.path()});
            // Killed after its first save, at a random moment of the saves that follow: how
            // long a process takes to start is no part of the test (slow under sanitizers).
            QVERIFY(child.waitForReadyRead(10000));
            QTest::qWait(QRandomGenerator::global()->bounded(300));
            ::kill(pid_t(child.processId()), SIGKILL);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            const int completed = lastReportedSave(child.readAllStandardOutput());
            QVERIFY2(completed > 0, "the child completed no save before it was killed");

            auto store = temporary.open();
            QVERIFY(store->isOpen());
            QCOMPARE(temporary.query(QStringLiteral("PRAGMA integrity_check")).toString(),
                     QStringLiteral("ok"));
            QSet<QString> urls;
            for (const auto &task : store->existHistorys())
                urls.insert(task->url());
            for (int i = 1; i <= completed; ++i)
                QVERIFY2(urls.contains(QStringLiteral("loop-%1").arg(i)),
                         qPrintable(QString::number(i)));
        }
    }
};

QTEST_GUILESS_MAIN(TestStoreThreads)
#include "tst_store_threads.moc"
