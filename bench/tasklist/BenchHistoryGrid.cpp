// The history grid at scale: start of the application to the first complete paint of the
// grid and to every visible thumbnail shown, resident memory after opening and after
// scrolling through the whole list, scroll steps (by row, by page, by random jump) with their
// paint, and the idle CPU over 10 s with no download and with one running. Usage:
//   bench_history_grid [HISTORY.sqlite]
// A history given (bench_store DIR leaves DIR/XTaskModel.sqlite) is copied into a temporary
// home first; without one, 10,000 finished tasks with JPEG thumbnails are made. Offscreen
// unless a display exists.
#include "BenchProcess.h"
#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/ViewController.h"
#include "app/ZelvoApplication.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "tasklist/NSHistoryView.h"

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <vector>

namespace
{

constexpr int builtTasks = 10000;

using BenchProcess::cpuSeconds;

double residentMB()
{
    return BenchProcess::residentKiB() / 1024.0;
}

QByteArray thumbnailJpeg(int index)
{
    QImage image(640, 360, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 640, 360);
    gradient.setColorAt(0, QColor::fromHsv((index * 37) % 360, 200, 230));
    gradient.setColorAt(1, QColor::fromHsv((index * 37 + 120) % 360, 200, 120));
    painter.fillRect(image.rect(), gradient);
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 85);
    return bytes;
}

bool buildHistory(const QString &path)
{
    XCoreDataManagement store(path);
    if (!store.open()) return false;
    for (int i = 0; i < builtTasks; ++i) {
        auto task = store.creatTaskURL(QStringLiteral("https://video.example/watch?v=%1").arg(i),
                                       QStringLiteral("None"), QString());
        task->setStatus(2);
        task->setThumbnail(thumbnailJpeg(i));
    }
    return store.save();
}

void waitFor(const std::function<bool()> &done, int timeoutMs = 60000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < timeoutMs) {
        QApplication::processEvents();
        QThread::msleep(1);
    }
}

void stage(const char *what)
{
    static QElapsedTimer clock;
    if (!clock.isValid()) clock.start();
    std::fprintf(stderr, "[%7.1f s] %s\n", clock.elapsed() / 1000.0, what);
}

double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

struct Steps {
    std::vector<double> wall;
    std::vector<double> cpu; // the main thread's own time: what a loaded machine cannot inflate
};

void printSpread(const char *what, Steps steps)
{
    for (auto *times : {&steps.wall, &steps.cpu})
        std::sort(times->begin(), times->end());
    auto at = [](const std::vector<double> &times, int percent) {
        return times[times.size() * percent / 100];
    };
    std::printf("%-22s wall p50 %6.2f ms p95 %6.2f ms; main-thread CPU p50 %6.2f ms p95 %6.2f ms "
                "(target p95 < 8 ms)\n",
                what, at(steps.wall, 50), at(steps.wall, 95), at(steps.cpu, 50), at(steps.cpu, 95));
}

// Each step moves the scroll bar and paints the window at once.
template <typename Step> Steps scrollSteps(NSHistoryView &grid, int count, Step step)
{
    Steps steps;
    QScrollBar *bar = grid.verticalScrollBar();
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        const double cpu = threadCpuMs();
        bar->setValue(step(*bar));
        grid.viewport()->repaint();
        steps.cpu.push_back(threadCpuMs() - cpu);
        steps.wall.push_back(timer.nsecsElapsed() / 1e6);
        QApplication::processEvents();
    }
    return steps;
}

double idleCpuPercent(int seconds)
{
    const double before = cpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return (cpuSeconds() - before) / seconds * 100.0;
}

} // namespace

// The history is built by a child run of this program, so that the measured start is a
// process's first QApplication.
int buildInChild(const char *self, const QString &path)
{
    const QString command =
        QStringLiteral("'%1' --build '%2'").arg(QString::fromLocal8Bit(self), path);
    return std::system(command.toLocal8Bit().constData());
}

int main(int argc, char *argv[])
{
    if (argc == 3 && qstrcmp(argv[1], "--build") == 0) {
        QCoreApplication builder(argc, argv);
        return buildHistory(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
    }
    QTemporaryDir home;
    BenchProcess::isolateHome(home.path());
    const QString storePath = home.path() + QStringLiteral("/Documents/XTaskModel.sqlite");
    const QString history = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (history.isEmpty() ? buildInChild(argv[0], storePath) != 0
                          : !QFile::copy(history, storePath)) {
        std::fprintf(stderr, "cannot prepare the history\n");
        return 1;
    }

    stage("history ready");
    // A working folder, so no settings sheet opens; its yt-dlp reports progress twice a
    // second and never ends.
    const QString folder = home.path() + QStringLiteral("/work");
    QDir().mkpath(folder);
    QFile ytdlp(folder + QStringLiteral("/yt-dlp"));
    ytdlp.open(QIODevice::WriteOnly);
    ytdlp.write("#!/bin/sh\nwhile true; do\n"
                "echo '[download]  42.5% of 10.00MiB at 1.00MiB/s ETA 00:05'\nsleep 0.5\ndone\n");
    ytdlp.close();
    ytdlp.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    ZelvoApplication::configure(app);
    AppDelegate delegate;
    delegate.start();
    NSHistoryView &grid = *delegate.mainWindow()->viewController()->historyView();
    waitFor([&] {
        QWindow *window = delegate.mainWindow()->windowHandle();
        return window && window->isExposed();
    });
    QApplication::processEvents();
    const double firstPaintMs = sinceStart.nsecsElapsed() / 1e6;
    stage("grid painted");
    waitFor([&] { return grid.thumbnails().pendingCount() == 0; });
    const double thumbnailsMs = sinceStart.nsecsElapsed() / 1e6;
    const double openMB = residentMB();

    stage("thumbnails shown");
    QRandomGenerator random(7);
    const auto rows =
        scrollSteps(grid, 300, [](QScrollBar &bar) { return bar.value() + bar.singleStep(); });
    const auto pages =
        scrollSteps(grid, 200, [](QScrollBar &bar) { return bar.value() + bar.pageStep(); });
    const auto jumps = scrollSteps(
        grid, 300, [&](QScrollBar &bar) { return int(random.bounded(bar.maximum() + 1)); });
    stage("scroll steps measured");
    // Through the whole list a page at a time, letting the thumbnails come.
    QScrollBar *bar = grid.verticalScrollBar();
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep()) {
        bar->setValue(value);
        QApplication::processEvents();
    }
    waitFor([&] { return grid.thumbnails().pendingCount() == 0; });
    const double scrolledMB = residentMB();

    stage("whole list scrolled");
    bar->setValue(0);
    waitFor([&] { return grid.thumbnails().pendingCount() == 0; });
    const double idleNone = idleCpuPercent(10);

    stage("idle measured");
    // One download running.
    StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, true);
    auto task = XCoreDataManagement::shared().creatTaskURL(
        QStringLiteral("https://video.example/running"), QStringLiteral("None"), QString());
    XCoreDataManagement::shared().save();
    grid.insertTaskAtFirst(task);
    QApplication::processEvents();
    const bool running = delegate.downloads().isRunning(*task);
    const double idleOne = idleCpuPercent(10);
    delegate.downloads().stopAll();

    std::printf("platform %s, history %s (%d tasks), window %dx%d, %d live cells\n",
                qPrintable(QApplication::platformName()),
                history.isEmpty() ? "built" : qPrintable(history), int(grid.tasks().size()),
                delegate.mainWindow()->width(), delegate.mainWindow()->height(),
                grid.liveCellCount());
    std::printf("start to first paint of the grid: %.1f ms (target < 250 ms)\n", firstPaintMs);
    std::printf("start to every visible thumbnail: %.1f ms\n", thumbnailsMs);
    std::printf("resident memory after open: %.1f MB, after scrolling the whole list: %.1f MB "
                "(target < 150 MB)\n",
                openMB, scrolledMB);
    printSpread("scroll by row", rows);
    printSpread("scroll by page", pages);
    printSpread("scroll by random jump", jumps);
    std::printf("CPU over 10 s idle, no download: %.2f %% of a core (target < 0.5 %%)\n", idleNone);
    std::printf("CPU over 10 s idle, one download%s: %.2f %% of a core (target < 3 %%)\n",
                running ? "" : " (DID NOT START)", idleOne);
    return 0;
}
