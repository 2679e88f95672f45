// What keeps one history sound when several processes share it and things go wrong: one task
// per video however many processes ask at once, saves that touch only what they changed,
// removal that leaves no download pieces, and a history that may not be written.
#include "TemporaryStore.h"

#include "store/SqliteDatabase.h"
#include "support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace
{

void touch(const QString &path)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write("piece"), 5);
}

QStringList filesIn(const QString &folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// An immutable file, which even root may not write; false when this system cannot make one.
bool makeImmutable(const QString &path)
{
    return access(QFile::encodeName(path).constData(), W_OK) == 0 &&
           QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path}) == 0;
}

} // namespace

class TestStoreIntegrity : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    // Processes released together on one URL: the check and the insert are one step. In the
    // second round another writer creates the task while they have already looked and found
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
        TemporaryStore temporary;
        temporary.open(); // the file exists before the children race to open it
        const QString url = QStringLiteral("https://v.example/a");
        constexpr int children = 6;
        std::vector<std::unique_ptr<QProcess>> racers;
        for (int i = 0; i < children; ++i) {
            racers.push_back(std::make_unique<QProcess>());
            racers.back()->start(QStringLiteral(STORE_CHILD),
                                 {QStringLiteral("create-unique"), temporary.path(), url});
        }
        for (const auto &racer : racers) {
            QVERIFY(racer->waitForReadyRead(20000));
            QCOMPARE(racer->readLine().trimmed(), QByteArray("ready"));
        }
        SqliteDatabase writer;
        QVERIFY(writer.open(temporary.path(), false));
        if (writerAhead)
            QVERIFY(writer.exec(QStringLiteral("BEGIN IMMEDIATE; INSERT INTO XTask (id, url) "
                                               "VALUES (100, '%1')")
                                    .arg(url)));
        for (const auto &racer : racers)
            racer->write("go\n");
        for (const auto &racer : racers)
            QVERIFY(racer->waitForBytesWritten(5000));
        if (writerAhead) {
            QThread::msleep(700);
            QVERIFY(writer.exec(QStringLiteral("COMMIT")));
        }
        QStringList answers;
        for (const auto &racer : racers) {
            QVERIFY(racer->waitForFinished(20000));
            QCOMPARE(racer->exitCode(), 0);
            answers << QString::fromUtf8(racer->readAll().trimmed());
        }
        const QStringList created = answers.filter(QStringLiteral("created "));
        QCOMPARE(created.size(), writerAhead ? 0 : 1);
        const QString id =
            writerAhead ? QStringLiteral("100") : created.first().section(QLatin1Char(' '), 1);
        QCOMPARE(answers.count(QStringLiteral("known ") + id), children - created.size());
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XTask")).toInt(), 1);
    }

    // The stored URL, a URL asked for, and whether they are one video.
    void duplicateCheckComparesOnlySchemeAndHostIgnoringCase_data()
    {
        QTest::addColumn<QString>("asked");
        QTest::addColumn<bool>("same");
        QTest::newRow("itself") << "https://Example.com/Clip.mp4?v=AbC%20_x#t=1" << true;
        QTest::newRow("host case") << "https://EXAMPLE.COM/Clip.mp4?v=AbC%20_x#t=1" << true;
        QTest::newRow("scheme case") << "HTTPS://example.com/Clip.mp4?v=AbC%20_x#t=1" << true;
        QTest::newRow("path case") << "https://example.com/clip.mp4?v=AbC%20_x#t=1" << false;
        QTest::newRow("query case") << "https://example.com/Clip.mp4?v=abc%20_x#t=1" << false;
        QTest::newRow("fragment case") << "https://example.com/Clip.mp4?v=AbC%20_x#T=1" << false;
        QTest::newRow("accent") << "https://example.com/Clíp.mp4?v=AbC%20_x#t=1" << false;
        QTest::newRow("wildcard _") << "https://example.com/Clip.mp4?v=AbC%20xx#t=1" << false;
        QTest::newRow("wildcard %") << "https://example.com/Clip.mp4?v=AbC%2_x#t=1" << false;
        QTest::newRow("shorter") << "https://example.com/Clip.mp4?v=AbC%20_x" << false;
        QTest::newRow("no URL") << QString() << false;
    }

    void duplicateCheckComparesOnlySchemeAndHostIgnoringCase()
    {
        QFETCH(QString, asked);
        QFETCH(bool, same);
        TemporaryStore temporary;
        auto writer = temporary.open();
        const auto stored = writer->creatTaskURL(
            QStringLiteral("https://Example.com/Clip.mp4?v=AbC%20_x#t=1"), QString(), QString());
        QVERIFY(writer->save());
        QCOMPARE(writer->existURL(asked), same);
        // Another process's store: the check made inside the saving transaction.
        auto other = temporary.open();
        const auto [task, created] = other->creatTaskUnlessKnown(asked, QString(), QString());
        if (asked.isNull()) return;
        QCOMPARE(created, !same);
        if (same) QCOMPARE(task->rowId(), stored->rowId());
    }

    // A note edited in one process must not undo another's completion of the same task.
    void saveWritesOnlyWhatChanged()
    {
        TemporaryStore temporary;
        auto here = temporary.open();
        const auto task =
            here->creatTaskURL(QStringLiteral("https://shared"), QString(), QStringLiteral("old"));
        task->setStatus(1);
        QVERIFY(here->save());
        {
            auto elsewhere = temporary.open();
            const auto same = elsewhere->searchURL(QStringLiteral("https://shared")).value(0);
            same->setStatus(2);
            same->setFailed_reason(QStringLiteral("none"));
            QVERIFY(elsewhere->save());
        }
        task->setNote(QStringLiteral("new"));
        QVERIFY(here->save());
        here.reset();
        const auto reread = temporary.open()->searchURL(QStringLiteral("https://shared")).value(0);
        QCOMPARE(reread->note(), QStringLiteral("new"));
        QCOMPARE(reread->currentStatus(), 2);
        QCOMPARE(reread->failed_reason(), QStringLiteral("none"));
    }

    // The pieces of what a download named and never finished go with the task, but not
    // those of a destination that another task also names, nor a neighbour's.
    void removalTakesThePartialPieces()
    {
        QTemporaryDir media;
        const auto path = [&media](const char *name) { return media.filePath(name); };
        auto &store = XCoreDataManagement::shared();
        const auto task = store.creatTaskURL(QStringLiteral("https://partial"), {}, {});
        const auto other = store.creatTaskURL(QStringLiteral("https://partial?again"), {}, {});
        QVERIFY(store.save());
        for (const char *name : {"clip.mp4.part", "clip.mp4.part-Frag1", "clip.mp4.part-Frag2.part",
                                 "clip.mp4.ytdl", "clip [1].mp4.part", "done.mp4",
                                 "shared.mp4.part", "clip.mp4.partial notes", "other.mp4.part"})
            touch(path(name));
        task->destinationNamed(path("clip.mp4"));
        task->destinationNamed(path("clip [1].mp4"));
        task->destinationNamed(path("shared.mp4"));
        task->destinationNamed(path("done.mp4"));
        other->destinationNamed(path("shared.mp4"));
        // The end of a run forgets what has no piece left (done.mp4 is finished and recorded).
        task->saveLocalFiles({path("done.mp4")});
        QCOMPARE(task->partialFiles(),
                 (QStringList{path("clip.mp4"), path("clip [1].mp4"), path("shared.mp4")}));
        QVERIFY(!store.hasChanges());

        QVERIFY(store.removeItem(task));
        QCOMPARE(filesIn(media.path()),
                 (QStringList{"clip.mp4.partial notes", "other.mp4.part", "shared.mp4.part"}));
        QVERIFY(store.removeItem(other));
        QCOMPARE(filesIn(media.path()), (QStringList{"clip.mp4.partial notes", "other.mp4.part"}));
    }

    // A history that cannot be written: refused for writing with the reason, read when
    // asked read-only, and left with nothing beside it, so that it opens again once writable.
    void readOnlyHistoryIsReadAndLeftAsItWas()
    {
        TemporaryStore temporary;
        {
            auto store = temporary.open();
            store->creatTaskURL(QStringLiteral("https://kept"), QString(), QString());
            QVERIFY(store->save());
        }
        const QString folder = QFileInfo(temporary.path()).path();
        const QStringList alone = filesIn(folder);
        QCOMPARE(alone, QStringList{"XTaskModel.sqlite"});
        const bool immutable = makeImmutable(temporary.path());
        const auto restore = qScopeGuard([&] {
            if (immutable)
                QProcess::execute(QStringLiteral("chattr"),
                                  {QStringLiteral("-i"), temporary.path()});
        });
        if (!immutable) QSKIP("cannot make a file this user may not write");
        QFile file(temporary.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        {
            XCoreDataManagement store(temporary.path());
            QVERIFY(!store.open());
            QCOMPARE(store.openError(), QStringLiteral("the file may not be written"));
            QCOMPARE(filesIn(folder), alone);
            QVERIFY(store.openReadOnly());
            QVERIFY(store.isReadOnly());
            QCOMPARE(store.existHistorys().value(0)->url(), QStringLiteral("https://kept"));
            QCOMPARE(store.creatTaskURL(QStringLiteral("https://new"), {}, {}), nullptr);
            QCOMPARE(store.claimTask(*store.existHistorys().value(0)), nullptr);
        }
        QCOMPARE(filesIn(folder), alone);
        QVERIFY(file.seek(0));
        QCOMPARE(file.readAll(), before);
        QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), temporary.path()});
        auto store = temporary.open();
        QVERIFY(store->isOpen() && !store->isReadOnly());
        QCOMPARE(store->existHistorys().size(), 1);
    }

    void homeFromThePasswordDatabaseWithoutHOME()
    {
        const QByteArray home = qgetenv("HOME");
        const auto restore = qScopeGuard([&] { qputenv("HOME", home); });
        qunsetenv("HOME");
        const passwd *entry = getpwuid(getuid());
        QVERIFY(entry && entry->pw_dir && *entry->pw_dir);
        QCOMPARE(XCoreDataManagement::defaultStorePath(),
                 QFile::decodeName(entry->pw_dir) + QStringLiteral("/Documents/XTaskModel.sqlite"));
    }
};

QTEST_GUILESS_MAIN(TestStoreIntegrity)
#include "tst_store_integrity.moc"
