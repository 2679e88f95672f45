// From a click on the trim bar of the video tools sheet to the first picture (the key frame
// before) and to the exact frame, on a 1920x1080 x264 clip with the encoder's default key-frame
// interval; 20 clicks at spread fractions. Also the longest the main thread went without
// turning its event loop while a click was served.
//   bench_videotools_preview [work folder]   (the clip is made once and kept there)
#include "media/NSVideoToolController.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "videotools/NSDurationSelectView.h"
#include "videotools/NSEncodeConfirmView.h"
#include "videotools/NSEncodeWindownController.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>

namespace
{

struct Figures {
    QList<double> firstPicture;
    QList<double> exactFrame;
    QList<double> clickHandling;
    QList<double> longestStall; // per click
};

double percentile(QList<double> values, double share)
{
    std::sort(values.begin(), values.end());
    const qsizetype index =
        std::min<qsizetype>(values.size() - 1, qsizetype(share * values.size()));
    return values.at(index);
}

void print(const char *what, const QList<double> &values)
{
    std::printf("%-28s median %7.1f ms   p95 %7.1f ms\n", what, percentile(values, 0.5),
                percentile(values, 0.95));
}

// The longest the event loop went without a turn while it lives.
class StallMeter
{
public:
    StallMeter()
    {
        m_ticker.setInterval(0);
        QObject::connect(&m_ticker, &QTimer::timeout, [this] {
            m_longest = std::max(m_longest, m_sinceTick.nsecsElapsed() / 1e6);
            m_sinceTick.restart();
        });
        m_sinceTick.start();
        m_ticker.start();
    }
    double longest() const { return m_longest; }

private:
    QTimer m_ticker;
    QElapsedTimer m_sinceTick;
    double m_longest = 0;
};

// One click at the fraction: times to the first picture and to the exact frame, the time the
// click itself held the main thread, and the longest gap between turns of the event loop.
void clickOnce(NSEncodeConfirmView &pane, float fraction, Figures &figures)
{
    NSDurationSelectView *bar = pane.durationView();
    NSVideoToolController &tools = pane.tools();
    QElapsedTimer clock;
    double first = -1;
    QEventLoop loop;
    const auto picture = QObject::connect(&tools, &NSVideoToolController::pictureChanged, [&] {
        if (first < 0) first = clock.nsecsElapsed() / 1e6;
    });
    const auto ended =
        QObject::connect(&tools, &NSVideoToolController::previewEnded, &loop, &QEventLoop::quit);
    const QPoint at(qRound(fraction * bar->width()), bar->height() / 2);
    clock.start();
    QTest::mouseClick(bar, Qt::LeftButton, {}, at);
    figures.clickHandling << clock.nsecsElapsed() / 1e6;
    StallMeter stalls;
    loop.exec();
    const double exact = clock.nsecsElapsed() / 1e6;
    QObject::disconnect(picture);
    QObject::disconnect(ended);
    figures.longestStall << stalls.longest();
    figures.firstPicture << first;
    figures.exactFrame << exact;
}

// The same measure with nothing to do: what the machine's other load alone costs the loop.
double idleStall(int milliseconds)
{
    StallMeter stalls;
    QTest::qWait(milliseconds);
    return stalls.longest();
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QString home = TestEnvironment::isolateHome();
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : home + "/work";
    QDir().mkpath(folder);
    for (const char *tool : {"yt-dlp", "ffmpeg", "ffprobe"})
        QFile::link(QStandardPaths::findExecutable(tool), QDir(folder).filePath(tool));
    StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
    const QString clip = QDir(folder).filePath("bench-1080p.mp4");
    // x264's own key-frame interval (250 frames: 10 s at 25 fps).
    if (!QFile::exists(clip) && !MediaFactory::makeVideoOf(clip, "testsrc2=s=1920x1080:r=25:d=60",
                                                           {"-preset", "veryfast"})) {
        std::fprintf(stderr, "could not make the clip\n");
        return 1;
    }
    auto &store = XCoreDataManagement::shared();
    store.open();
    const auto task = store.creatTaskURL("https://v.example/bench", {}, {});
    store.createFile(QUrl::fromLocalFile(clip))->setTask(task);
    store.save();

    QWidget window;
    window.resize(900, 800);
    window.show();
    auto *sheet = NSEncodeWindownController::openForTask(&window, task);
    sheet->pane()->tools().waitForJobs();
    QTest::qWait(200);

    QList<double> idle;
    for (int i = 0; i < 20; ++i)
        idle << idleStall(500);
    Figures figures;
    for (int i = 0; i < 20; ++i)
        clickOnce(*sheet->pane(), (float(i) + 0.5f) / 20.0f, figures);
    // The main thread's share of one picture: the pane scales it to its view and paints.
    QList<double> shown;
    const QImage frame = sheet->pane()->tools().picture();
    for (int i = 0; i < 20; ++i) {
        QElapsedTimer clock;
        clock.start();
        emit sheet->pane()->tools().pictureChanged(frame);
        sheet->repaint();
        shown << clock.nsecsElapsed() / 1e6;
    }
    std::printf("20 clicks on the trim bar, 1920x1080 x264, key frames 10 s apart\n");
    print("click to first picture", figures.firstPicture);
    print("click to exact frame", figures.exactFrame);
    print("click handled on main thread", figures.clickHandling);
    print("longest main-thread stall", figures.longestStall);
    print("same, 0.5 s without a click", idle);
    print("one picture shown, painted", shown);
    return 0;
}
