// The store's task events: delivery on the main thread, the operations that post them, and
// what another store object commits to the same history.
#include "StoreTasks.h"
#include "TemporaryStore.h"

#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "support/DownloadFixture.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <thread>

namespace
{

// Every event of one store from its creation on, as emitted (a direct connection): its kind,
// its task, the task's status then and whether it came on the main thread.
class Recorder : public QObject
{
public:
    struct Event {
        QString kind;
        std::shared_ptr<XTask> task;
        qint64 status;
        bool onMainThread;
    };
    QList<Event> events;

    explicit Recorder(TaskEvents &taskEvents)
    {
        for (const auto &[signal, kind] : {std::pair{&TaskEvents::taskInserted, "inserted"},
                                           {&TaskEvents::taskChanged, "changed"},
                                           {&TaskEvents::thumbnailChanged, "thumbnail"},
                                           {&TaskEvents::taskRemoved, "removed"}}) {
            connect(
                &taskEvents, signal, this,
                [this, kind = kind](std::shared_ptr<XTask> task) {
                    events.append(
                        {kind, task, task->currentStatus(),
                         QThread::currentThread() == QCoreApplication::instance()->thread()});
                },
                Qt::DirectConnection);
        }
        settle();
        events.clear();
    }
    // The kinds of the events, of every task or of one.
    QStringList kinds(const std::shared_ptr<XTask> &task = nullptr) const
    {
        QStringList list;
        for (const Event &event : events) {
            if (!task || event.task == task) list << event.kind;
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
};

} // namespace

class TestTaskEvents : public QObject
{
    Q_OBJECT

    DownloadFixture m_site;
    QTemporaryDir m_work;
    QString m_clip; // 2 s with sound, 320x240
    std::unique_ptr<TemporaryStore> m_history;
    std::unique_ptr<XCoreDataManagement> m_store;

    QString copyOfClip(const QString &name) const
    {
        const QString path = m_work.filePath(name);
        QFile::remove(path);
        return QFile::copy(m_clip, path) ? path : QString();
    }

private slots:
    void initTestCase()
    {
        TestEnvironment::isolateHome();
        QVERIFY(m_site.start());
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA,
                                  m_site.makeToolFolder("working"));
        m_clip = m_work.filePath("clip.mp4");
        QVERIFY(MediaFactory::makeClip(m_clip, 2));
    }
    void init()
    {
        m_history = std::make_unique<TemporaryStore>();
        m_store = m_history->open();
    }
    void cleanup()
    {
        m_store.reset();
        m_history.reset();
    }

    void postsOfAWorkerArriveOnTheMainThreadAsOne()
    {
        const auto task = savedTask(*m_store, "https://worker");
        Recorder recorder(m_store->events());
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
        QCOMPARE(m_store->filesForTask(task).size(), 1); // in the task's own store
    }

    void eachOperationPostsItsEvent()
    {
        const QString moved = m_work.filePath("moved");
        QDir().mkpath(moved);
        using Action = std::function<void(const std::shared_ptr<XTask> &)>;
        struct Row {
            const char *name;
            Action action; // on a saved task with one file, which the events name
            QStringList kinds;
        };
        const QList<Row> rows = {
            {"removal", [&](auto task) { m_store->removeItem(task); }, {"removed"}},
            {"a run's status", [](auto task) { task->setDownloading(); }, {"changed"}},
            {"files recorded",
             [&](auto task) { task->saveLocalFiles({copyOfClip("second.mp4")}); },
             {"changed"}},
            {"best thumbnail",
             [](auto task) { task->makeBestThumbnail(); },
             {"changed", "thumbnail"}},
            {"files moved", [&](auto task) { task->moveFilesTo(moved); }, {"changed"}},
            {"merge",
             [&](auto task) {
                 QVERIFY(!task->mergeFilesByffmpeg(task->loadLocalURLs() +
                                                   QList{QUrl::fromLocalFile(copyOfClip("o.mp4"))})
                              .isEmpty());
             },
             {"changed"}},
        };
        int number = 0;
        for (const Row &row : rows) {
            const QString name = QString("row%1").arg(++number);
            const auto task = savedTask(*m_store, "https://" + name);
            task->saveLocalFiles({copyOfClip(name + ".mp4")});
            Recorder recorder(m_store->events());
            row.action(task);
            recorder.settle();
            QVERIFY2(recorder.kinds() == row.kinds,
                     qPrintable(row.name + QString(": ") + recorder.kinds().join(' ')));
            QVERIFY2(recorder.kinds(task) == row.kinds, row.name);
        }
        Recorder recorder(m_store->events());
        const auto created = m_store->creatTaskURL("https://new", "None", QString());
        recorder.settle();
        QCOMPARE(recorder.kinds(created), QStringList{"inserted"});
        QCOMPARE(recorder.kinds(), QStringList{"inserted"});
    }

    void aRunPostsEachStatusAndItsThumbnail()
    {
        const auto task = savedTask(*m_store, m_site.url("a.mp4"));
        Recorder recorder(m_store->events());
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
        QCOMPARE(m_store->filesForTask(task).size(), 1);
    }

    // Another store object's commits (another connection, as another process would commit):
    // changes merged under pending ones, files, inserts and removals, each posted once.
    void anotherStoreObjectsCommitsArePosted()
    {
        auto there = m_history->open();
        const auto task = savedTask(*m_store, "https://shared");
        const auto removed = savedTask(*m_store, "https://removed");
        const auto theirs = there->searchURL("https://shared").value(0);
        QVERIFY(theirs);
        QVERIFY(task->thumbnail().isNull()); // held here, so its change is seen
        task->setNote("mine");               // pending here: it wins
        Recorder recorder(m_store->events());

        theirs->setNote("theirs");
        theirs->setStatus(2);
        theirs->setThumbnail("their picture");
        QVERIFY(there->save());
        QTRY_VERIFY_WITH_TIMEOUT(recorder.kinds() == QStringList({"changed", "thumbnail"}), 2000);
        QCOMPARE(recorder.kinds(task), recorder.kinds());
        QCOMPARE(task->currentStatus(), 2);
        QCOMPARE(task->thumbnail(), QByteArray("their picture"));
        QCOMPARE(task->note(), "mine");
        QVERIFY(m_store->save());
        QCOMPARE(m_history->query("SELECT note || status FROM XTask WHERE url = 'https://shared'"),
                 "mine2");

        recorder.events.clear();
        const auto file = there->createFile(QUrl::fromLocalFile(copyOfClip("theirs.mp4")));
        file->setTask(theirs);
        QVERIFY(there->save());
        QTRY_COMPARE_WITH_TIMEOUT(recorder.kinds(), QStringList{"changed"}, 2000);
        QCOMPARE(recorder.events[0].task, task);
        const auto ours = m_store->filesForTask(task).value(0);
        QVERIFY(ours);

        recorder.events.clear();
        file->setLocalFile("/elsewhere/theirs.mp4");
        QVERIFY(there->save());
        QTRY_COMPARE_WITH_TIMEOUT(ours->localFile(), "/elsewhere/theirs.mp4", 2000);
        QCOMPARE(recorder.kinds(), QStringList{"changed"});
        QCOMPARE(recorder.events[0].task, task);

        recorder.events.clear();
        savedTask(*there, "https://inserted");
        QVERIFY(there->removeItem(there->searchURL("https://removed").value(0)));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 2, 2000);
        QVERIFY(recorder.taskOf("inserted", "https://inserted"));
        QCOMPARE(recorder.kinds(removed), QStringList{"removed"});
        QVERIFY(removed->isDeleted());
        QCOMPARE(m_store->existHistorys().size(), 2);

        // This store's own saves are no news when the other store's next commit is read.
        const auto own = savedTask(*m_store, "https://own");
        recorder.settle();
        recorder.events.clear();
        savedTask(*there, "https://later");
        QTRY_COMPARE_WITH_TIMEOUT(recorder.events.size(), 1, 2000);
        QVERIFY(recorder.taskOf("inserted", "https://later"));
        QTest::qWait(1200);
        QCOMPARE(recorder.events.size(), 1);
        QVERIFY(recorder.kinds(own).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTaskEvents)
#include "tst_task_events.moc"
