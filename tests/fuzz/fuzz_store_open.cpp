// The store opened over an arbitrary file as its database. It opens, or refuses with its
// message and leaves the file exactly as it was; never a crash. An opened store is then read
// whole and written once, since a file that passes the checks may still hold anything.
#include "FuzzSupport.h"

#include "store/XCoreDataManagement.h"
#include "support/FileContents.h"
#include "support/LogCapture.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace
{

QString storePath()
{
    static QTemporaryDir folder;
    return folder.filePath(QStringLiteral("XTaskModel.sqlite"));
}

void writeFresh(const QString &path, QByteArrayView bytes)
{
    for (const char *suffix : {"", "-wal", "-shm", "-journal"})
        QFile::remove(path + QLatin1String(suffix));
    QDir(path + QStringLiteral("-claims")).removeRecursively();
    FUZZ_CHECK(FileContents::write(path, bytes.toByteArray()));
}

void readFile(const std::shared_ptr<XFile> &file)
{
    (void)file->name();
    (void)file->localFile();
    (void)file->thumbnail();
    (void)file->source_description();
    (void)file->width();
    (void)file->duration();
    (void)file->task();
}

void readEverything(XCoreDataManagement &store)
{
    const QList<std::shared_ptr<XTask>> tasks = store.existHistorys();
    for (const std::shared_ptr<XTask> &task : tasks) {
        (void)task->url();
        (void)task->createDate();
        (void)task->thumbnail();
        (void)task->source_description();
        (void)task->duration();
        (void)task->currentStatus();
        for (const std::shared_ptr<XFile> &file : store.filesForTask(task))
            readFile(file);
    }
    (void)store.tasksWithString(QStringLiteral("a"));
    (void)store.existURL(QStringLiteral("https://a"));
    if (!tasks.isEmpty()) tasks.first()->setNote(QStringLiteral("seen"));
    store.creatTaskURL(QStringLiteral("https://new"), QString(), QString());
    store.save(); // may fail on what the file holds; it must not crash
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString path = storePath();
    const QByteArrayView input(data, qsizetype(size));
    writeFresh(path, input);
    LogCapture log;
    XCoreDataManagement store(path);
    if (store.open()) {
        readEverything(store);
        return 0;
    }
    FUZZ_CHECK(log.contains(QStringLiteral("place store error.")));
    FUZZ_CHECK(FileContents::read(path) == input);
    return 0;
}
