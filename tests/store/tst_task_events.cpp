// The store's task events: delivery on the main thread, the operations that post them, and
// what another store object or zelvo-cli commits to the same history.
#include "TemporaryStore.h"

#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "support/DownloadFixture.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <thread>

namespace
{

// Every event of one store, as emitted (a direct connection): its kind, its task, the task's
// status then and whether it came on the main thread.
class Recorder : public QObject
{
public:
    struct Event {
        QString kind;
        std::shared_ptr<XTask> task;
        qint64 status;
        bool onMainThread;
    };

    explicit Recorder(TaskEvents &events)
    {
        const auto record = [this](const char *kind) {
            return [this, kind](std::shared_ptr<XTask> task) { add(kind, task); };
        };
        connect(&events, &TaskEvents::taskInserted, this, record("inserted"), Qt::DirectConnection);
        connect(&events, &TaskEvents::taskChanged, this, record("changed"), Qt::DirectConnection);
        connect(&events, &TaskEvents::thumbnailChanged, this, record("thumbnail"),
                Qt::DirectConnection);
        connect(&events, &TaskEvents::taskRemoved, this, record("removed"), Qt::DirectConnection);
    }

    QList<Event> events;

    QStringList kinds() const
    {
        QStringList list;
        for (const Event &event : events)
            list << event.kind;
        return list;
    }
    QStringList kindsFor(const std::shared_ptr<XTask> &task) const
    {
        QStringList list;
        for (const Event &event : events) {
            if (event.task == task) list << event.kind;
        }
        return list;
    }
    std::shared_ptr<XTask> taskOf(const QString &kind, const QString &url) const
    {
        for (const Event &event : events) {
            if (event.kind == kind && event.task->url() == url) return event.task;
        }
        return nullptr;
    }
    // Lets every queued delivery run: the events of the operations made so far.
    void settle()
    {
        QCoreApplication::processEvents();
        QTest::qWait(20);
    }

private:
    void add(const char *kind, const std::shared_ptr<XTask> &task)
    {
        events.append({QString::fromLatin1(kind), task, task->currentStatus(),
                       QThread::currentThread() == QCoreApplication::instance()->thread()});
    }
};

} // namespace

class TestTaskEvents : public QObject
{
    Q_OBJECT

private:
    DownloadFixture m_site;
    QTemporaryDir m_work;
    QString m_clip; // 2 s with sound, 320x240

    QString copyOfClip(const QString &name) const
    {
        const QString path = m_work.filePath(name);
        QFile::remove(path);
        return QFile::copy(m_clip, path) ? path : QString();
    }
    static std::shared_ptr<XTask> savedTask(XCoreDataManagement &store, const QString &url)
    {
        auto task = store.creatTaskURL(url, QStringLiteral("None"), QString());
        store.save();
        return task;
    }
    static QString cli() { return QCoreApplication::applicationDirPath() + "/zelvo-cli"; }
    // Runs zelvo-cli (in this test's HOME) while the event loop goes on; its exit status.
    static int runCli(QProcess &process, const QStringList &arguments)
    {
        process.start(cli(), arguments);
        QElapsedTimer timer;
        timer.start();
        while (process.state() != QProcess::NotRunning && timer.elapsed() < 60000)
            QTest::qWait(20);
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }

private slots:
    void initTestCase();
    void postsOfAWorkerArriveOnTheMainThreadAsOne();
    void eachOperationPostsItsEvent();
    void aRunPostsEachStatusAndItsThumbnail();
    void anotherStoreObjectsChangesAreMergedAndPosted();
    void anotherStoreObjectsInsertsAndRemovalsArePosted();
    void zelvoCliAddingCompletingAndRemovingIsSeenWithinTwoSeconds();
};

void TestTaskEvents::initTestCase()
{
    TestEnvironment::isolateHome();
    QVERIFY(m_site.start());
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA,
                              m_site.makeToolFolder("working"));
    m_clip = m_work.filePath("clip.mp4");
    QVERIFY(MediaFactory::makeClip(m_clip, 2));
}

void TestTaskEvents::postsOfAWorkerArriveOnTheMainThreadAsOne()
{
    TemporaryStore temporary;
    auto store = temporary.open();
    const auto task = savedTask(*store, "https://worker");
    Recorder recorder(store->events());
    recorder.settle();
    recorder.events.clear();

    const QString file = copyOfClip("worker.mp4");
    std::thread([&] {
        task->setDownloading();
        task->saveLocalFiles({file});
        task->pauseDownload();
    }).join();
    QVERIFY(recorder.events.isEmpty()); // nothing is emitted on the posting thread
    recorder.settle();
    QCOMPARE(recorder.kinds(), QStringList{"changed"});
    QCOMPARE(recorder.events[0].task, task);
    QVERIFY(recorder.events[0].onMainThread);
    QCOMPARE(store->filesForTask(task).size(), 1); // in the task's own store
}

void TestTaskEvents::eachOperationPostsItsEvent()
{
    TemporaryStore temporary;
    auto store = temporary.open();
    const QString moved = m_work.filePath("moved");
    QDir().mkpath(moved);
    const auto withFile = [&](const QString &name) {
        auto task = savedTask(*store, "https://" + name);
        task->saveLocalFiles({copyOfClip(name + ".mp4")});
        return task;
    };
    using Operation = std::function<std::shared_ptr<XTask>(std::shared_ptr<XTask>)>;
    struct Row {
        const char *name;
        Operation operation; // on a saved task with one file; the task the events name
        QStringList kinds;
    };
    const QList<Row> rows = {
        {"creation",
         [&](auto) { return store->creatTaskURL("https://new", "None", QString()); },
         {"inserted"}},
        {"removal",
         [&](auto task) {
             store->removeItem(task);
             return task;
         },
         {"removed"}},
        {"a run's status",
         [](auto task) {
             task->setDownloading();
             return task;
         },
         {"changed"}},
        {"a failure",
         [](auto task) {
             task->downloadStoppedWithReason("ERROR: gone");
             return task;
         },
         {"changed"}},
        {"files recorded",
         [&](auto task) {
             task->saveLocalFiles({copyOfClip("second.mp4")});
             return task;
         },
         {"changed"}},
        {"only a piece, nothing recorded",
         [&](auto task) {
             task->saveLocalFiles({m_work.filePath("third.mp4.part")});
             return task;
         },
         {}},
        {"best thumbnail",
         [](auto task) {
             task->makeBestThumbnail();
             return task;
         },
         {"changed", "thumbnail"}},
        {"files moved",
         [&](auto task) {
             task->moveFilesTo(moved);
             return task;
         },
         {"changed"}},
        {"merge",
         [&](auto task) {
             const QString merged = task->mergeFilesByffmpeg(
                 task->loadLocalURLs() + QList{QUrl::fromLocalFile(copyOfClip("other.mp4"))});
             return merged.isEmpty() ? nullptr : task;
         },
         {"changed"}},
        {"record setters are silent",
         [](auto task) {
             task->setNote("note");
             task->setStatus(2);
             task->setThumbnail("picture");
             return task;
         },
         {}},
    };
    int number = 0;
    for (const Row &row : rows) {
        const auto task = withFile(QStringLiteral("row%1").arg(++number));
        Recorder recorder(store->events());
        recorder.settle();
        recorder.events.clear();
        const auto named = row.operation(task);
        QVERIFY2(named, row.name);
        recorder.settle();
        QVERIFY2(recorder.kinds() == row.kinds,
                 qPrintable(row.name + QStringLiteral(": ") + recorder.kinds().join(' ')));
        for (const auto &event : recorder.events)
            QVERIFY2(event.task == named, row.name);
    }
}

void TestTaskEvents::aRunPostsEachStatusAndItsThumbnail()
{
    TemporaryStore temporary;
    auto store = temporary.open();
    const auto task = savedTask(*store, m_site.url("a.mp4"));
    Recorder recorder(store->events());
    recorder.settle();
    recorder.events.clear();
    DownloadRegistry registry;
    bool ended = false;
    connect(&registry, &DownloadRegistry::downloadEnded, this, [&] { ended = true; });
    QCOMPARE(registry.start(task), DownloadRegistry::StartAnswer::Started);
    QTRY_VERIFY_WITH_TIMEOUT(ended, 60000);
    recorder.settle();

    QList<qint64> statuses;
    for (const auto &event : recorder.events) {
        QCOMPARE(event.task, task);
        if (event.kind == "changed") statuses << event.status;
    }
    QVERIFY(!statuses.isEmpty());
    QCOMPARE(statuses.first(), 1);
    QCOMPARE(statuses.last(), 2);
    QVERIFY(recorder.kinds().contains("thumbnail"));
    QCOMPARE(store->filesForTask(task).size(), 1);
}

void TestTaskEvents::anotherStoreObjectsChangesAreMergedAndPosted()
{
    TemporaryStore temporary;
    auto here = temporary.open();
    auto there = temporary.open();
    const auto task = savedTask(*here, "https://shared");
    const auto untouched = savedTask(*here, "https://untouched");
    const auto theirs = there->searchURL("https://shared").value(0);
    QVERIFY(theirs);
    QVERIFY(task->thumbnail().isNull()); // held here, so its change is seen
    task->setNote("mine");               // pending here: it wins
    Recorder recorder(here->events());
    recorder.settle();
    recorder.events.clear();

    theirs->setNote("theirs");
    theirs->setStatus(2);
    theirs->setThumbnail("their picture");
    QVERIFY(there->save());
    QTRY_VERIFY_WITH_TIMEOUT(recorder.kindsFor(task) == QStringList({"changed", "thumbnail"}),
                             2000);
    QCOMPARE(task->currentStatus(), 2);
    QCOMPARE(task->thumbnail(), QByteArray("their picture"));
    QCOMPARE(task->note(), "mine");
    QVERIFY(here->save());
    QCOMPARE(temporary.query("SELECT note || status FROM XTask WHERE url = 'https://shared'"),
             "mine2");

    recorder.events.clear();
    const auto file = there->createFile(QUrl::fromLocalFile(copyOfClip("theirs.mp4")));
    file->setTask(theirs);
    QVERIFY(there->save());
    QTRY_COMPARE_WITH_TIMEOUT(recorder.kinds(), QStringList{"changed"}, 2000);
    QCOMPARE(recorder.events[0].task, task);
    const auto ours = here->filesForTask(task).value(0);
    QVERIFY(ours);

    recorder.events.clear();
    file->setLocalFile("/elsewhere/theirs.mp4");
    QVERIFY(there->save());
    QTRY_COMPARE_WITH_TIMEOUT(ours->localFile(), "/elsewhere/theirs.mp4", 2000);
    QCOMPARE(recorder.kindsFor(task), QStringList{"changed"});
    QVERIFY(recorder.kindsFor(untouched).isEmpty());
}

void TestTaskEvents::anotherStoreObjectsInsertsAndRemovalsArePosted()
{
    TemporaryStore temporary;
    auto here = temporary.open();
    auto there = temporary.open();
    const auto task = savedTask(*here, "https://removed");
    Recorder recorder(here->events());
    recorder.settle();
    recorder.events.clear();

    savedTask(*there, "https://inserted");
    QVERIFY(there->removeItem(there->searchURL("https://removed").value(0)));
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, 2000);
    QVERIFY(recorder.taskOf("inserted", "https://inserted"));
    QCOMPARE(recorder.kindsFor(task), QStringList{"removed"});
    QVERIFY(task->isDeleted());
    QCOMPARE(here->existHistorys().size(), 1);

    // This store's own saves are no news when the other store's next commit is read.
    const auto own = savedTask(*here, "https://own");
    recorder.settle();
    recorder.events.clear();
    savedTask(*there, "https://later");
    QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 1, 2000);
    QVERIFY(recorder.taskOf("inserted", "https://later"));
    QTest::qWait(1200);
    QCOMPARE(recorder.events.size(), 1);
    QVERIFY(recorder.kindsFor(own).isEmpty());
}

void TestTaskEvents::zelvoCliAddingCompletingAndRemovingIsSeenWithinTwoSeconds()
{
    XCoreDataManagement store(XCoreDataManagement::defaultStorePath()); // the one zelvo-cli uses
    QVERIFY(store.open());
    Recorder recorder(store.events());
    const QString url = m_site.url("b.mp4");

    QProcess download;
    download.start(cli(), {"download", url});
    QByteArray said;
    // "Task N: URL" follows the task's first save.
    QTRY_VERIFY_WITH_TIMEOUT((said += download.readAllStandardError()).contains("Task "), 30000);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.taskOf("inserted", url), 2000);
    const auto task = recorder.taskOf("inserted", url);
    // It may have ended while the insertion was awaited (waitForFinished would then say no).
    QTRY_COMPARE_WITH_TIMEOUT(download.state(), QProcess::NotRunning, 60000);
    QCOMPARE(download.exitCode(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(task->currentStatus(), 2, 2000);
    QCOMPARE(recorder.events.last().task, task);
    QCOMPARE(store.filesForTask(task).size(), 1);

    QProcess remove;
    QCOMPARE(runCli(remove, {"remove", QString::number(task->rowId())}), 0);
    QTRY_VERIFY_WITH_TIMEOUT(recorder.kindsFor(task).endsWith("removed"), 2000);
    QCOMPARE(recorder.events.last().task, task);
    QVERIFY(store.existHistorys().isEmpty());
}

QTEST_GUILESS_MAIN(TestTaskEvents)
#include "tst_task_events.moc"
