#include "SoakCheck.h"

#include "store/SqliteDatabase.h"
#include "store/SqliteStatement.h"
#include "store/XCoreDataManagement.h"
#include "support/DownloadRun.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

namespace
{

bool isComplete(const XFile &file)
{
    return QFileInfo(file.localFile()).isFile() && !file.videoEncodeName().isEmpty() &&
           file.width().value_or(0) > 0 && file.duration().value_or(0) > 0 &&
           !file.thumbnail().isEmpty();
}

std::shared_ptr<XTask> taskFor(const QString &url)
{
    const QList<std::shared_ptr<XTask>> found = XCoreDataManagement::shared().searchURL(url);
    return found.size() == 1 ? found.first() : nullptr;
}

} // namespace

bool SoakReport::passed() const
{
    return completedExactly == shouldComplete && failed == shouldFail && filesComplete == files &&
           partFiles == 0 && processesLeft == 0 && integrity == QLatin1String("ok");
}

void SoakReport::print() const
{
    std::printf("completed with exactly their files: %d of %d\n"
                "failed (404) as status 3:           %d of %d\n"
                "files with media details and thumbnail: %d of %d\n"
                ".part files left: %d\nyt-dlp/ffmpeg processes left: %d\n"
                "integrity_check: %s\n",
                completedExactly, shouldComplete, failed, shouldFail, filesComplete, files,
                partFiles, processesLeft, qPrintable(integrity));
}

SoakReport SoakCheck::check(const QList<SoakCase> &cases, const QString &workingFolder)
{
    SoakReport report;
    report.processesLeft = int(processesMentioning(workingFolder).size());
    report.integrity = integrityOf(XCoreDataManagement::defaultStorePath());
    report.partFiles = int(QDir(workingFolder).entryList({"*.part"}, QDir::Files).size());
    for (const SoakCase &expected : cases)
        checkCase(expected, workingFolder, report);
    return report;
}

// Read on a connection of its own, before the store opens (and writes) the file.
QString SoakCheck::integrityOf(const QString &storePath)
{
    SqliteDatabase database;
    if (!database.open(storePath, false)) return QStringLiteral("cannot open");
    SqliteStatement check(database, QStringLiteral("PRAGMA integrity_check"));
    return check.next() ? check.value(0).toString() : database.errorMessage();
}

void SoakCheck::checkCase(const SoakCase &expected, const QString &workingFolder,
                          SoakReport &report)
{
    const std::shared_ptr<XTask> task = taskFor(expected.url);
    const qint64 status = task ? task->currentStatus() : -1;
    if (expected.files.isEmpty()) {
        ++report.shouldFail;
        if (status == XTask::StatusFailed)
            ++report.failed;
        else
            std::printf("not failed: %s (status %lld)\n", qPrintable(expected.url), status);
        return;
    }
    ++report.shouldComplete;
    QStringList names;
    bool filesComplete = true;
    for (const auto &file : task ? XCoreDataManagement::shared().filesForTask(task)
                                 : QList<std::shared_ptr<XFile>>()) {
        names << QFileInfo(file->localFile()).fileName();
        ++report.files;
        if (isComplete(*file) && QFileInfo(file->localFile()).path() == workingFolder)
            ++report.filesComplete;
        else
            filesComplete = false;
    }
    names.sort();
    QStringList wanted = expected.files;
    wanted.sort();
    if (status == XTask::StatusCompleted && names == wanted && filesComplete)
        ++report.completedExactly;
    else
        std::printf("not complete: %s (status %lld, files %s)\n", qPrintable(expected.url), status,
                    qPrintable(names.join(QStringLiteral(", "))));
}
