#include "TemporaryStore.h"

#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "support/FuzzSeeds.h"
#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>

namespace
{

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A database of its own making, outside the store.
void makeDatabase(const QString &path, const QString &sql)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    SqliteDatabase database;
    QVERIFY(database.open(path, true));
    QVERIFY2(database.exec(sql), qPrintable(database.errorMessage()));
}

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

class TestStoreOpening : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    // A store that cannot open answers with nothing and creates nothing, and the next
    // shared() tries again. Also the first start: no Documents folder, no file.
    void sharedStoreFailsSafelyThenRetries()
    {
        const QString documents = QDir::homePath() + QStringLiteral("/Documents");
        writeFile(documents, "a file where the Documents folder should be");
        {
            LogCapture log;
            XCoreDataManagement &store = XCoreDataManagement::shared();
            QVERIFY(!store.isOpen());
            QVERIFY(log.contains(QStringLiteral("place store error.")));
            QVERIFY(store.existHistorys().isEmpty());
            QVERIFY(store.tasksWithString(QStringLiteral("a")).isEmpty());
            QVERIFY(!store.existURL(QStringLiteral("https://a")));
            QCOMPARE(store.creatTaskURL(QStringLiteral("https://a"), QString(), QString()),
                     nullptr);
            QCOMPARE(store.createFile(QUrl::fromLocalFile(QStringLiteral("/W/a.mp4"))), nullptr);
            QVERIFY(!store.save());
        }
        QVERIFY(QFile::remove(documents));
        XCoreDataManagement &store = XCoreDataManagement::shared();
        QVERIFY(store.isOpen());
        QCOMPARE(&store, &XCoreDataManagement::shared());
        QCOMPARE(store.storePath(), documents + QStringLiteral("/XTaskModel.sqlite"));
        QVERIFY(QFileInfo::exists(store.storePath()));
        QVERIFY(store.existHistorys().isEmpty());
    }

    void refusesFilesItCannotOwn_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::newRow("garbage bytes") << QString();
        QTest::newRow("newer version") << QStringLiteral(
            "CREATE TABLE XTask (id INTEGER PRIMARY KEY); PRAGMA user_version = 99;");
        QTest::newRow("negative version") << QStringLiteral(
            "CREATE TABLE XTask (id INTEGER PRIMARY KEY); PRAGMA user_version = -1;");
        QTest::newRow("someone else's database")
            << QStringLiteral("CREATE TABLE notes (text TEXT);");
    }

    void refusesFilesItCannotOwn()
    {
        QFETCH(QString, setup);
        TemporaryStore temporary;
        if (setup.isEmpty())
            writeFile(temporary.path(), QByteArray(4096, '\x5a') + "not a database");
        else
            makeDatabase(temporary.path(), setup);
        const QByteArray before = readFile(temporary.path());
        LogCapture log;
        QVERIFY(!temporary.open()->isOpen());
        QVERIFY(log.contains(QStringLiteral("place store error.")));
        QCOMPARE(readFile(temporary.path()), before);
    }

    void upgradesAnOlderVersionInPlace()
    {
        TemporaryStore temporary;
        makeDatabase(temporary.path(), QString::fromUtf8(versionOne));
        FuzzSeeds::recordFile(temporary.path(), QStringLiteral("store_open"));
        auto store = temporary.open();
        QVERIFY(store->isOpen());
        QCOMPARE(temporary.query(QStringLiteral("PRAGMA user_version")).toInt(), 4);
        const auto tasks = store->existHistorys();
        QCOMPARE(tasks.size(), 2);
        QCOMPARE(tasks.at(0)->url(), QStringLiteral("https://old/2"));
        QCOMPARE(tasks.at(0)->currentStatus(), 0); // reset at opening, after the upgrade
        QCOMPARE(tasks.at(1)->localFile(), QStringLiteral("/W/a.mp4\n/W/b.mp4"));
        QCOMPARE(tasks.at(1)->thumbnail(), QByteArray::fromHex("FFD8FFD9"));
        QCOMPARE(store->tasksWithString(QStringLiteral("CAFE")), QList{tasks.at(0)});
        const auto files = store->filesForTask(tasks.at(0));
        QCOMPARE(files.size(), 2);
        QCOMPARE(files.at(0)->width(), std::optional<qint64>(640));
        QCOMPARE(files.at(1)->width(), std::nullopt);
    }

    // Status 1 means "interrupted" only when no live process still runs that download.
    void resetAtOpeningSparesClaimedTasks()
    {
        TemporaryStore temporary;
        {
            auto store = temporary.open();
            const std::pair<const char *, int> tasks[] = {
                {"running-here", 1}, {"running-elsewhere", 1}, {"failed", 3}, {"done", 2}};
            for (const auto &[url, status] : tasks)
                store->creatTaskURL(QString::fromLatin1(url), QString(), QString())
                    ->setStatus(status);
            QVERIFY(store->save());
        }
        QProcess child;
        child.start(QStringLiteral(STORE_CHILD), {QStringLiteral("claim"), temporary.path(),
                                                  QStringLiteral("running-elsewhere")});
        QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readAll().trimmed(), QByteArray("claimed"));

        auto store = temporary.open();
        auto statusOf = [&store](const char *url) {
            return store->searchURL(QString::fromLatin1(url)).value(0)->currentStatus();
        };
        QCOMPARE(statusOf("running-here"), 0);
        QCOMPARE(statusOf("running-elsewhere"), 1);
        QCOMPARE(statusOf("failed"), 3);
        QCOMPARE(statusOf("done"), 2);
        const auto elsewhere = store->searchURL(QStringLiteral("running-elsewhere")).value(0);
        QVERIFY(store->isClaimed(*elsewhere));
        QCOMPARE(store->claimTask(*elsewhere), nullptr);

        child.kill();
        QVERIFY(child.waitForFinished(10000));
        QVERIFY(!store->isClaimed(*elsewhere));
        {
            const auto claim = store->claimTask(*elsewhere);
            QVERIFY(claim);
            QVERIFY(store->isClaimed(*elsewhere));
            QCOMPARE(store->claimTask(*elsewhere), nullptr);
        }
        QVERIFY(!store->isClaimed(*elsewhere));
        store.reset();
        QCOMPARE(temporary.open()
                     ->searchURL(QStringLiteral("running-elsewhere"))
                     .value(0)
                     ->currentStatus(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestStoreOpening)
#include "tst_store_opening.moc"
