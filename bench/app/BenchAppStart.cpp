// Start of the desktop application to its main window shown, resident memory after it, and
// the CPU the idle window takes over ten seconds. Usage:
//   bench_app_start [HISTORY.sqlite] [--grab FILE.png]
// --grab saves a picture of the window once it shows and ends there.
// A history given (bench_store DIR leaves DIR/XTaskModel.sqlite) is copied into a temporary
// home first. Offscreen unless QT_QPA_PLATFORM says otherwise and a display exists.
#include "BenchProcess.h"
#include "app/AppDelegate.h"
#include "app/NSMainWindowController.h"
#include "app/ZelvoApplication.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>

#include <cstdio>

using BenchProcess::cpuSeconds;
using BenchProcess::residentKiB;

int main(int argc, char *argv[])
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QTemporaryDir home;
    BenchProcess::isolateHome(home.path());

    QString history;
    QString grabFile;
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--grab") && i + 1 < argc)
            grabFile = QString::fromLocal8Bit(argv[++i]);
        else
            history = argument;
    }
    if (!history.isEmpty() &&
        !QFile::copy(history, home.path() + QStringLiteral("/Documents/XTaskModel.sqlite"))) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(history));
        return 1;
    }
    sinceStart.restart(); // the copy is the benchmark's set-up, not the application's start

    QApplication app(argc, argv);
    ZelvoApplication::configure(app);
    AppDelegate delegate;
    delegate.start();
    QWindow *window = delegate.mainWindow()->windowHandle();
    while (!window || !window->isExposed()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
        window = delegate.mainWindow()->windowHandle();
    }
    QApplication::processEvents(); // the first paint and the history check
    const double shownMs = sinceStart.nsecsElapsed() / 1e6;
    const long rss = residentKiB();

    // A picture of the window (scripts/screenshot.sh) needs no idle figures.
    if (!grabFile.isEmpty()) return delegate.mainWindow()->grab().save(grabFile) ? 0 : 1;
    const double cpuBefore = cpuSeconds();
    QTimer::singleShot(10000, &app, &QApplication::quit);
    app.exec();
    const double idleCpu = (cpuSeconds() - cpuBefore) / 10.0 * 100.0;

    std::printf("platform %s, history %s\n", qPrintable(QApplication::platformName()),
                history.isEmpty() ? "empty" : qPrintable(history));
    std::printf("start to main window shown: %.1f ms (target < 300 ms)\n", shownMs);
    std::printf("resident memory after start: %.1f MB (target < 80 MB)\n", rss / 1024.0);
    std::printf("CPU over 10 s idle: %.2f %% of a core (target < 0.5 %%)\n", idleCpu);
    return 0;
}
