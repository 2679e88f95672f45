// Many downloads at once over one history, with random pauses and resumes, and the process
// that runs them killed (SIGKILL) once in the middle and started again. Not a test: it
// prints what the history holds at the end, and the peak resident memory of that process.
//
//   bench_soak [--tasks N] [--seed S]        (the downloads' process: bench_soak --drive FILE S)
#include "SoakCheck.h"
#include "SoakDriver.h"
#include "SoakSite.h"

#include "store/StoredSettings.h"
#include "support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>

#include <csignal>
#include <cstdio>

namespace
{

struct Options {
    int tasks = 50;
    quint32 seed = QRandomGenerator::global()->generate();
};

Options parse(const QStringList &arguments)
{
    Options options;
    for (qsizetype i = 1; i + 1 < arguments.size(); i += 2) {
        if (arguments[i] == QLatin1String("--tasks")) options.tasks = arguments[i + 1].toInt();
        if (arguments[i] == QLatin1String("--seed")) options.seed = arguments[i + 1].toUInt();
    }
    return options;
}

qint64 residentPeakKb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return 0;
}

// The working folder holds the system's tools, as a set-up working folder does.
QString makeWorkingFolder()
{
    const QString folder = QDir::home().filePath(QStringLiteral("work"));
    QDir().mkpath(folder);
    for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
        QFile::link(QStringLiteral("/usr/bin/") + tool, QDir(folder).filePath(tool));
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    return folder;
}

QString writeCases(const QList<SoakCase> &cases)
{
    const QString path = QDir::home().filePath(QStringLiteral("cases.tsv"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    for (const SoakCase &c : cases)
        file.write((c.best ? "best\t" : "plain\t") + c.url.toUtf8() + '\n');
    return path;
}

// Runs the downloads' process until it ends or, with killAfterMs, SIGKILLs it then.
// Returns its peak resident memory in kB.
qint64 runDriver(const QString &casesFile, quint32 seed, int killAfterMs)
{
    QProcess driver;
    driver.setProcessChannelMode(QProcess::ForwardedChannels);
    driver.start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--drive"), casesFile, QString::number(seed)});
    if (!driver.waitForStarted()) return 0;
    qint64 peak = 0;
    QElapsedTimer clock;
    clock.start();
    while (!driver.waitForFinished(200)) {
        peak = std::max(peak, residentPeakKb(driver.processId()));
        if (killAfterMs > 0 && clock.elapsed() >= killAfterMs) {
            std::printf("soak: SIGKILL to the downloads' process after %lld ms\n", clock.elapsed());
            std::fflush(stdout);
            ::kill(pid_t(driver.processId()), SIGKILL);
            driver.waitForFinished(-1);
            break;
        }
        if (clock.elapsed() > 30 * 60 * 1000) driver.kill(); // a hung soak still ends
    }
    return peak;
}

// The engine's diagnostic log, one line per discarded yt-dlp line, would bury the figures.
void quietUnlessAsked(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type != QtInfoMsg || qEnvironmentVariableIsSet("ZELVO_LOG"))
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

int drive(const QStringList &arguments)
{
    qInstallMessageHandler(&quietUnlessAsked);
    SoakDriver driver(arguments.value(3).toUInt());
    if (!driver.begin(arguments.value(2))) {
        std::printf("driver: the history cannot be opened\n");
        return 1;
    }
    return QCoreApplication::exec();
}

int soak(const Options &options)
{
    TestEnvironment::isolateHome();
    SoakSite site;
    if (!site.start(options.tasks)) {
        std::printf("soak: the site could not be built\n");
        return 1;
    }
    const QString folder = makeWorkingFolder();
    const QString casesFile = writeCases(site.cases());
    QRandomGenerator random(options.seed);
    const int killAfterMs = 4000 + int(random.bounded(6000));
    std::printf("soak: %d tasks, seed %u\n", options.tasks, options.seed);
    std::fflush(stdout);
    QElapsedTimer clock;
    clock.start();
    const qint64 firstPeak = runDriver(casesFile, options.seed, killAfterMs);
    const qint64 secondPeak = runDriver(casesFile, options.seed + 1, 0);
    const SoakReport report = SoakCheck::check(site.cases(), folder);
    report.print();
    std::printf("wall time: %.1f s\npeak resident memory of the downloads' process: %lld kB "
                "(first run), %lld kB (after the restart)\n",
                clock.elapsed() / 1000.0, firstPeak, secondPeak);
    return report.passed() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.value(1) == QLatin1String("--drive")) return drive(arguments);
    return soak(parse(arguments));
}
