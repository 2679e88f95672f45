// The history file: every record attribute on disk, searches, opening, upgrading and refusing
// files, threads, and several processes sharing one history (store_child is the other one).
#include "TemporaryStore.h"

#include "store/SqliteDatabase.h"
#include "support/FileContents.h"
#include "support/FuzzSeeds.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"

#include <QDir>
#include <QProcess>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QTest>

#include <atomic>
#include <functional>
#include <limits>
#include <thread>
#include <vector>

#include <csignal>
#include <unistd.h>

using TaskList = QList<std::shared_ptr<XTask>>;

namespace
{

QStringList urlsOf(const TaskList &tasks)
{
    QStringList urls;
    for (const auto &task : tasks)
        urls.append(task->url());
    return urls;
}

std::shared_ptr<XFile> addFile(XCoreDataManagement &store, const std::shared_ptr<XTask> &task,
                               const QString &name)
{
    auto file = store.createFile(QUrl::fromLocalFile("/W/" + name + ".mp4"));
    file->setName(name);
    file->setTask(task);
    return file;
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// One attribute of a record: written through its setter, compared through its getter.
template <typename Record> struct Attribute {
    const char *name;
    std::function<void(Record &)> write;
    std::function<bool(const Record &)> readsBack;
};

template <typename Record, typename Setter, typename Getter, typename Value>
Attribute<Record> attribute(const char *name, Setter set, Getter get, const Value &value)
{
    return {name, [=](Record &record) { (record.*set)(value); },
            [=](const Record &record) { return (record.*get)() == value; }};
}
#define TASK_ATTRIBUTE(getter, Setter, value)                                                      \
    attribute<XTask>(#getter, &XTask::set##Setter, &XTask::getter, value)
#define FILE_ATTRIBUTE(getter, Setter, value)                                                      \
    attribute<XFile>(#getter, &XFile::set##Setter, &XFile::getter, value)

// The first layout of the history: no search column yet.
const char versionOne[] = R"(
CREATE TABLE XTask (id INTEGER PRIMARY KEY, createDate INTEGER, completedDate INTEGER, url TEXT,
    browers TEXT, note TEXT, localFile TEXT, status INTEGER, tryBestVideo INTEGER,
    mustMP4Format INTEGER, failed_reason TEXT, videoWidth INTEGER, videoHeight INTEGER,
    videoEncodeName TEXT, duration REAL);
CREATE TABLE XTask_source_description (owner INTEGER PRIMARY KEY REFERENCES XTask(id) ON DELETE CASCADE, value TEXT);
CREATE TABLE XTask_thumbnail (owner INTEGER PRIMARY KEY REFERENCES XTask(id) ON DELETE CASCADE, value BLOB);
CREATE TABLE XFile (id INTEGER PRIMARY KEY, task INTEGER REFERENCES XTask(id) ON DELETE SET NULL,
    url TEXT, localFile TEXT, name TEXT, videoEncodeName TEXT, width INTEGER, height INTEGER, duration REAL);
CREATE INDEX XFile_task ON XFile(task);
CREATE TABLE XFile_source_description (owner INTEGER PRIMARY KEY REFERENCES XFile(id) ON DELETE CASCADE, value TEXT);
CREATE TABLE XFile_thumbnail (owner INTEGER PRIMARY KEY REFERENCES XFile(id) ON DELETE CASCADE, value BLOB);
INSERT INTO XTask (id, createDate, url, status, localFile) VALUES
    (1, 1600000000000, 'https://old/1', 2, '/W/a.mp4' || char(10) || '/W/b.mp4'),
    (2, 1600000001000, 'https://old/2', 1, NULL);
INSERT INTO XTask_thumbnail VALUES (1, x'FFD8FFD9');
INSERT INTO XFile (id, task, localFile, name, width) VALUES
    (1, 2, '/W/Café.mp4', 'Café', 640), (2, 2, '/W/x.mp4', 'x', NULL);
PRAGMA user_version = 1;
)";

} // namespace

class TestStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<TemporaryStore> m_history;

    // Statements on a connection of its own, as another program would run them.
    void runSql(const QString &sql) const
    {
        QDir().mkpath(QFileInfo(m_history->path()).absolutePath());
        SqliteDatabase database;
        QVERIFY(database.open(m_history->path(), true));
        QVERIFY2(database.exec(sql), qPrintable(database.errorMessage()));
    }
    int count(const char *table) const
    {
        return m_history->query(QStringLiteral("SELECT count(*) FROM ") + table).toInt();
    }
    std::unique_ptr<QProcess> startChild(const QStringList &arguments) const
    {
        auto child = std::make_unique<QProcess>();
        child->start(STORE_CHILD, arguments);
        return child;
    }

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }
    void init() { m_history = std::make_unique<TemporaryStore>(); }
    void cleanup() { m_history.reset(); }

    // A store that cannot open answers with nothing and creates nothing, and the next shared()
    // tries again. Also the first start: no Documents folder, no file. The first use of shared().
    void sharedStoreFailsSafelyThenRetries()
    {
        const QString documents = QDir::homePath() + "/Documents";
        QVERIFY(FileContents::write(documents, "a file where the Documents folder should be"));
        {
            LogCapture log;
            XCoreDataManagement &store = XCoreDataManagement::shared();
            QVERIFY(!store.isOpen());
            QVERIFY(log.contains("place store error."));
            QVERIFY(store.existHistorys().isEmpty());
            QVERIFY(store.tasksWithString("a").isEmpty());
            QVERIFY(!store.existURL("https://a"));
            QCOMPARE(store.creatTaskURL("https://a", QString(), QString()), nullptr);
            QCOMPARE(store.createFile(QUrl::fromLocalFile("/W/a.mp4")), nullptr);
            QVERIFY(!store.save());
        }
        QVERIFY(QFile::remove(documents));
        XCoreDataManagement &store = XCoreDataManagement::shared();
        QVERIFY(store.isOpen());
        QCOMPARE(&store, &XCoreDataManagement::shared());
        QCOMPARE(store.storePath(), documents + "/XTaskModel.sqlite");
        QVERIFY(QFileInfo::exists(store.storePath()));
        QVERIFY(store.existHistorys().isEmpty());
    }

    void everyAttributeSurvivesReopen()
    {
        // One attribute of each column type, and of each kept in a table of its own: the
        // columns are mapped by their type.
        const QList<Attribute<XTask>> taskAttributes = {
            TASK_ATTRIBUTE(url, Url, QString("https://a.example/v")),
            TASK_ATTRIBUTE(completedDate, CompletedDate,
                           QDateTime::fromMSecsSinceEpoch(1700000000123)),
            TASK_ATTRIBUTE(source_description, Source_description, QString("page text")),
            TASK_ATTRIBUTE(thumbnail, Thumbnail, QByteArray("\xff\xd8 jpeg \0 bytes", 16)),
            TASK_ATTRIBUTE(status, Status, std::optional<qint64>(3)),
            TASK_ATTRIBUTE(tryBestVideo, TryBestVideo, std::optional(true)),
            TASK_ATTRIBUTE(duration, Duration, std::optional(12.5f))};
        const QList<Attribute<XFile>> fileAttributes = {
            FILE_ATTRIBUTE(name, Name, QString("Clip")),
            FILE_ATTRIBUTE(source_description, Source_description, QString("file text")),
            FILE_ATTRIBUTE(thumbnail, Thumbnail, QByteArray("thumb")),
            FILE_ATTRIBUTE(width, Width, std::optional<qint64>(640)),
            FILE_ATTRIBUTE(duration, Duration, std::optional(3.25f))};
        {
            auto store = m_history->open();
            auto task = store->creatTaskURL(QString(), QString(), QString());
            auto file = store->createFile(QUrl());
            file->setTask(task);
            for (const auto &attribute : taskAttributes)
                attribute.write(*task);
            for (const auto &attribute : fileAttributes)
                attribute.write(*file);
            QVERIFY(store->save());
        }
        auto store = m_history->open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(tasks.size(), 1);
        QVERIFY(tasks.first()->createDate().isValid());
        for (const auto &attribute : taskAttributes)
            QVERIFY2(attribute.readsBack(*tasks.first()), attribute.name);
        const auto files = store->filesForTask(tasks.first());
        QCOMPARE(files.size(), 1);
        QCOMPARE(files.first()->task(), tasks.first());
        for (const auto &attribute : fileAttributes)
            QVERIFY2(attribute.readsBack(*files.first()), attribute.name);
    }

    // Absent, 0 and empty are three different things, before and after a save, and an
    // attribute cleared on a saved record is absent again after reopening.
    void absentStaysDistinctFromZeroAndEmpty()
    {
        {
            auto store = m_history->open();
            store->creatTaskURL("https://bare", "None", QString())
                ->setDuration(std::numeric_limits<float>::quiet_NaN());
            auto zeroes = store->creatTaskURL("https://zero", QString(), "");
            zeroes->setStatus(0);
            zeroes->setTryBestVideo(false);
            zeroes->setThumbnail(QByteArray(""));
            zeroes->setSource_description("");
            zeroes->setDuration(0.0f);
            auto cleared = store->creatTaskURL("https://cleared", QString(), QString());
            cleared->setStatus(2);
            cleared->setThumbnail("image");
            QVERIFY(store->save());
            cleared->setStatus(std::nullopt);
            cleared->setThumbnail(QByteArray());
            QVERIFY(store->save());
        }
        auto store = m_history->open();
        QCOMPARE(store->existHistorys().size(), 3);
        const auto bare = store->searchURL("https://bare").value(0);
        QVERIFY(bare);
        QVERIFY(!bare->browers().isNull() && bare->browers().isEmpty());
        QVERIFY(bare->note().isNull());
        QCOMPARE(bare->status(), std::nullopt);
        QCOMPARE(bare->currentStatus(), 0);
        QCOMPARE(bare->tryBestVideo(), std::nullopt);
        QCOMPARE(bare->duration(), std::nullopt);
        QVERIFY(bare->thumbnail().isNull());
        QVERIFY(bare->source_description().isNull());

        const auto zeroes = store->searchURL("https://zero").value(0);
        QVERIFY(zeroes);
        QVERIFY(zeroes->browers().isNull());
        QVERIFY(!zeroes->note().isNull() && zeroes->note().isEmpty());
        QCOMPARE(zeroes->status(), std::optional<qint64>(0));
        QCOMPARE(zeroes->tryBestVideo(), std::optional(false));
        QCOMPARE(zeroes->duration(), std::optional(0.0f));
        QVERIFY(!zeroes->thumbnail().isNull() && zeroes->thumbnail().isEmpty());
        QVERIFY(!zeroes->source_description().isNull());

        const auto cleared = store->searchURL("https://cleared").value(0);
        QVERIFY(cleared);
        QCOMPARE(cleared->status(), std::nullopt);
        QVERIFY(cleared->thumbnail().isNull());
    }

    void newestFirstAlsoWithinOneSecond()
    {
        const QDateTime sameMoment = QDateTime::fromSecsSinceEpoch(1700000000);
        QStringList expected = {"newer", "third", "second", "first", "older"};
        {
            auto store = m_history->open();
            const auto add = [&](const QString &url, int seconds) {
                store->creatTaskURL(url, QString(), QString())
                    ->setCreateDate(sameMoment.addSecs(seconds));
            };
            add("older", -60);
            for (const char *url : {"first", "second", "third"})
                add(url, 0);
            add("newer", 60);
            QCOMPARE(urlsOf(store->existHistorys()), expected);
            QVERIFY(store->save());
            add("fourth", 0);
            expected.insert(1, "fourth");
            QCOMPARE(urlsOf(store->existHistorys()), expected);
            QVERIFY(store->save());
        }
        QCOMPARE(urlsOf(m_history->open()->existHistorys()), expected);
    }

    // The same search answers alike for unsaved records (matched in memory) and for saved
    // ones (matched by the database), so each case runs before and after reopening.
    void fileNameSearchFoldsCaseAndAccents()
    {
        auto store = m_history->open();
        const std::pair<const char *, QStringList> tasks[] = {
            {"composed", {"Caf\u00e9 au lait"}},     {"upper", {"CAF\u00c9 NOIR"}},
            {"decomposed", {"cafe\u0301"}},          {"plain", {"Cafe"}},
            {"twice", {"a_b part 1", "a_b part 2"}}, {"literal", {"axb 100%"}}};
        for (const auto &[url, names] : tasks) {
            const auto task = store->creatTaskURL(url, QString(), QString());
            for (const QString &name : names)
                addFile(*store, task, name);
        }
        store->createFile(QUrl::fromLocalFile("/W/orphan cafe.mp4"))->setName("orphan cafe");

        const QStringList allCafes = {"composed", "upper", "decomposed", "plain"};
        // A mark alone folds to nothing, which must match nothing rather than everything.
        const std::pair<QString, QStringList> searches[] = {
            {"cafe", allCafes},          {"CAF\u00c9", allCafes}, {"cafe\u0301 N", {"upper"}},
            {"a_b", {"twice", "twice"}}, {"%", {"literal"}},      {"\u0301", {}}};
        for (int pass = 0; pass < 2; ++pass) {
            LogCapture log;
            for (const auto &[search, urls] : searches)
                QCOMPARE(urlsOf(store->tasksWithString(search)), urls);
            QVERIFY(log.contains("/W/orphan cafe.mp4 NOT task."));
            QVERIFY(store->save());
            store = m_history->open();
        }
    }

    void queriesSeePendingChanges()
    {
        auto store = m_history->open();
        auto kept = store->creatTaskURL("kept", QString(), QString());
        auto file = addFile(*store, kept, "alpha");
        auto removed = store->creatTaskURL("removed", QString(), QString());
        QVERIFY(store->save());

        file->setName("beta");
        QVERIFY(store->tasksWithString("alpha").isEmpty());
        QCOMPARE(store->tasksWithString("beta"), TaskList{kept});

        auto added = store->creatTaskURL("added", QString(), QString());
        auto addedFile = addFile(*store, kept, "gamma");
        QCOMPARE(store->filesForTask(kept), (QList<std::shared_ptr<XFile>>{file, addedFile}));
        file->setTask(added);
        QCOMPARE(store->filesForTask(kept), QList<std::shared_ptr<XFile>>{addedFile});
        QCOMPARE(store->filesForTask(added), QList<std::shared_ptr<XFile>>{file});

        QVERIFY(store->removeItem(removed));
        QVERIFY(!urlsOf(store->existHistorys()).contains("removed"));
        QVERIFY(store->save());
        store = m_history->open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(urlsOf(tasks), QStringList({"added", "kept"}));
        QCOMPARE(store->filesForTask(tasks.at(0)).value(0)->name(), "beta");
        QCOMPARE(store->filesForTask(tasks.at(1)).value(0)->name(), "gamma");
        // One object per row, whichever query reached it first.
        QCOMPARE(store->tasksWithString("gamma"), TaskList{tasks.at(1)});
        QCOMPARE(store->filesForTask(tasks.at(0)).value(0)->task(), tasks.at(0));
        QCOMPARE(store->filesForTask(tasks.at(0)), store->filesForTask(tasks.at(0)));
    }

    // Thumbnails are read on first use and forgotten again when many have been read; a
    // value set by a setter is never replaced by a later read, nor forgotten before it is
    // saved: one set before it was ever read, one after it was read (and queued for forgetting).
    void thumbnailsLoadLazilyAndSettersWin()
    {
        constexpr int count = 320;
        {
            auto store = m_history->open();
            for (int i = 0; i < count; ++i)
                store->creatTaskURL(QString::number(i), QString(), QString())
                    ->setThumbnail(QByteArray::number(i));
            QVERIFY(store->save());
        }
        auto store = m_history->open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(tasks.size(), count);
        const auto setUnread = tasks.first();
        setUnread->setThumbnail("set before any read");
        const auto changed = tasks.at(1);
        QCOMPARE(changed->thumbnail(), changed->url().toLatin1());
        changed->setThumbnail("set after a read");
        for (int round = 0; round < 2; ++round) {
            for (const auto &task : tasks.mid(2))
                QCOMPARE(task->thumbnail(), task->url().toLatin1());
        }
        QCOMPARE(setUnread->thumbnail(), QByteArray("set before any read"));
        QCOMPARE(changed->thumbnail(), QByteArray("set after a read"));
        QVERIFY(store->save());
        auto reopened = m_history->open();
        QCOMPARE(reopened->searchURL(setUnread->url()).value(0)->thumbnail(),
                 QByteArray("set before any read"));
        QCOMPARE(reopened->searchURL(changed->url()).value(0)->thumbnail(),
                 QByteArray("set after a read"));
    }

    // Removal takes the task's file records along; ids are never given twice.
    void removalTakesTheRecordsAndIdsAreNeverGivenTwice()
    {
        {
            auto store = m_history->open();
            addFile(*store, store->creatTaskURL("https://a.example/1", {}, {}), "kept");
            auto newest = store->creatTaskURL("https://a.example/2", {}, {});
            addFile(*store, newest, "one");
            addFile(*store, newest, "two");
            QVERIFY(store->save());
            QCOMPARE(newest->rowId(), 2);
            QVERIFY(store->removeItem(newest));
            QVERIFY(newest->isDeleted());
            QCOMPARE(count("XFile"), 1);
            auto next = store->creatTaskURL("https://a.example/3", {}, {});
            QVERIFY(store->save());
            QCOMPARE(next->rowId(), 3);
            QVERIFY(store->removeItem(next));
        }
        auto reopened = m_history->open();
        QCOMPARE(urlsOf(reopened->existHistorys()), {"https://a.example/1"});
        auto later = reopened->creatTaskURL("https://a.example/4", {}, {});
        const auto file = addFile(*reopened, later, "Other");
        QVERIFY(reopened->save());
        QCOMPARE(later->rowId(), 4);
        QCOMPARE(file->rowId(), 4);
    }

    // A note edited in one process must not undo another's completion of the same task.
    void saveWritesOnlyWhatChanged()
    {
        auto here = m_history->open();
        const auto task = here->creatTaskURL("https://shared", QString(), "old");
        task->setStatus(1);
        QVERIFY(here->save());
        {
            auto elsewhere = m_history->open();
            const auto same = elsewhere->searchURL("https://shared").value(0);
            same->setStatus(2);
            same->setFailed_reason("none");
            QVERIFY(elsewhere->save());
        }
        task->setNote("new");
        QVERIFY(here->save());
        here.reset();
        const auto reread = m_history->open()->searchURL("https://shared").value(0);
        QCOMPARE(reread->note(), "new");
        QCOMPARE(reread->currentStatus(), 2);
        QCOMPARE(reread->failed_reason(), "none");
    }

    // The stored URL, a URL asked for, and whether they are one video.
    void duplicateCheckComparesOnlySchemeAndHostIgnoringCase_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("same");
        QTest::newRow("itself") << "https://Example.com/Clip.mp4?v=AbC%20_x#t=1" << true;
        QTest::newRow("scheme and host case")
            << "HTTPS://EXAMPLE.COM/Clip.mp4?v=AbC%20_x#t=1" << true;
        QTest::newRow("path case") << "https://example.com/clip.mp4?v=AbC%20_x#t=1" << false;
        QTest::newRow("wildcard _") << "https://example.com/Clip.mp4?v=AbC%20xx#t=1" << false;
        QTest::newRow("shorter") << "https://example.com/Clip.mp4?v=AbC%20_x" << false;
        QTest::newRow("no URL") << QString() << false;
    }

    void duplicateCheckComparesOnlySchemeAndHostIgnoringCase()
    {
        QFETCH(QString, asked);
        QFETCH(bool, same);
        auto writer = m_history->open();
        const auto stored =
            writer->creatTaskURL("https://Example.com/Clip.mp4?v=AbC%20_x#t=1", {}, {});
        QVERIFY(writer->save());
        QCOMPARE(writer->existURL(asked), same);
        // Another process's store: the check made inside the saving transaction.
        const auto [task, created] = m_history->open()->creatTaskUnlessKnown(asked, {}, {});
        if (asked.isNull()) return;
        QCOMPARE(created, !same);
        if (same) QCOMPARE(task->rowId(), stored->rowId());
    }

    void refusesFilesItCannotOwn_data()
    {
        QTest::addColumn<QString>("setup");
        addRow("garbage bytes", QString());
        addRow("newer version",
               "CREATE TABLE XTask (id INTEGER PRIMARY KEY); PRAGMA user_version = 99;");
        addRow("negative version",
               "CREATE TABLE XTask (id INTEGER PRIMARY KEY); PRAGMA user_version = -1;");
        addRow("someone else's database", "CREATE TABLE notes (text TEXT);");
    }

    void refusesFilesItCannotOwn()
    {
        QFETCH(QString, setup);
        if (setup.isEmpty())
            QVERIFY(FileContents::write(m_history->path(),
                                        QByteArray(4096, '\x5a') + "not a database"));
        else
            runSql(setup);
        const QByteArray before = FileContents::read(m_history->path());
        LogCapture log;
        QVERIFY(!m_history->open()->isOpen());
        QVERIFY(log.contains("place store error."));
        QCOMPARE(FileContents::read(m_history->path()), before);
    }

    void upgradesAnOlderVersionInPlace()
    {
        runSql(QString::fromUtf8(versionOne));
        FuzzSeeds::recordFile(m_history->path(), "store_open");
        auto store = m_history->open();
        QVERIFY(store->isOpen());
        QCOMPARE(m_history->query("PRAGMA user_version").toInt(), 4);
        const auto tasks = store->existHistorys();
        QCOMPARE(tasks.size(), 2);
        QCOMPARE(tasks.at(0)->url(), "https://old/2");
        QCOMPARE(tasks.at(0)->currentStatus(), 0); // reset at opening, after the upgrade
        QCOMPARE(tasks.at(1)->localFile(), "/W/a.mp4\n/W/b.mp4");
        QCOMPARE(tasks.at(1)->thumbnail(), QByteArray::fromHex("FFD8FFD9"));
        QCOMPARE(store->tasksWithString("CAFE"), QList{tasks.at(0)});
        const auto files = store->filesForTask(tasks.at(0));
        QCOMPARE(files.size(), 2);
        QCOMPARE(files.at(0)->width(), std::optional<qint64>(640));
        QCOMPARE(files.at(1)->width(), std::nullopt);
    }

    // A save that fails rolls back and discards nothing: the next save writes it all once.
    void failedSaveKeepsTheChanges()
    {
        auto store = m_history->open();
        auto kept = store->creatTaskURL("kept", QString(), QString());
        QVERIFY(store->save());
        kept->setNote("changed");
        auto task = store->creatTaskURL("new", QString(), QString());
        runSql("CREATE TRIGGER refuse BEFORE INSERT ON XFile BEGIN "
               "SELECT RAISE(ABORT, 'disk says no'); END");
        {
            LogCapture log;
            // A record of a missing file saves at once (and fails here too).
            store->createFile(QUrl::fromLocalFile("/W/a.mp4"))->setTask(task);
            QVERIFY(!store->save());
            QVERIFY(log.containsPart("disk says no"));
        }
        QVERIFY(store->hasChanges());
        QCOMPARE(task->rowId(), 0);
        QCOMPARE(count("XTask"), 1);
        QVERIFY(m_history->query("SELECT note FROM XTask").isNull());

        runSql("DROP TRIGGER refuse");
        QVERIFY(store->save());
        QCOMPARE(count("XTask"), 2);
        QCOMPARE(count("XFile"), 1);
        QCOMPARE(m_history->query("SELECT note FROM XTask WHERE url = 'kept'"), "changed");
        QCOMPARE(store->filesForTask(task).size(), 1);
    }

    // A save from another thread is queued to the main thread. A download thread still holds
    // the task (and records its files) when the user removes it: nothing it does afterwards
    // may bring the task or its files back.
    void threadSavesAreQueuedAndNeverReviveARemovedTask()
    {
        auto store = m_history->open();
        auto task = store->creatTaskURL("removed", QString(), QString());
        bool answer = false;
        std::thread([&] { answer = store->save(); }).join();
        QVERIFY(answer);
        QCOMPARE(count("XTask"), 0);
        QTRY_COMPARE(count("XTask"), 1);
        QVERIFY(!store->hasChanges());
        store->createFile(QUrl::fromLocalFile("/W/before.mp4"))->setTask(task);
        QVERIFY(store->save());
        QVERIFY(store->removeItem(task));
        std::thread([&] {
            task->setStatus(2);
            task->setNote("late");
            store->createFile(QUrl::fromLocalFile("/W/after.mp4"))->setTask(task);
            task->save();
        }).join();
        QTRY_VERIFY(!store->hasChanges());
        QCOMPARE(task->status(), std::nullopt);
        QVERIFY(store->existHistorys().isEmpty());
        QCOMPARE(count("XTask"), 0);
        QCOMPARE(count("XFile"), 0);
    }

    // Download threads record files and progress while the main thread lists, searches and
    // saves; run under ThreadSanitizer too.
    void concurrentUse()
    {
        auto store = m_history->open();
        constexpr int threads = 4;
        constexpr int filesPerThread = 40;
        TaskList tasks;
        for (int i = 0; i < threads; ++i)
            tasks.append(store->creatTaskURL(QString("task-%1").arg(i), QString(), QString()));
        QVERIFY(store->save());

        std::atomic<int> running{threads};
        std::vector<std::thread> workers;
        for (const auto &task : tasks) {
            workers.emplace_back([&, task] {
                for (int n = 0; n < filesPerThread; ++n) {
                    task->setStatus(1);
                    auto file = store->createFile(
                        QUrl::fromLocalFile(QString("/W/%1-%2.mp4").arg(task->url()).arg(n)));
                    file->setName(QString("%1 file %2").arg(task->url()).arg(n));
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
            (void)store->tasksWithString("file 1");
            store->save();
            QCoreApplication::processEvents();
        }
        for (auto &worker : workers)
            worker.join();
        QVERIFY(store->save());
        store = m_history->open();
        for (const auto &task : store->existHistorys()) {
            QCOMPARE(task->currentStatus(), 2);
            QCOMPARE(store->filesForTask(task).size(), filesPerThread);
        }
        QCOMPARE(store->tasksWithString("file").size(), threads * filesPerThread);
    }

    // The cases with a second process come last: under ThreadSanitizer, a process that has
    // spawned a child may not start threads any more.

    // The pieces of what a download named and never finished go with the task, but not
    // those of a destination that another task also names, nor a neighbour's.
    void removalTakesThePartialPieces()
    {
        const auto path = [this](const char *name) { return m_history->folder() + '/' + name; };
        auto &store = XCoreDataManagement::shared();
        const auto task = store.creatTaskURL("https://partial", {}, {});
        const auto other = store.creatTaskURL("https://partial?again", {}, {});
        QVERIFY(store.save());
        for (const char *name : {"clip.mp4.part", "clip.mp4.part-Frag1", "clip.mp4.part-Frag2.part",
                                 "clip.mp4.ytdl", "clip [1].mp4.part", "done.mp4",
                                 "shared.mp4.part", "clip.mp4.partial notes", "other.mp4.part"})
            QVERIFY(FileContents::write(path(name), "piece"));
        for (const char *name : {"clip.mp4", "clip [1].mp4", "shared.mp4", "done.mp4"})
            task->destinationNamed(path(name));
        other->destinationNamed(path("shared.mp4"));
        // The end of a run forgets what has no piece left (done.mp4 is finished and recorded).
        task->saveLocalFiles({path("done.mp4")});
        QCOMPARE(task->partialFiles(),
                 (QStringList{path("clip.mp4"), path("clip [1].mp4"), path("shared.mp4")}));
        QVERIFY(!store.hasChanges());

        QVERIFY(store.removeItem(task));
        QCOMPARE(filesIn(m_history->folder()),
                 (QStringList{"clip.mp4.partial notes", "other.mp4.part", "shared.mp4.part"}));
        QVERIFY(store.removeItem(other));
        QCOMPARE(filesIn(m_history->folder()),
                 (QStringList{"clip.mp4.partial notes", "other.mp4.part"}));
    }

    // Status 1 means "interrupted" only when no live process still runs that download.
    void resetAtOpeningSparesClaimedTasks()
    {
        {
            auto store = m_history->open();
            const std::pair<const char *, int> tasks[] = {
                {"running-here", 1}, {"running-elsewhere", 1}, {"failed", 3}, {"done", 2}};
            for (const auto &[url, status] : tasks)
                store->creatTaskURL(url, QString(), QString())->setStatus(status);
            QVERIFY(store->save());
        }
        const auto child = startChild({"claim", m_history->path(), "running-elsewhere"});
        QVERIFY(child->waitForReadyRead(10000));
        QCOMPARE(child->readAll().trimmed(), QByteArray("claimed"));

        auto store = m_history->open();
        const auto statusOf = [&store](const char *url) {
            return store->searchURL(url).value(0)->currentStatus();
        };
        QCOMPARE(statusOf("running-here"), 0);
        QCOMPARE(statusOf("running-elsewhere"), 1);
        QCOMPARE(statusOf("failed"), 3);
        QCOMPARE(statusOf("done"), 2);
        const auto elsewhere = store->searchURL("running-elsewhere").value(0);
        QVERIFY(store->isClaimed(*elsewhere));
        QCOMPARE(store->claimTask(*elsewhere), nullptr);

        child->kill();
        QVERIFY(child->waitForFinished(10000));
        QVERIFY(!store->isClaimed(*elsewhere));
        {
            const auto claim = store->claimTask(*elsewhere);
            QVERIFY(claim);
            QVERIFY(store->isClaimed(*elsewhere));
            QCOMPARE(store->claimTask(*elsewhere), nullptr);
        }
        QVERIFY(!store->isClaimed(*elsewhere));
        store.reset();
        QCOMPARE(m_history->open()->searchURL("running-elsewhere").value(0)->currentStatus(), 0);
    }

    void queuedSaveIsNotLostAtExit()
    {
        QProcess child;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", m_history->folder());
        child.setProcessEnvironment(environment);
        child.start(STORE_CHILD, {"queue-and-exit", "https://at-exit"});
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::NormalExit);
        QCOMPARE(child.exitCode(), 0);
        QVERIFY(m_history->open()->existURL("https://at-exit"));
    }

    // A process killed at any moment while it saves leaves a sound database holding every
    // save it completed.
    void killedWhileSavingLosesNothingCommitted_data()
    {
        QTest::addColumn<int>("round");
        for (int round = 1; round <= 5; ++round)
            QTest::addRow("round %d", round) << round;
    }

    void killedWhileSavingLosesNothingCommitted()
    {
        m_history->open();
        const auto child = startChild({"save-loop", m_history->path()});
        // Killed after its first save, at a random moment of the saves that follow: how long a
        // process takes to start is no part of the test (slow under sanitizers).
        QVERIFY(child->waitForReadyRead(10000));
        QTest::qWait(QRandomGenerator::global()->bounded(300));
        ::kill(pid_t(child->processId()), SIGKILL);
        QVERIFY(child->waitForFinished(5000));
        QCOMPARE(child->exitStatus(), QProcess::CrashExit);
        int completed = 0;
        for (const QByteArray &line : child->readAllStandardOutput().split('\n')) {
            if (line.startsWith("saved ")) completed = line.mid(6).toInt();
        }
        QVERIFY2(completed > 0, "the child completed no save before it was killed");

        auto store = m_history->open();
        QVERIFY(store->isOpen());
        QCOMPARE(m_history->query("PRAGMA integrity_check"), "ok");
        const QStringList urls = urlsOf(store->existHistorys());
        for (int i = 1; i <= completed; ++i)
            QVERIFY2(urls.contains(QString("loop-%1").arg(i)), qPrintable(QString::number(i)));
    }

    // Processes released together on one URL: the check and the insert are one step. In the
    // second row another writer creates the task while they have already looked and found
    // nothing, and commits only once they wait to write.
    void oneTaskPerURLAcrossProcesses_data()
    {
        QTest::addColumn<bool>("writerAhead");
        QTest::newRow("racing each other") << false;
        QTest::newRow("a writer ahead of them") << true;
    }

    void oneTaskPerURLAcrossProcesses()
    {
        QFETCH(bool, writerAhead);
        m_history->open(); // the file exists before the children race to open it
        const QString url = "https://v.example/a";
        constexpr int children = 6;
        std::vector<std::unique_ptr<QProcess>> racers;
        for (int i = 0; i < children; ++i)
            racers.push_back(startChild({"create-unique", m_history->path(), url}));
        for (const auto &racer : racers) {
            QVERIFY(racer->waitForReadyRead(20000));
            QCOMPARE(racer->readLine().trimmed(), QByteArray("ready"));
        }
        SqliteDatabase writer;
        QVERIFY(writer.open(m_history->path(), false));
        if (writerAhead)
            QVERIFY(writer.exec(
                QString("BEGIN IMMEDIATE; INSERT INTO XTask (id, url) VALUES (100, '%1')")
                    .arg(url)));
        for (const auto &racer : racers)
            racer->write("go\n");
        for (const auto &racer : racers)
            QVERIFY(racer->waitForBytesWritten(5000));
        if (writerAhead) {
            QThread::msleep(700);
            QVERIFY(writer.exec("COMMIT"));
        }
        QStringList answers;
        for (const auto &racer : racers) {
            QVERIFY(racer->waitForFinished(20000));
            QCOMPARE(racer->exitCode(), 0);
            answers << QString::fromUtf8(racer->readAll().trimmed());
        }
        const QStringList created = answers.filter("created ");
        QCOMPARE(created.size(), writerAhead ? 0 : 1);
        const QString id = writerAhead ? "100" : created.first().section(' ', 1);
        QCOMPARE(answers.count("known " + id), children - created.size());
        QCOMPARE(count("XTask"), 1);
    }

    // A history that cannot be written: refused for writing with the reason, read when
    // asked read-only, and left with nothing beside it, so that it opens again once writable.
    void readOnlyHistoryIsReadAndLeftAsItWas()
    {
        {
            auto store = m_history->open();
            store->creatTaskURL("https://kept", QString(), QString());
            QVERIFY(store->save());
        }
        const QString path = m_history->path();
        const QString folder = QFileInfo(path).path();
        QCOMPARE(filesIn(folder), QStringList{"XTaskModel.sqlite"});
        // An immutable file, which even root may not write.
        if (access(QFile::encodeName(path).constData(), W_OK) != 0 ||
            QProcess::execute("chattr", {"+i", path}) != 0)
            QSKIP("cannot make a file this user may not write");
        auto restore = qScopeGuard([&] { QProcess::execute("chattr", {"-i", path}); });
        const QByteArray before = FileContents::read(path);
        {
            XCoreDataManagement store(path);
            QVERIFY(!store.open());
            QCOMPARE(store.openError(), "the file may not be written");
            QCOMPARE(filesIn(folder), QStringList{"XTaskModel.sqlite"});
            QVERIFY(store.openReadOnly());
            QVERIFY(store.isReadOnly());
            QCOMPARE(store.existHistorys().value(0)->url(), "https://kept");
            QCOMPARE(store.creatTaskURL("https://new", {}, {}), nullptr);
            QCOMPARE(store.claimTask(*store.existHistorys().value(0)), nullptr);
        }
        QCOMPARE(filesIn(folder), QStringList{"XTaskModel.sqlite"});
        QCOMPARE(FileContents::read(path), before);
        restore.dismiss();
        QCOMPARE(QProcess::execute("chattr", {"-i", path}), 0);
        auto store = m_history->open();
        QVERIFY(store->isOpen() && !store->isReadOnly());
        QCOMPARE(store->existHistorys().size(), 1);
    }
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
