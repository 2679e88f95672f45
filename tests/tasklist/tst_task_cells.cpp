// The task cell and its state views: which view shows for which task, their texts, the
// downloading view's figures and timer, the thumbnail's frame, the finished task's menu and
// actions, and that a view given another task keeps nothing of the last one.
#include "GridTestSupport.h"
#include "desktop/SheetQueue.h"

#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "platform/JobRunner.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "tasklist/BusySpinner.h"
#include "tasklist/PaintedButton.h"
#include "tasklist/TaskCellAccessibility.h"
#include "tasklist/TaskCellServices.h"
#include "tasklist/ThumbnailLoader.h"
#include "tasklist/XTaskCellView.h"
#include "tasklist/XTaskCompleted.h"
#include "tasklist/XTaskCreateView.h"
#include "tasklist/XTaskFailedView.h"
#include "tasklist/XTaskNormal.h"
#include "tasklist/XTaskProgressing.h"

#include <QAccessible>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSignalSpy>
#include <QtTest>

class TestTaskCells : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    DownloadRegistry m_downloads;
    JobRunner m_jobs{2};
    std::unique_ptr<ThumbnailLoader> m_thumbnails;
    std::unique_ptr<TaskCellServices> m_services;
    int m_serial = 0;

    QString newURL() { return QStringLiteral("https://video.test/watch?v=%1").arg(++m_serial); }
    std::shared_ptr<XTask> newTask(std::optional<qint64> status, const QByteArray &picture = {})
    {
        return GridTestSupport::makeTask(newURL(), status, picture);
    }
    QString path(const QString &name) const { return m_root.filePath(name); }
    std::unique_ptr<XTaskCompleted> completedView(int width = 200, int height = 100)
    {
        auto view = std::make_unique<XTaskCompleted>(*m_services);
        view->resize(width, height);
        return view;
    }
    static void useNoWorkingFolder()
    {
        StoredSettings::setValue(StoredSettings::KEY_WORKING_URL_DATA, QVariant());
    }
    static QStringList titlesOf(QMenu *menu)
    {
        QStringList titles;
        for (QAction *action : menu->actions())
            titles << action->text();
        return titles;
    }
    static QAction *actionNamed(QMenu *menu, const QString &title)
    {
        for (QAction *action : menu->actions()) {
            if (action->text() == title) return action;
        }
        return nullptr;
    }

private slots:
    void initTestCase();
    void viewForEachStatus_data();
    void viewForEachStatus();
    void downloadingFigures_data();
    void downloadingFigures();
    void refreshRunsOnlyWhileShownWithATask();
    void thumbnailFrame_data();
    void thumbnailFrame();
    void undecodableOrMissingThumbnail();
    void contextMenu_data();
    void contextMenu();
    void actionsThatTellTheUser_data();
    void actionsThatTellTheUser();
    void mergeOfTwoGeneratedFiles();
    void viewGivenAnotherTaskKeepsNothingOfTheLast();
    void thumbnailChangeDecodesOnce();
    void pictureFollowsTheViewsSize();
};

void TestTaskCells::initTestCase()
{
    TestEnvironment::isolateHome();
    QVERIFY(m_root.isValid());
    QVERIFY(XCoreDataManagement::shared().isOpen());
    m_thumbnails = std::make_unique<ThumbnailLoader>(m_jobs);
    m_services =
        std::make_unique<TaskCellServices>(TaskCellServices{m_downloads, m_jobs, *m_thumbnails});
    TaskCellAccessibility::install();
}

void TestTaskCells::viewForEachStatus_data()
{
    QTest::addColumn<int>("status"); // -1: no task
    QTest::addColumn<QString>("view");
    QTest::addColumn<QString>("spokenState");

    QTest::newRow("no task: the create view") << -1 << "XTaskCreateView"
                                              << "新下载";
    QTest::newRow("created") << 0 << "XTaskNormal"
                             << ", created";
    QTest::newRow("downloading") << 1 << "XTaskProgressing"
                                 << ", downloading 0.0%";
    QTest::newRow("completed") << 2 << "XTaskCompleted"
                               << ", completed";
    QTest::newRow("failed") << 3 << "XTaskFailedView"
                            << ", failed: HTTP Error 404";
    QTest::newRow("unknown status: nothing") << 7 << ""
                                             << "";
}

void TestTaskCells::viewForEachStatus()
{
    QFETCH(int, status);
    QFETCH(QString, view);
    QFETCH(QString, spokenState);
    std::shared_ptr<XTask> task;
    if (status >= 0) {
        task = newTask(status);
        task->setFailed_reason(QStringLiteral("HTTP Error 404"));
    }
    XTaskCellView cell(*m_services);
    cell.resize(200, 140);
    cell.show();
    cell.setTask(task);

    QWidget *shown = cell.visibleView();
    QCOMPARE(shown ? QString::fromLatin1(shown->metaObject()->className()) : QString(), view);
    QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(&cell);
    QCOMPARE(spoken->role(), QAccessible::ListItem);
    QVERIFY2(spoken->text(QAccessible::Name).endsWith(spokenState),
             qPrintable(spoken->text(QAccessible::Name)));
    if (task && !spokenState.isEmpty() && status != 2)
        QVERIFY(spoken->text(QAccessible::Name).startsWith(task->url()));

    switch (status) {
    case -1:
        QCOMPARE(cell.createView()->toolTip(), QStringLiteral("新下载"));
        QCOMPARE(cell.createView()->createButton()->accessibleName(), QStringLiteral("新下载"));
        break;
    case 0:
        QCOMPARE(cell.normalView()->urlLabel()->text(), task->url());
        QCOMPARE(cell.normalView()->toolTip(), task->url());
        break;
    case 3:
        QCOMPARE(cell.failedView()->titleLabel()->text(), QStringLiteral("Failed"));
        QCOMPARE(cell.failedView()->textView()->toPlainText(), QStringLiteral("HTTP Error 404"));
        QCOMPARE(cell.failedView()->toolTip(), QStringLiteral("HTTP Error 404"));
        QCOMPARE(cell.failedView()->retryButton()->toolTip(), QStringLiteral("Retry download"));
        break;
    default:
        break;
    }
}

void TestTaskCells::downloadingFigures_data()
{
    QTest::addColumn<float>("progress");
    QTest::addColumn<float>("speed");
    QTest::addColumn<QString>("progressText");
    QTest::addColumn<QString>("speedText");
    QTest::addColumn<qint64>("level");
    QTest::addColumn<int>("bar");

    QTest::newRow("nothing yet") << 0.0f << 0.0f << "0.0%"
                                 << "0 Bit/s" << qint64(0) << 0;
    QTest::newRow("just below a step") << 0.425f << 499999.0f << "42.5%"
                                       << "488.3 Kib/s" << qint64(0) << 0;
    QTest::newRow("one step") << 0.5f << 500000.0f << "50.0%"
                              << "488.3 Kib/s" << qint64(1) << 1;
    QTest::newRow("full bar") << 1.0f << 10000000.0f << "100.0%"
                              << "9.5 Mib/s" << qint64(20) << 20;
    QTest::newRow("beyond full shows full") << 1.0f << 25000000.0f << "100.0%"
                                            << "23.8 Mib/s" << qint64(50) << 20;
}

void TestTaskCells::downloadingFigures()
{
    QFETCH(float, progress);
    QFETCH(float, speed);
    const auto task = newTask(1);
    task->progress(progress, 0, speed);
    XTaskProgressing view;
    view.resize(200, 130);
    view.show();
    view.setTask(task);

    QTEST(view.progressLabel()->text(), "progressText");
    QTEST(view.speedLabel()->text(), "speedText");
    QTEST(view.level(), "level");
    QTEST(view.levelIndicator()->value(), "bar");
    QCOMPARE(XTaskProgressing::levelFor(speed), view.level());
}

void TestTaskCells::refreshRunsOnlyWhileShownWithATask()
{
    // A hidden or recycled downloading view must not keep a timer (and its task) alive.
    const auto downloading = newTask(1);
    XTaskCellView cell(*m_services);
    cell.resize(200, 140);
    cell.show();
    cell.setTask(downloading);
    XTaskProgressing *view = cell.progressView();
    QVERIFY(view->isRefreshing());
    const int step = view->spinner()->step();
    QTest::qWait(350);
    QVERIFY(view->spinner()->step() != step);

    cell.hide();
    QVERIFY(!view->isRefreshing());
    const int hiddenStep = view->spinner()->step();
    QTest::qWait(250);
    QCOMPARE(view->spinner()->step(), hiddenStep);
    cell.show();
    QVERIFY(view->isRefreshing());

    cell.setTask(newTask(2));
    QVERIFY(!view->isRefreshing());
    cell.setTask(downloading);
    QVERIFY(view->isRefreshing());
    cell.prepareForReuse();
    QVERIFY(!view->isRefreshing());
    QVERIFY(!view->task());
}

void TestTaskCells::thumbnailFrame_data()
{
    QTest::addColumn<QSize>("image");
    QTest::addColumn<QRectF>("frame"); // in a 200×100 view

    QTest::newRow("landscape: full height") << QSize(400, 100) << QRectF(-100, 0, 400, 100);
    QTest::newRow("wide landscape") << QSize(300, 50) << QRectF(-200, 0, 600, 100);
    QTest::newRow("portrait: full width") << QSize(50, 100) << QRectF(0, -150, 200, 400);
    QTest::newRow("square: full width") << QSize(80, 80) << QRectF(0, -50, 200, 200);
    QTest::newRow("exact fit") << QSize(100, 50) << QRectF(0, 0, 200, 100);
}

void TestTaskCells::thumbnailFrame()
{
    QFETCH(QSize, image);
    QFETCH(QRectF, frame);
    QCOMPARE(ThumbnailLoader::frameForImage(image, QSizeF(200, 100)), frame);

    const auto view = completedView();
    view->letBgImageWithData(GridTestSupport::jpegOf(Qt::red, image.width(), image.height()));
    QCOMPARE(view->pictureFrame(), frame);
    QCOMPARE(view->borderWidth(), 0);
    // Only what shows is kept: the view's own size, clipped equally on both sides.
    QCOMPARE(view->picture().size(), QSize(200, 100));
}

void TestTaskCells::undecodableOrMissingThumbnail()
{
    const auto view = completedView();
    view->letBgImageWithData(GridTestSupport::jpegOf(Qt::blue, 400, 100));
    const qint64 shown = view->picture().cacheKey();

    view->letBgImageWithData("not a picture");
    QCOMPARE(view->picture().cacheKey(), shown);
    QCOMPARE(view->pictureFrame(), QRectF(-100, 0, 400, 100));

    view->letBgImageWithData(QByteArray());
    QVERIFY(view->picture().isNull());
    QVERIFY(view->showsPlaceholder());
    QCOMPARE(view->borderWidth(), 1);
}

void TestTaskCells::contextMenu_data()
{
    QTest::addColumn<bool>("alt");
    QTest::addColumn<bool>("workingFolder");
    QTest::addColumn<bool>("filesInside");
    QTest::addColumn<int>("fileCount");
    QTest::addColumn<QStringList>("titles");

    const QStringList always{"Show In Finder", "Open Web Source", "Video Encode"};
    const QStringList developer{"", "开发调试", "ffplay 播放", "选择目标文件", "刷新缩略图"};
    QTest::newRow("one file in the working folder") << false << true << true << 1 << always;
    QTest::newRow("Alt adds the developer's items")
        << true << true << true << 1 << always + developer;
    QTest::newRow("files elsewhere can be moved")
        << false << true << false << 1 << always + QStringList{"Move Files"};
    QTest::newRow("no working folder: nothing to move") << false << false << false << 1 << always;
    QTest::newRow("three files can be merged")
        << false << true << true << 3 << always + QStringList{"Merge 3 files"};
    QTest::newRow("two files elsewhere, Alt")
        << true << true << false << 2
        << always + QStringList{"Move Files", "Merge 2 files"} + developer;
}

void TestTaskCells::contextMenu()
{
    QFETCH(bool, alt);
    QFETCH(bool, workingFolder);
    QFETCH(bool, filesInside);
    QFETCH(int, fileCount);
    const QString folder = GridTestSupport::useWorkingFolder(path("menu"), "exit 0");
    if (!workingFolder) useNoWorkingFolder();
    const auto task = newTask(2);
    for (int i = 0; i < fileCount; ++i) {
        const QString where = filesInside ? folder : path("elsewhere");
        GridTestSupport::addFile(
            task, QStringLiteral("%1/clip%2-%3.mp4").arg(where).arg(m_serial).arg(i));
    }
    const auto view = completedView();
    view->setTask(task);

    std::unique_ptr<QMenu> menu(view->menuForEvent(alt ? Qt::AltModifier : Qt::NoModifier));
    QTEST(titlesOf(menu.get()), "titles");

    actionNamed(menu.get(), "Video Encode")->trigger();
    QDialog *sheet = SheetQueue::currentSheet(view->window());
    QVERIFY(sheet);
    QCOMPARE(sheet->windowTitle(), QStringLiteral("Video Tools"));
    sheet->reject();
}

void TestTaskCells::actionsThatTellTheUser_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("message");

    QTest::newRow("merge of three files")
        << "merge3"
        << "只测试过音频、视频2个文件合并， 更多文件的合并未曾测试。\n请联系开发者阐明您的需求。";
    QTest::newRow("merge that fails") << "mergeFails"
                                      << "Merge files failed.";
    QTest::newRow("ffplay without a working folder")
        << "ffplayNoFolder"
        << "ffplay needs a working folder: choose one in the settings.";
    QTest::newRow("ffplay of a missing file") << "ffplayMissing"
                                              << "NOT EXIST!";
    QTest::newRow("move that fails")
        << "moveFails"
        << "Some files could not be moved into the working folder; they stay where they are.";
}

void TestTaskCells::actionsThatTellTheUser()
{
    QFETCH(QString, action);
    QFETCH(QString, message);
    AlertScript script;
    const QString folder = GridTestSupport::useWorkingFolder(path(action), "exit 0");
    const auto task = newTask(2);
    const int files = action == "merge3" ? 3 : action == "mergeFails" ? 2 : 1;
    QStringList paths;
    for (int i = 0; i < files; ++i) {
        // Text, not media: ffmpeg cannot merge them. The move's file lies outside the folder.
        paths << (action == "moveFails" ? path("outside-%1.mp4").arg(i)
                                        : QStringLiteral("%1/part%2.mp4").arg(folder).arg(i));
        if (action != "ffplayMissing") {
            QFile file(paths.last());
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("text");
        }
        GridTestSupport::addFile(task, paths.last());
    }
    if (action == "ffplayNoFolder") useNoWorkingFolder();
    // A move never replaces a file: one of the same name waits in the working folder.
    if (action == "moveFails") QFile::copy(paths.first(), folder + "/outside-0.mp4");
    const auto view = completedView();
    view->setTask(task);
    QSignalSpy busyEnded(view.get(), &XTaskCompleted::busyEnded);

    if (action.startsWith("merge"))
        view->mergeFiles();
    else if (action.startsWith("ffplay"))
        view->ffplayAction();
    else
        view->moveLocalFiles();
    if (action == "mergeFails" || action == "moveFails") QVERIFY(busyEnded.wait(30000));

    QCOMPARE(script.alerts().size(), 1);
    QCOMPARE(script.alerts().first().messageText, message);
    if (action == "ffplayMissing") QCOMPARE(script.alerts().first().informativeText, paths.first());
    // Nothing was lost: the task keeps its files.
    QCOMPARE(task->loadLocalFiles().size(), files);
    for (const QString &file : paths)
        QCOMPARE(QFileInfo::exists(file), action != "ffplayMissing");
}

void TestTaskCells::mergeOfTwoGeneratedFiles()
{
    const QString folder = GridTestSupport::useWorkingFolder(path("merge"), "exit 0");
    const QString video = folder + "/clip.f1.mp4";
    const QString audio = folder + "/clip.f2.m4a";
    QVERIFY(MediaFactory::makeVideoOf(video, "testsrc2=size=160x120:rate=10:duration=1"));
    QVERIFY(MediaFactory::makeTone(audio, 1));
    const auto task = newTask(2);
    GridTestSupport::addFile(task, video);
    GridTestSupport::addFile(task, audio);
    const auto view = completedView();
    view->setTask(task);
    std::unique_ptr<QMenu> menu(view->menuForEvent(Qt::NoModifier));
    QSignalSpy busyEnded(view.get(), &XTaskCompleted::busyEnded);

    actionNamed(menu.get(), "Merge 2 files")->trigger();
    QVERIFY(view->isBusy());
    QVERIFY(busyEnded.wait(60000));

    const auto files = XCoreDataManagement::shared().filesForTask(task);
    QCOMPARE(files.size(), 1);
    QVERIFY(QFileInfo(files.first()->localFile()).size() > 0);
    QVERIFY(!QFileInfo::exists(video));
    QVERIFY(!QFileInfo::exists(audio));
}

void TestTaskCells::viewGivenAnotherTaskKeepsNothingOfTheLast()
{
    const auto withURL = newTask(0);
    const auto withoutURL = newTask(0);
    withoutURL->setUrl(QString());
    XTaskNormal normal;
    normal.setTask(withURL);
    normal.setTask(withoutURL);
    QCOMPARE(normal.urlLabel()->text(), QString());
    QCOMPARE(normal.toolTip(), QString());

    const auto pictured = newTask(2);
    GridTestSupport::addFile(pictured, path("Named clip.mp4"));
    const auto view = completedView();
    view->setTask(pictured);
    view->letBgImageWithData(GridTestSupport::jpegOf(Qt::red, 300, 100));
    QCOMPARE(view->toolTipText(), QStringLiteral("Named clip"));
    view->setTask(newTask(2));
    QVERIFY(view->picture().isNull());
    QCOMPARE(view->toolTipText(), QString());
}

void TestTaskCells::thumbnailChangeDecodesOnce()
{
    const auto task = newTask(2, GridTestSupport::jpegOf(Qt::green, 320, 180));
    const auto other = newTask(2, GridTestSupport::jpegOf(Qt::blue, 320, 180));
    const auto view = completedView();
    for (int i = 0; i < 5; ++i)
        view->setTask(task);
    QTRY_VERIFY(!view->picture().isNull());
    const int decodes = m_thumbnails->decodeCount();
    const qint64 before = view->picture().cacheKey();

    XCoreDataManagement::shared().events().postThumbnailChanged(task);
    QTRY_VERIFY(view->picture().cacheKey() != before);
    QCOMPARE(m_thumbnails->decodeCount(), decodes + 1);
    const qint64 shown = view->picture().cacheKey();
    XCoreDataManagement::shared().events().postThumbnailChanged(other);
    QTest::qWait(200);
    QCOMPARE(m_thumbnails->decodeCount(), decodes + 1);
    QCOMPARE(view->picture().cacheKey(), shown);
}

// A view given its task before its first layout places the picture again at its own size.
void TestTaskCells::pictureFollowsTheViewsSize()
{
    const auto task = newTask(2, GridTestSupport::jpegOf(Qt::green, 320, 180));
    auto view = std::make_unique<XTaskCompleted>(*m_services);
    view->setTask(task);
    view->resize(200, 100);
    view->show();
    QTRY_COMPARE(view->picture().size(), QSize(178, 100));
    QCOMPARE(view->pictureFrame().height(), 100.0);
}

QTEST_MAIN(TestTaskCells)
#include "tst_task_cells.moc"
