#include "TemporaryStore.h"

#include "support/LogCapture.h"
#include "support/TestEnvironment.h"

#include <QTest>

#include <cmath>
#include <limits>

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
    auto file = store.createFile(
        QUrl::fromLocalFile(QStringLiteral("/W/") + name + QStringLiteral(".mp4")));
    file->setName(name);
    file->setTask(task);
    return file;
}

} // namespace

class TestStoreRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestEnvironment::isolateHome(); }

    void everyAttributeSurvivesReopen()
    {
        TemporaryStore temporary;
        const QDateTime completed = QDateTime::fromMSecsSinceEpoch(1700000000123);
        {
            auto store = temporary.open();
            auto task = store->creatTaskURL(QStringLiteral("https://a.example/v"),
                                            QStringLiteral("Firefox"), QStringLiteral("note"));
            task->setCompletedDate(completed);
            task->setSource_description(QStringLiteral("page text"));
            task->setLocalFile(QStringLiteral("/W/one.mp4\n/W/two.mp4"));
            task->setThumbnail(QByteArray("\xff\xd8 jpeg \0 bytes", 16));
            task->setStatus(3);
            task->setTryBestVideo(true);
            task->setMustMP4Format(false);
            task->setFailed_reason(QStringLiteral("ERROR: gone"));
            task->setVideoWidth(1920);
            task->setVideoHeight(1080);
            task->setVideoEncodeName(QStringLiteral("h264"));
            task->setDuration(12.5f);
            auto file = addFile(*store, task, QStringLiteral("Clip"));
            file->setUrl(QStringLiteral("reserved"));
            file->setSource_description(QStringLiteral("file text"));
            file->setThumbnail(QByteArray("thumb"));
            file->setVideoEncodeName(QStringLiteral("vp9"));
            file->setWidth(640);
            file->setHeight(360);
            file->setDuration(3.25f);
            QVERIFY(store->save());
        }
        auto store = temporary.open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(tasks.size(), 1);
        const auto task = tasks.first();
        QVERIFY(task->createDate().isValid());
        QCOMPARE(task->completedDate(), completed);
        QCOMPARE(task->url(), QStringLiteral("https://a.example/v"));
        QCOMPARE(task->browers(), QStringLiteral("Firefox"));
        QCOMPARE(task->note(), QStringLiteral("note"));
        QCOMPARE(task->source_description(), QStringLiteral("page text"));
        QCOMPARE(task->localFile().split(QLatin1Char('\n')),
                 QStringList({QStringLiteral("/W/one.mp4"), QStringLiteral("/W/two.mp4")}));
        QCOMPARE(task->thumbnail(), QByteArray("\xff\xd8 jpeg \0 bytes", 16));
        QCOMPARE(task->currentStatus(), 3);
        QCOMPARE(task->tryBestVideo(), std::optional(true));
        QCOMPARE(task->mustMP4Format(), std::optional(false));
        QCOMPARE(task->failed_reason(), QStringLiteral("ERROR: gone"));
        QCOMPARE(task->videoWidth(), std::optional<qint64>(1920));
        QCOMPARE(task->videoHeight(), std::optional<qint64>(1080));
        QCOMPARE(task->videoEncodeName(), QStringLiteral("h264"));
        QCOMPARE(task->duration(), std::optional(12.5f));
        const auto files = store->filesForTask(task);
        QCOMPARE(files.size(), 1);
        const auto file = files.first();
        QCOMPARE(file->task(), task);
        QCOMPARE(file->url(), QStringLiteral("reserved"));
        QCOMPARE(file->localFile(), QStringLiteral("/W/Clip.mp4"));
        QCOMPARE(file->name(), QStringLiteral("Clip"));
        QCOMPARE(file->source_description(), QStringLiteral("file text"));
        QCOMPARE(file->thumbnail(), QByteArray("thumb"));
        QCOMPARE(file->videoEncodeName(), QStringLiteral("vp9"));
        QCOMPARE(file->width(), std::optional<qint64>(640));
        QCOMPARE(file->height(), std::optional<qint64>(360));
        QCOMPARE(file->duration(), std::optional(3.25f));
    }

    // Absent, 0 and empty are three different things, before and after a save, and an
    // attribute cleared on a saved record is absent again after reopening.
    void absentStaysDistinctFromZeroAndEmpty()
    {
        TemporaryStore temporary;
        {
            auto store = temporary.open();
            auto bare = store->creatTaskURL(QStringLiteral("https://bare"), QStringLiteral("None"),
                                            QString());
            bare->setDuration(std::numeric_limits<float>::quiet_NaN());
            auto zeroes =
                store->creatTaskURL(QStringLiteral("https://zero"), QString(), QStringLiteral(""));
            zeroes->setStatus(0);
            zeroes->setTryBestVideo(false);
            zeroes->setThumbnail(QByteArray(""));
            zeroes->setSource_description(QStringLiteral(""));
            zeroes->setDuration(0.0f);
            auto cleared =
                store->creatTaskURL(QStringLiteral("https://cleared"), QString(), QString());
            cleared->setStatus(2);
            cleared->setThumbnail("image");
            QVERIFY(store->save());
            cleared->setStatus(std::nullopt);
            cleared->setThumbnail(QByteArray());
            QVERIFY(store->save());
        }
        auto store = temporary.open();
        QCOMPARE(store->existHistorys().size(), 3);
        const auto bare = store->searchURL(QStringLiteral("https://bare")).value(0);
        QVERIFY(bare);
        QVERIFY(!bare->browers().isNull() && bare->browers().isEmpty());
        QVERIFY(bare->note().isNull());
        QCOMPARE(bare->status(), std::nullopt);
        QCOMPARE(bare->currentStatus(), 0);
        QCOMPARE(bare->tryBestVideo(), std::nullopt);
        QCOMPARE(bare->duration(), std::nullopt);
        QVERIFY(bare->thumbnail().isNull());
        QVERIFY(bare->source_description().isNull());

        const auto zeroes = store->searchURL(QStringLiteral("https://zero")).value(0);
        QVERIFY(zeroes);
        QVERIFY(zeroes->browers().isNull());
        QVERIFY(!zeroes->note().isNull() && zeroes->note().isEmpty());
        QCOMPARE(zeroes->status(), std::optional<qint64>(0));
        QCOMPARE(zeroes->tryBestVideo(), std::optional(false));
        QCOMPARE(zeroes->duration(), std::optional(0.0f));
        QVERIFY(!zeroes->thumbnail().isNull() && zeroes->thumbnail().isEmpty());
        QVERIFY(!zeroes->source_description().isNull());

        const auto cleared = store->searchURL(QStringLiteral("https://cleared")).value(0);
        QVERIFY(cleared);
        QCOMPARE(cleared->status(), std::nullopt);
        QVERIFY(cleared->thumbnail().isNull());
    }

    void newestFirstAlsoWithinOneSecond()
    {
        TemporaryStore temporary;
        const QDateTime sameMoment = QDateTime::fromSecsSinceEpoch(1700000000);
        QStringList expected;
        {
            auto store = temporary.open();
            store->creatTaskURL(QStringLiteral("older"), QString(), QString())
                ->setCreateDate(sameMoment.addSecs(-60));
            for (const char *url : {"first", "second", "third"})
                store->creatTaskURL(QString::fromLatin1(url), QString(), QString())
                    ->setCreateDate(sameMoment);
            store->creatTaskURL(QStringLiteral("newer"), QString(), QString())
                ->setCreateDate(sameMoment.addSecs(60));
            expected = {QStringLiteral("newer"), QStringLiteral("third"), QStringLiteral("second"),
                        QStringLiteral("first"), QStringLiteral("older")};
            QCOMPARE(urlsOf(store->existHistorys()), expected);
            QVERIFY(store->save());
            store->creatTaskURL(QStringLiteral("fourth"), QString(), QString())
                ->setCreateDate(sameMoment);
            expected.insert(1, QStringLiteral("fourth"));
            QCOMPARE(urlsOf(store->existHistorys()), expected);
            QVERIFY(store->save());
        }
        QCOMPARE(urlsOf(temporary.open()->existHistorys()), expected);
    }

    // The same search answers alike for unsaved records (matched in memory) and for saved
    // ones (matched by the database), so each case runs before and after reopening.
    void fileNameSearchFoldsCaseAndAccents()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        auto composed = store->creatTaskURL(QStringLiteral("composed"), QString(), QString());
        addFile(*store, composed, QStringLiteral("Caf\u00e9 au lait"));
        auto upper = store->creatTaskURL(QStringLiteral("upper"), QString(), QString());
        addFile(*store, upper, QStringLiteral("CAF\u00c9 NOIR"));
        auto decomposed = store->creatTaskURL(QStringLiteral("decomposed"), QString(), QString());
        addFile(*store, decomposed, QStringLiteral("cafe\u0301"));
        auto plain = store->creatTaskURL(QStringLiteral("plain"), QString(), QString());
        addFile(*store, plain, QStringLiteral("Cafe"));
        auto twice = store->creatTaskURL(QStringLiteral("twice"), QString(), QString());
        addFile(*store, twice, QStringLiteral("a_b part 1"));
        addFile(*store, twice, QStringLiteral("a_b part 2"));
        auto literal = store->creatTaskURL(QStringLiteral("literal"), QString(), QString());
        addFile(*store, literal, QStringLiteral("axb 100%"));
        auto orphan = store->createFile(QUrl::fromLocalFile(QStringLiteral("/W/orphan cafe.mp4")));
        orphan->setName(QStringLiteral("orphan cafe"));

        for (int pass = 0; pass < 2; ++pass) {
            LogCapture log;
            const QStringList allCafes = {QStringLiteral("composed"), QStringLiteral("upper"),
                                          QStringLiteral("decomposed"), QStringLiteral("plain")};
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("cafe"))), allCafes);
            QVERIFY(log.contains(QStringLiteral("/W/orphan cafe.mp4 NOT task.")));
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("CAF\u00c9"))), allCafes);
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("cafe\u0301 N"))),
                     {QStringLiteral("upper")});
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("\u00e9 AU"))),
                     {QStringLiteral("composed")});
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("a_b"))),
                     QStringList({QStringLiteral("twice"), QStringLiteral("twice")}));
            QCOMPARE(urlsOf(store->tasksWithString(QStringLiteral("%"))),
                     {QStringLiteral("literal")});
            QVERIFY(store->tasksWithString(QStringLiteral("a%b")).isEmpty());
            QVERIFY(store->tasksWithString(QStringLiteral("\u0301")).isEmpty());
            QVERIFY(store->tasksWithString(QString()).isEmpty());
            if (pass == 0) {
                QVERIFY(store->save());
                store = temporary.open();
            }
        }
    }

    void queriesSeePendingChanges()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        auto kept = store->creatTaskURL(QStringLiteral("kept"), QString(), QString());
        auto file = addFile(*store, kept, QStringLiteral("alpha"));
        auto removed = store->creatTaskURL(QStringLiteral("removed"), QString(), QString());
        QVERIFY(store->save());

        file->setName(QStringLiteral("beta"));
        QVERIFY(store->tasksWithString(QStringLiteral("alpha")).isEmpty());
        QCOMPARE(store->tasksWithString(QStringLiteral("beta")), TaskList{kept});

        auto added = store->creatTaskURL(QStringLiteral("added"), QString(), QString());
        auto addedFile = addFile(*store, kept, QStringLiteral("gamma"));
        QCOMPARE(store->filesForTask(kept), (QList<std::shared_ptr<XFile>>{file, addedFile}));
        file->setTask(added);
        QCOMPARE(store->filesForTask(kept), QList<std::shared_ptr<XFile>>{addedFile});
        QCOMPARE(store->filesForTask(added), QList<std::shared_ptr<XFile>>{file});

        QVERIFY(store->removeItem(removed));
        QVERIFY(!urlsOf(store->existHistorys()).contains(QStringLiteral("removed")));
        QVERIFY(store->save());
        store = temporary.open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(urlsOf(tasks), QStringList({QStringLiteral("added"), QStringLiteral("kept")}));
        QCOMPARE(store->filesForTask(tasks.at(0)).value(0)->name(), QStringLiteral("beta"));
        QCOMPARE(store->filesForTask(tasks.at(1)).value(0)->name(), QStringLiteral("gamma"));
        // One object per row, whichever query reached it first.
        QCOMPARE(store->tasksWithString(QStringLiteral("gamma")), TaskList{tasks.at(1)});
        QCOMPARE(store->filesForTask(tasks.at(0)).value(0)->task(), tasks.at(0));
        QCOMPARE(store->filesForTask(tasks.at(0)), store->filesForTask(tasks.at(0)));
    }

    // Thumbnails are read on first use and forgotten again when many have been read; a
    // value set by a setter is never replaced by a later read, nor forgotten before it is
    // saved.
    void thumbnailsLoadLazilyAndSettersWin()
    {
        TemporaryStore temporary;
        constexpr int count = 320;
        {
            auto store = temporary.open();
            for (int i = 0; i < count; ++i)
                store->creatTaskURL(QString::number(i), QString(), QString())
                    ->setThumbnail(QByteArray::number(i));
            QVERIFY(store->save());
        }
        auto store = temporary.open();
        const TaskList tasks = store->existHistorys();
        QCOMPARE(tasks.size(), count);
        // One value set before it was ever read, one set after it was read (and queued for
        // forgetting).
        const auto setUnread = tasks.first();
        setUnread->setThumbnail(QByteArray("set before any read"));
        const auto changed = tasks.at(1);
        QCOMPARE(changed->thumbnail(), changed->url().toLatin1());
        changed->setThumbnail(QByteArray("set after a read"));
        for (int round = 0; round < 2; ++round) {
            for (const auto &task : tasks.mid(2))
                QCOMPARE(task->thumbnail(), task->url().toLatin1());
        }
        QCOMPARE(setUnread->thumbnail(), QByteArray("set before any read"));
        QCOMPARE(changed->thumbnail(), QByteArray("set after a read"));
        QVERIFY(store->save());
        auto reopened = temporary.open();
        QCOMPARE(reopened->searchURL(setUnread->url()).value(0)->thumbnail(),
                 QByteArray("set before any read"));
        QCOMPARE(reopened->searchURL(changed->url()).value(0)->thumbnail(),
                 QByteArray("set after a read"));
    }

    void idsAreNeverGivenTwice()
    {
        TemporaryStore temporary;
        {
            auto store = temporary.open();
            auto first = store->creatTaskURL(QStringLiteral("https://a.example/1"), {}, {});
            auto newest = store->creatTaskURL(QStringLiteral("https://a.example/2"), {}, {});
            addFile(*store, newest, QStringLiteral("Clip"));
            QVERIFY(store->save());
            QCOMPARE(newest->rowId(), 2);
            QVERIFY(store->removeItem(newest));
            auto next = store->creatTaskURL(QStringLiteral("https://a.example/3"), {}, {});
            QVERIFY(store->save());
            QCOMPARE(next->rowId(), 3);
            QVERIFY(store->removeItem(next));
        }
        auto reopened = temporary.open();
        auto later = reopened->creatTaskURL(QStringLiteral("https://a.example/4"), {}, {});
        const auto file = addFile(*reopened, later, QStringLiteral("Other"));
        QVERIFY(reopened->save());
        QCOMPARE(later->rowId(), 4);
        QCOMPARE(file->rowId(), 2);
    }

    void removeItemTakesTheFileRecordsAlong()
    {
        TemporaryStore temporary;
        auto store = temporary.open();
        auto task = store->creatTaskURL(QStringLiteral("t"), QString(), QString());
        task->setThumbnail("t");
        addFile(*store, task, QStringLiteral("one"))->setThumbnail("1");
        addFile(*store, task, QStringLiteral("two"));
        auto other = store->creatTaskURL(QStringLiteral("other"), QString(), QString());
        addFile(*store, other, QStringLiteral("three"));
        QVERIFY(store->save());
        QVERIFY(store->removeItem(task));
        QVERIFY(task->isDeleted());
        QCOMPARE(urlsOf(temporary.open()->existHistorys()), {QStringLiteral("other")});
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XFile")).toInt(), 1);
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XFile_thumbnail")).toInt(),
                 0);
        QCOMPARE(temporary.query(QStringLiteral("SELECT count(*) FROM XTask_thumbnail")).toInt(),
                 0);
    }
};

QTEST_GUILESS_MAIN(TestStoreRecords)
#include "tst_store_records.moc"
