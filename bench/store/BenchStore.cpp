// History at scale: builds 10,000 tasks with 2 files each (a 60 KB thumbnail per task and
// per file, a 3 KB description per file), then measures in a fresh process the opening with
// the full history list, the resident memory after it, a file name search, the save of one
// changed record and the removal of one task with its two files.
//
//   bench_store [FOLDER]   builds in FOLDER (default: a temporary folder), then measures.
#include "store/XCoreDataManagement.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace
{

constexpr int taskCount = 10000;
constexpr int filesPerTask = 2;

double milliseconds(const QElapsedTimer &timer)
{
    return timer.nsecsElapsed() / 1e6;
}

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

int build(const QString &path)
{
    XCoreDataManagement store(path);
    if (!store.open()) return 1;
    const QByteArray thumbnail(60 * 1024, '\x7f');
    const QString description(3 * 1024, QLatin1Char('d'));
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < taskCount; ++i) {
        auto task = store.creatTaskURL(QStringLiteral("https://video.example/watch?v=%1").arg(i),
                                       QStringLiteral("None"), QString());
        task->setStatus(2);
        task->setThumbnail(thumbnail);
        for (int part = 0; part < filesPerTask; ++part) {
            auto file = store.createFile(
                QUrl::fromLocalFile(QStringLiteral("/W/Clip %1 part %2.mp4").arg(i).arg(part)));
            file->setName(QStringLiteral("Clip %1 part %2 Caf\u00e9").arg(i).arg(part));
            file->setThumbnail(thumbnail);
            file->setSource_description(description);
            file->setTask(task);
        }
    }
    if (!store.save()) return 1;
    std::printf("built %d tasks, %d files in %.0f ms\n", taskCount, taskCount * filesPerTask,
                milliseconds(timer));
    std::fflush(stdout);
    return 0;
}

void printSpread(const char *what, std::vector<double> times, const char *target)
{
    std::sort(times.begin(), times.end());
    std::printf("%-40s median %8.2f ms   worst %8.2f ms   (target %s)\n", what,
                times[times.size() / 2], times.back(), target);
}

// Each task's two files made real first, so that removal deletes them and asks whether
// another task names them.
int measureRemovals(XCoreDataManagement &store, const QList<std::shared_ptr<XTask>> &tasks)
{
    QTemporaryDir media;
    for (const auto &task : tasks) {
        for (const auto &file : store.filesForTask(task)) {
            const QString path = media.filePath(QUrl::fromLocalFile(file->localFile()).fileName());
            QFile real(path);
            if (!real.open(QIODevice::WriteOnly) || real.write("media") != 5) return 1;
            file->setLocalFile(path);
        }
    }
    if (!store.save()) return 1;
    std::vector<double> removals;
    QElapsedTimer timer;
    for (const auto &task : tasks) {
        timer.start();
        if (!store.removeItem(task)) return 1;
        removals.push_back(milliseconds(timer));
    }
    if (!QDir(media.path()).isEmpty()) return 1;
    printSpread("removal of a task with 2 files (20)", removals, "< 5 ms");
    return 0;
}

int measure(const QString &path)
{
    QElapsedTimer timer;
    timer.start();
    XCoreDataManagement store(path);
    if (!store.open()) return 1;
    const auto tasks = store.existHistorys();
    std::printf("%-40s %8.2f ms   (%lld tasks; target < 150 ms)\n", "open + existHistorys",
                milliseconds(timer), qlonglong(tasks.size()));
    std::printf("%-40s %8.1f MB   (target < 60 MB)\n", "resident memory after it",
                residentKilobytes() / 1024.0);

    std::vector<double> searches;
    qsizetype found = 0;
    for (int i = 0; i < 20; ++i) {
        timer.restart();
        found = store.tasksWithString(QStringLiteral("clip %1 part").arg(i * 431)).size();
        searches.push_back(milliseconds(timer));
    }
    std::printf("tasksWithString finds %lld tasks per search; the first took %.2f ms\n",
                qlonglong(found), searches.front());
    printSpread("tasksWithString over 20,000 files", searches, "< 10 ms");

    // A note no earlier run wrote, so that every save has a change to write.
    const QString run = QString::number(QDateTime::currentMSecsSinceEpoch());
    std::vector<double> saves;
    for (int i = 0; i < 100; ++i) {
        tasks.at(i)->setNote(QStringLiteral("note %1 of run %2").arg(i).arg(run));
        if (!store.hasChanges()) return 1;
        timer.restart();
        if (!store.save()) return 1;
        saves.push_back(milliseconds(timer));
    }
    printSpread("save of one changed record (100 saves)", saves, "< 20 ms");
    return measureRemovals(store, tasks.mid(100, 20));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QLatin1String("measure")) return measure(arguments.value(2));

    QTemporaryDir temporary;
    const QString folder = arguments.size() > 1 ? arguments.at(1) : temporary.path();
    const QString path = folder + QStringLiteral("/XTaskModel.sqlite");
    if (!QFile::exists(path) && build(path) != 0) return 1;
    // A process of its own, so the opening is not helped by what building left in memory.
    QProcess measurer;
    measurer.setProcessChannelMode(QProcess::ForwardedChannels);
    measurer.start(QCoreApplication::applicationFilePath(), {QStringLiteral("measure"), path});
    measurer.waitForFinished(-1);
    return measurer.exitCode();
}
