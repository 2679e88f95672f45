// The history grid, its cells and the detail a finished cell opens: each state's view and the
// accessibility walk, the thumbnail following its task, the finished task's menu and actions, the
// grid's order, search, removal, clicks, keys and cells kept, a task another process adds,
// downloads run through the grid with a fake yt-dlp that reports progress and waits, and the
// detail's fields, note and media report.
#include "app/NSCreateTaskView.h"
#include "app/NSCreateTaskWindowController.h"
#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "media/NSffprobe.h"
#include "platform/JobRunner.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "support/AccessibilityWalk.h"
#include "support/FakeExecutable.h"
#include "support/MediaFactory.h"
#include "support/TestEnvironment.h"
#include "support/TestRows.h"
#include "tasklist/NSHistoryView.h"
#include "tasklist/PaintedButton.h"
#include "tasklist/TaskCellAccessibility.h"
#include "tasklist/TaskCellServices.h"
#include "tasklist/TaskDetailView.h"
#include "tasklist/TaskDetailWindowController.h"
#include "tasklist/ThumbnailLoader.h"
#include "tasklist/XTaskCellView.h"
#include "tasklist/XTaskCompleted.h"
#include "tasklist/XTaskCreateView.h"
#include "tasklist/XTaskFailedView.h"
#include "tasklist/XTaskNormal.h"
#include "tasklist/XTaskProgressing.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QScrollBar>
#include <QtTest>

using Tasks = QList<std::shared_ptr<XTask>>;

namespace
{

QByteArray jpegOf(const QColor &color, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(color);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG", 95);
    return buffer.data();
}

// A yt-dlp that says it downloads item 3 of 12 to FOLDER/clip.mp4 at 42.5 % and 1 MiB/s, then
// waits until FOLDER/stop exists and fails with "stopped by the test".
QString waitingYtdlp(const QString &folder)
{
    return QStringLiteral("echo '[download] Downloading item 3 of 12'\n"
                          "echo '[download] Destination: %1/clip.mp4'\n"
                          ": > '%1/clip.mp4.part'\n"
                          "echo '[download]  42.5% of 10.00MiB at 1.00MiB/s ETA 00:05'\n"
                          "while [ ! -f '%1/stop' ]; do sleep 0.05; done\n"
                          "echo 'ERROR: stopped by the test'\n")
        .arg(folder);
}

bool storedElsewhere(const QString &url)
{
    XCoreDataManagement reopened(XCoreDataManagement::defaultStorePath());
    return reopened.open() && reopened.existURL(url);
}

QStringList titlesOf(QMenu *menu)
{
    QStringList titles;
    for (QAction *action : menu->actions())
        titles << action->text();
    return titles;
}

void focusItem(NSHistoryView &grid, int item)
{
    grid.setFocus();
    QTest::keyClick(&grid, Qt::Key_Up);
    while (grid.focusedItem() > item)
        QTest::keyClick(&grid, Qt::Key_Left);
    while (grid.focusedItem() < item)
        QTest::keyClick(&grid, Qt::Key_Right);
}

int refreshingViews(const NSHistoryView &grid)
{
    int count = 0;
    for (const XTaskProgressing *view : grid.findChildren<XTaskProgressing *>())
        count += view->isRefreshing();
    return count;
}

// The most cells alive while the grid scrolls through all its rows and jumps at random.
int maxLiveCells(NSHistoryView &grid)
{
    QScrollBar *bar = grid.verticalScrollBar();
    int most = grid.liveCellCount();
    for (int value = 0; value <= bar->maximum(); value += bar->pageStep() / 3) {
        bar->setValue(value);
        most = std::max(most, grid.liveCellCount());
    }
    for (int jump = 0; jump < 40; ++jump) {
        bar->setValue(QRandomGenerator::global()->bounded(bar->maximum() + 1));
        most = std::max(most, grid.liveCellCount());
    }
    return most;
}

template <typename Control = QAbstractButton> Control *named(QWidget *sheet, const QString &name)
{
    return AccessibilityWalk::findNamed<Control>(sheet, name);
}

// The value shown beside a caption of the detail's form.
QString shownBeside(QWidget *sheet, const QString &caption)
{
    for (QLabel *label : sheet->findChildren<QLabel *>())
        if (label->text() == caption && label->buddy())
            if (auto *value = qobject_cast<QLabel *>(label->buddy())) return value->text();
    return QStringLiteral("<no %1>").arg(caption);
}

} // namespace

class TestHistoryGrid : public QObject
{
    Q_OBJECT

    // First: the loader below opens the store, which must be this test's own.
    const QString m_home = TestEnvironment::isolateHome();
    QTemporaryDir m_root;
    DownloadRegistry m_downloads;
    JobRunner m_jobs{2};
    ThumbnailLoader m_thumbnails{m_jobs};
    TaskCellServices m_services{m_downloads, m_jobs, m_thumbnails};
    int m_serial = 0;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    static void noWorkingFolder()
    {
        StoredSettings::setValue(StoredSettings::KEY_WORKING_URL_DATA, {});
    }
    QString path(const QString &name) const { return m_root.filePath(name); }
    QString newURL() { return QStringLiteral("https://video.test/watch?v=%1").arg(++m_serial); }
    std::shared_ptr<XTask> newTask(std::optional<qint64> status, const QByteArray &picture = {})
    {
        const auto task = store().creatTaskURL(newURL(), "None", {});
        task->setStatus(status);
        if (!picture.isEmpty()) task->setThumbnail(picture);
        store().save();
        return task;
    }
    void makeTasks(int count)
    {
        for (int i = 0; i < count; ++i)
            store().creatTaskURL(newURL(), "None", {})->setStatus(0);
        QVERIFY(store().save());
    }
    // A file record of the task; the file is written (with text, no media) when asked.
    static void addFile(const std::shared_ptr<XTask> &task, const QString &path, bool write)
    {
        QFile file(path);
        if (write && file.open(QIODevice::WriteOnly)) file.write("text");
        store().createFile(QUrl::fromLocalFile(path))->setTask(task);
        store().save();
    }
    // ROOT/NAME/work, with a fake yt-dlp of the body and the system's ffmpeg and ffprobe, made
    // the working folder.
    QString useWorkingFolder(const QString &name, const QString &ytdlpBody)
    {
        const QString folder = path(name + "/work");
        QDir().mkpath(folder);
        QFile::remove(folder + "/yt-dlp");
        FakeExecutable::write(folder + "/yt-dlp", ytdlpBody);
        for (const QString tool : {"ffmpeg", "ffprobe"})
            QFile::link("/usr/bin/" + tool, folder + '/' + tool);
        StoredSettings::setFolder(StoredSettings::KEY_WORKING_URL_DATA, folder);
        return folder;
    }
    std::unique_ptr<XTaskCompleted> completedView(const std::shared_ptr<XTask> &task)
    {
        auto view = std::make_unique<XTaskCompleted>(m_services);
        view->resize(200, 100);
        view->setTask(task);
        return view;
    }
    // A clip with the page description yt-dlp writes beside it.
    QString clipWithDescription(const QString &name)
    {
        const QString clip = path(name + ".mp4");
        if (!QFile::exists(clip) && !MediaFactory::makeClip(clip, 1.0)) return QString();
        QFile description(path(name + ".description"));
        if (!description.open(QIODevice::WriteOnly)) return QString();
        description.write("What the page says.");
        return clip;
    }
    static std::unique_ptr<TaskDetailWindowController>
    openDetail(const std::shared_ptr<XTask> &task)
    {
        auto sheet = std::make_unique<TaskDetailWindowController>();
        sheet->open();
        sheet->view()->setTask(task.get());
        return QTest::qWaitForWindowActive(sheet.get()) ? std::move(sheet) : nullptr;
    }
    std::unique_ptr<NSHistoryView> showGrid(QSize size = QSize(440, 320))
    {
        auto grid = std::make_unique<NSHistoryView>(m_downloads);
        grid->resize(size);
        grid->show();
        return QTest::qWaitForWindowExposed(grid.get()) ? std::move(grid) : nullptr;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(store().isOpen());
        TaskCellAccessibility::install();
    }

    void init()
    {
        for (const auto &task : store().existHistorys())
            QVERIFY(store().removeItem(task));
    }

    // A status this version does not know shows no view; the failed task is read out with
    // the core's error.
    void everyStateHasItsViewAndEveryControlAName()
    {
        const auto failed = newTask(3);
        failed->setFailed_reason("HTTP Error 404");
        newTask(2);
        newTask(1);
        newTask(0);
        newTask(7);
        const auto grid = showGrid(QSize(900, 400));
        QCOMPARE(AccessibilityWalk::unnamedControls(grid.get()), QStringList());
        const QStringList views{"XTaskCreateView", "",
                                "XTaskNormal",     "XTaskProgressing",
                                "XTaskCompleted",  "XTaskFailedView"};
        for (int item = 0; item < views.size(); ++item) {
            QWidget *shown = grid->itemAtIndex(item)->visibleView();
            QCOMPARE(shown ? shown->metaObject()->className() : "", views[item]);
        }
        QAccessibleInterface *spoken = QAccessible::queryAccessibleInterface(grid->itemAtIndex(5));
        QCOMPARE(spoken->role(), QAccessible::ListItem);
        QCOMPARE(spoken->text(QAccessible::Name), failed->url() + ", failed: HTTP Error 404");
    }

    // A view given its task before its first layout places the picture again at its own size;
    // a changed thumbnail shows, another task's change leaves it; the next task keeps nothing of
    // this one's picture.
    void thumbnailFollowsTheSizeAndItsTask()
    {
        const auto task = newTask(2, jpegOf(Qt::green, 320, 180));
        const auto other = newTask(2, jpegOf(Qt::blue, 320, 180));
        XTaskCompleted view(m_services);
        for (int i = 0; i < 5; ++i)
            view.setTask(task);
        view.resize(200, 100);
        view.show();
        QTRY_COMPARE(view.picture().size(), QSize(178, 100));
        QCOMPARE(view.pictureFrame().height(), 100.0);
        QTRY_COMPARE(m_thumbnails.pendingCount(), 0);
        const qint64 before = view.picture().cacheKey();

        store().events().postThumbnailChanged(task);
        QTRY_VERIFY(view.picture().cacheKey() != before);
        const qint64 shown = view.picture().cacheKey();
        store().events().postThumbnailChanged(other);
        QTest::qWait(200);
        QCOMPARE(view.picture().cacheKey(), shown);

        view.setTask(newTask(2));
        QVERIFY(view.picture().isNull());
    }

    // Files outside the working folder can be moved into it; Video Encode opens the tools.
    void contextMenuOfFilesElsewhere()
    {
        useWorkingFolder("menu", "exit 0");
        const auto task = newTask(2);
        addFile(task, path("elsewhere/clip.mp4"), false);
        const auto view = completedView(task);
        std::unique_ptr<QMenu> menu(view->menuForEvent(Qt::NoModifier));
        QCOMPARE(titlesOf(menu.get()),
                 (QStringList{"Show In Finder", "Open Web Source", "Video Encode", "Move Files"}));
        menu->actions().at(2)->trigger(); // Video Encode
        QDialog *sheet = SheetQueue::currentSheet(view->window());
        QVERIFY(sheet);
        QCOMPARE(sheet->windowTitle(), "Video Tools");
        sheet->reject();
    }

    void actionsThatTellTheUser_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<int>("files");
        QTest::addColumn<QString>("message");
        addRow(
            "merge of three files", "merge", 3,
            "只测试过音频、视频2个文件合并， 更多文件的合并未曾测试。\n请联系开发者阐明您的需求。");
        addRow("merge that fails", "merge", 2, "Merge files failed.");
        addRow("move that fails", "move", 1,
               "Some files could not be moved into the working folder; they stay where they are.");
    }

    // Nothing is lost when an action fails or is refused: the task keeps its files.
    void actionsThatTellTheUser()
    {
        QFETCH(QString, action);
        QFETCH(int, files);
        AlertScript script;
        const QString folder = useWorkingFolder(QTest::currentDataTag(), "exit 0");
        const auto task = newTask(2);
        QStringList paths;
        for (int i = 0; i < files; ++i) {
            // ffmpeg cannot merge text. The move's file lies outside the folder.
            paths << (action == "move" ? path("outside-%1.mp4").arg(i)
                                       : QStringLiteral("%1/part%2.mp4").arg(folder).arg(i));
            addFile(task, paths.last(), true);
        }
        // A move never replaces a file: one of the same name waits in the working folder.
        if (action == "move") QFile::copy(paths.first(), folder + "/outside-0.mp4");
        const auto view = completedView(task);
        QSignalSpy busyEnded(view.get(), &XTaskCompleted::busyEnded);
        if (action == "merge")
            view->mergeFiles();
        else
            view->moveLocalFiles();
        if (view->isBusy()) QVERIFY(busyEnded.wait(30000));

        QCOMPARE(script.alerts().size(), 1);
        QTEST(script.alerts().first().messageText, "message");
        QCOMPARE(task->loadLocalFiles().size(), files);
        for (const QString &file : paths)
            QVERIFY(QFileInfo::exists(file));
    }

    void mergeOfTwoGeneratedFiles()
    {
        const QString folder = useWorkingFolder("merge", "exit 0");
        const QString video = folder + "/clip.f1.mp4";
        const QString audio = folder + "/clip.f2.m4a";
        QVERIFY(MediaFactory::makeVideoOf(video, "testsrc2=size=160x120:rate=10:duration=1"));
        QVERIFY(MediaFactory::makeTone(audio, 1));
        const auto task = newTask(2);
        addFile(task, video, false);
        addFile(task, audio, false);
        const auto view = completedView(task);
        std::unique_ptr<QMenu> menu(view->menuForEvent(Qt::NoModifier));
        QSignalSpy busyEnded(view.get(), &XTaskCompleted::busyEnded);
        QCOMPARE(menu->actions().at(3)->text(), "Merge 2 files"); // files inside: no Move
        menu->actions().at(3)->trigger();
        QVERIFY(view->isBusy());
        QVERIFY(busyEnded.wait(60000));
        const auto files = store().filesForTask(task);
        QCOMPARE(files.size(), 1);
        QVERIFY(QFileInfo(files.first()->localFile()).size() > 0);
        QVERIFY(!QFileInfo::exists(video) && !QFileInfo::exists(audio));
    }

    // Cancelled, the form creates nothing; continued, its task comes first, created.
    void emptyHistoryShowsOnlyTheCreateCell()
    {
        const auto grid = showGrid();
        QVERIFY(grid);
        QCOMPARE(grid->numberOfItemsInSection(), 1);
        XTaskCellView *cell = grid->itemAtIndex(0);
        QCOMPARE(cell->visibleView(), cell->createView());
        QVERIFY(!grid->itemAtIndex(1));

        QTest::mouseClick(cell->createView()->createButton(), Qt::LeftButton);
        auto form = [&] {
            return qobject_cast<NSCreateTaskWindowController *>(
                SheetQueue::currentSheet(grid.get()));
        };
        QVERIFY(form());
        form()->view()->cancelAction();
        QCOMPARE(grid->numberOfItemsInSection(), 1);
        const QString url = newURL();
        grid->createTask(url);
        QVERIFY(form());
        form()->view()->createAction();
        QCOMPARE(grid->numberOfItemsInSection(), 2);
        QCOMPARE(grid->tasks().first()->url(), url);
        QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->normalView());
        QVERIFY(storedElsewhere(url));
    }

    // Removed from the search, a task takes both of its items, its files and its records.
    void newestFirstSearchAndRemoval()
    {
        const auto first = newTask(2);
        const auto second = newTask(0);
        const auto third = newTask(3);
        const QStringList firstFiles{path("Alpha one.mp4"), path("Alpha two.mp4")};
        for (const QString &file : firstFiles)
            addFile(first, file, true);
        addFile(second, path("Beta.mp4"), false);
        const auto grid = showGrid();
        QCOMPARE(grid->tasks(), (Tasks{third, second, first}));

        grid->taskWithString("ALPHA");
        QCOMPARE(grid->tasks(), (Tasks{first, first}));
        QCOMPARE(grid->itemAtIndex(2)->task(), first);
        QTest::mouseClick(grid->itemAtIndex(1)->completedView()->deleteButton(), Qt::LeftButton);
        QCOMPARE(grid->numberOfItemsInSection(), 1);
        QCOMPARE(grid->searchText(), "ALPHA");
        for (const QString &file : firstFiles)
            QVERIFY(!QFileInfo::exists(file));
        QVERIFY(!storedElsewhere(first->url()));

        grid->taskWithString(QString());
        QCOMPARE(grid->tasks(), (Tasks{third, second}));
    }

    // Every left click opens an item (a created one copies its URL, a finished one shows its
    // detail), a right click does not; the keys move, open and show the menu.
    void clicksAndKeys()
    {
        const auto created = newTask(0);
        const auto completed = newTask(2);
        addFile(completed, path("Keyed.mp4"), false);
        const auto grid = showGrid();
        AlertScript script;
        const QString copied = "已复制\n\n" + created->url();
        QLabel *label = grid->itemAtIndex(2)->normalView()->urlLabel();
        const QPoint offButtons(20, grid->itemAtIndex(2)->height() / 2 - 10);
        QTest::mouseClick(label, Qt::LeftButton, {}, offButtons);
        QTest::mouseClick(label, Qt::LeftButton, {}, offButtons);
        QTest::mouseClick(label, Qt::RightButton, {}, offButtons);
        QCOMPARE(script.alerts().size(), 2);
        QCOMPARE(script.alerts().last().messageText, copied);
        QCOMPARE(QApplication::clipboard()->text(), created->url());
        QCOMPARE(grid->focusedItem(), 2);
        QTest::mouseClick(grid->itemAtIndex(1)->completedView(), Qt::LeftButton, {}, {20, 20});
        QDialog *detail = SheetQueue::currentSheet(grid.get());
        QVERIFY(detail);
        QCOMPARE(detail->windowTitle(), "Task Detail");
        detail->reject();
        QCOMPARE(script.alerts().size(), 2);

        focusItem(*grid, 2);
        QTest::keyClick(grid.get(), Qt::Key_Return);
        QCOMPARE(script.alerts().size(), 3);
        QCOMPARE(script.alerts().last().messageText, copied);
        focusItem(*grid, 1);
        QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {}, Qt::AltModifier);
        QApplication::sendEvent(grid.get(), &menuKey);
        auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
        QVERIFY(menu);
        QVERIFY(titlesOf(menu).contains("开发调试"));
        menu->close();
        // Not set up, a start offers the settings and the task stays as it was.
        noWorkingFolder();
        script.queueAnswer(Alert::FirstButtonReturn);
        QSignalSpy settings(grid.get(), &NSHistoryView::settingsWanted);
        QTest::mouseClick(grid->itemAtIndex(2)->normalView()->controlButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(settings.size(), 1, 10000);
        QCOMPARE(script.alerts().size(), 4);
        QCOMPARE(script.alerts().last().buttons, (QStringList{"Open Settings", "Cancel"}));
        QCOMPARE(grid->itemAtIndex(2)->visibleView(), grid->itemAtIndex(2)->normalView());
    }

    void detail_data()
    {
        QTest::addColumn<QString>("files");
        QTest::addColumn<QString>("closedBy");
        addRow("records", "records", "Close");
        addRow("legacy list", "legacy", "Esc");
        addRow("no file", "none", "window");
        addRow("file gone", "missing", "Close");
    }

    // Each way a task keeps its files, walked as a screen reader walks it; its new note is kept
    // however the sheet closes.
    void detail()
    {
        QFETCH(QString, files);
        QFETCH(QString, closedBy);
        useWorkingFolder("detail", "exit 0");
        const auto task = store().creatTaskURL(newURL(), "Firefox", "old");
        task->setStatus(XTask::StatusCompleted);
        const QString clip = clipWithDescription("clip " + files);
        QVERIFY(!clip.isEmpty());
        if (files == "records" || files == "missing") task->saveLocalFiles({clip});
        if (files == "legacy") task->setLocalFile(clip + "\n" + path("b.m4a"));
        if (files == "missing") QVERIFY(QFile::remove(clip));
        QVERIFY(store().save());
        const auto sheet = openDetail(task);
        QVERIFY(sheet);
        QSignalSpy finished(sheet.get(), &QDialog::finished);

        const bool hasFile = files != "none";
        const bool onDisk = files == "records" || files == "legacy";
        QCOMPARE(shownBeside(sheet.get(), "Name"),
                 hasFile ? QFileInfo(clip).completeBaseName() : QString());
        QCOMPARE(shownBeside(sheet.get(), "Location").contains(clip.toHtmlEscaped()), hasFile);
        QCOMPARE(shownBeside(sheet.get(), "Description"),
                 hasFile ? "What the page says." : QString());
        QVERIFY(task->localFile().isNull()); // the legacy list became records
        QCOMPARE(named(sheet.get(), "Show in Folder")->isEnabled(), onDisk);
        QCOMPARE(named(sheet.get(), "Media Information")->isEnabled(), onDisk);
        QLabel *gone = named<QLabel>(sheet.get(), "The file is no longer on the disk.");
        QCOMPARE(gone && gone->isVisible(), files == "missing");
        QCOMPARE(AccessibilityWalk::unnamedControls(sheet.get()), QStringList());
        // The URL goes to the clipboard without a word.
        AlertScript script;
        QTest::mouseClick(named(sheet.get(), "Copy URL"), Qt::LeftButton);
        QCOMPARE(QGuiApplication::clipboard()->text(), task->url());
        QVERIFY(script.alerts().isEmpty() && finished.isEmpty());

        auto *note = named<QPlainTextEdit>(sheet.get(), "Note");
        note->setFocus();
        note->selectAll();
        QTest::keyClicks(note, "new note");
        if (closedBy == "Close")
            QTest::mouseClick(named(sheet.get(), "Close"), Qt::LeftButton);
        else if (closedBy == "Esc")
            QTest::keyClick(note, Qt::Key_Escape);
        else
            sheet->close();
        QCOMPARE(finished.size(), 1);
        XCoreDataManagement reopened(store().storePath());
        QVERIFY(reopened.open());
        const auto stored = reopened.searchURL(task->url());
        QCOMPARE(stored.size(), 1);
        QCOMPARE(stored[0]->note(), "new note");
    }

    // The report of a real clip from just after its first "Metadata:", read off the main
    // thread: the click returns before ffprobe has answered. A report without that section
    // shows whole.
    void detailMediaInformation()
    {
        const QString folder = useWorkingFolder("report", "exit 0");
        const auto task = newTask(2);
        const QString clip = clipWithDescription("media clip");
        task->saveLocalFiles({clip});
        const auto sheet = openDetail(task);
        QVERIFY(sheet);
        AlertScript script;
        QTest::mouseClick(named(sheet.get(), "Media Information"), Qt::LeftButton);
        QVERIFY(script.alerts().isEmpty());
        QTRY_COMPARE(script.alerts().size(), 1);
        const Alert shown = script.alerts()[0];
        QCOMPARE(shown.messageText, "media clip.mp4");
        const QString report = NSffprobe::detailMediaFileURL(QUrl::fromLocalFile(clip), folder);
        QVERIFY(report.contains("Input #0") && !shown.informativeText.contains("Input #0"));
        QVERIFY(shown.informativeText.contains("major_brand"));
        QVERIFY(report.endsWith(shown.informativeText));
        QCOMPARE(TaskDetailView::mediaReportAfterMetadata("no such section"), "no such section");
    }

    // The rows on screen and one either side, whatever the history's length.
    void liveCellsDoNotGrowWithTheHistory()
    {
        const QSize oneColumn(NSHistoryView::itemSize.width() + 40, 320);
        makeTasks(10); // already past the screen
        const int fewTasks = maxLiveCells(*showGrid(oneColumn));
        makeTasks(990);
        const auto grid = showGrid(oneColumn);
        QCOMPARE(grid->numberOfItemsInSection(), 1001);
        QCOMPARE(maxLiveCells(*grid), fewTasks);
        const int rows = 320 / (NSHistoryView::itemSize.height() + NSHistoryView::spacing) + 2;
        QVERIFY2(fewTasks <= rows + 2, qPrintable(QString::number(fewTasks)));
    }

    // Every cell is given another task before any decode has come back; until every cell
    // shows a picture, none may show another task's.
    void recycledCellShowsOnlyItsOwnTasksPicture()
    {
        QHash<const XTask *, int> hues;
        for (int hue = 0; hue < 40 * 47; hue += 47)
            hues[newTask(2, jpegOf(QColor::fromHsv(hue % 360, 255, 230), 320, 180)).get()] =
                hue % 360;
        const auto grid = showGrid();
        grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
        auto missingOrWrong = [&]() -> int { // -1: a wrong picture
            int missing = 0;
            for (int item = 1; item < grid->numberOfItemsInSection(); ++item) {
                XTaskCellView *cell = grid->itemAtIndex(item);
                const QImage shown = cell ? cell->completedView()->picture().toImage() : QImage();
                missing += cell && shown.isNull();
                if (shown.isNull()) continue;
                const int off = std::abs(shown.pixelColor(shown.rect().center()).hsvHue() -
                                         hues.value(cell->task().get()));
                if (off > 10 && off < 350) return -1;
            }
            return missing;
        };
        QElapsedTimer timer;
        timer.start();
        int missing = missingOrWrong();
        for (; missing > 0 && timer.elapsed() < 10000; missing = missingOrWrong())
            QTest::qWait(5);
        QCOMPARE(missing, 0);
    }

    // Another process's task shows within two seconds of its commit, first, the scroll kept.
    void taskAddedByZelvoCliAppears()
    {
        makeTasks(30);
        useWorkingFolder("cli", "echo 'ERROR: no video here'\n");
        const auto grid = showGrid();
        grid->verticalScrollBar()->setValue(200);
        const QString url = newURL();
        QProcess cli;
        cli.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", {"download", url});
        QTRY_COMPARE_WITH_TIMEOUT(cli.state(), QProcess::NotRunning, 60000);
        QElapsedTimer sinceCommit;
        sinceCommit.start();
        QTRY_VERIFY_WITH_TIMEOUT(grid->tasks().first()->url() == url, 2000);
        QVERIFY(sinceCommit.elapsed() < 2000);
        QCOMPARE(grid->verticalScrollBar()->value(), 200);
    }

    // Started, paused, resumed, ended while its cell went to other tasks, retried, and
    // removed while running: the removal takes its pieces when it ends.
    void downloadThroughTheGrid()
    {
        const QString folder = path("waiting/work");
        useWorkingFolder("waiting", waitingYtdlp(folder));
        StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, true);
        makeTasks(30);
        const auto grid = showGrid();
        QScrollBar *bar = grid->verticalScrollBar();
        bar->setValue(bar->maximum());
        auto cell = [&] { return grid->itemAtIndex(1); };

        // A new task starts through item 1's cell, so the grid goes back to the top first.
        const auto task = store().creatTaskURL(newURL(), "None", {});
        QVERIFY(store().save());
        grid->insertTaskAtFirst(task);
        StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, QVariant());
        QCOMPARE(bar->value(), 0);
        QVERIFY(m_downloads.isRunning(*task));
        QCOMPARE(cell()->visibleView(), cell()->progressView());
        QTRY_COMPARE_WITH_TIMEOUT(cell()->progressView()->progressLabel()->text(), "42.5% 3 of 12",
                                  10000);
        QCOMPARE(cell()->progressView()->levelIndicator()->value(), 2);
        // Scrolled away, no view keeps refreshing; back again, the one shown does.
        bar->setValue(bar->maximum());
        QCOMPARE(refreshingViews(*grid), 0);
        bar->setValue(0);
        QCOMPARE(refreshingViews(*grid), 1);

        QTest::mouseClick(cell()->progressView()->pauseButton(), Qt::LeftButton);
        QCOMPARE(cell()->visibleView(), cell()->normalView());
        QCOMPARE(task->currentStatus(), qint64(XTask::StatusCreated));
        QVERIFY(!task->hasChanges());
        QTest::mouseClick(cell()->normalView()->controlButton(), Qt::LeftButton);
        QCOMPARE(cell()->visibleView(), cell()->progressView());
        bar->setValue(bar->maximum());
        bar->setValue(0);
        QTRY_VERIFY_WITH_TIMEOUT(
            m_downloads.isRunning(*task) && QFileInfo::exists(folder + "/clip.mp4.part"), 10000);
        QFile stop(folder + "/stop");
        QVERIFY(stop.open(QIODevice::WriteOnly));
        stop.close();
        QTRY_COMPARE_WITH_TIMEOUT(cell()->visibleView(),
                                  static_cast<QWidget *>(cell()->failedView()), 20000);
        QVERIFY(cell()->failedView()->textView()->toPlainText().contains("stopped by the test"));

        QFile::remove(folder + "/stop");
        QTest::mouseClick(cell()->failedView()->retryButton(), Qt::LeftButton);
        QCOMPARE(cell()->visibleView(), cell()->progressView());
        QVERIFY(m_downloads.isRunning(*task));
        QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + "/clip.mp4.part"), 10000);
        focusItem(*grid, 1);
        QTest::keyClick(grid.get(), Qt::Key_Delete);
        QCOMPARE(grid->numberOfItemsInSection(), 31);
        QTRY_VERIFY_WITH_TIMEOUT(!m_downloads.isRunning(*task), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!storedElsewhere(task->url()), 5000);
        QVERIFY(!QFileInfo::exists(folder + "/clip.mp4.part"));
    }
};

QTEST_MAIN(TestHistoryGrid)
#include "tst_history_grid.moc"
