// The history grid: its items and their order, search, removal, clicks and keys, the cells
// it keeps (no more for a long history), thumbnails on recycled cells, and downloads started,
// paused, ended and removed through it, with a fake yt-dlp that reports progress and waits,
// and a task another process adds.
#include "GridTestSupport.h"

#include "app/NSCreateTaskView.h"
#include "app/NSCreateTaskWindowController.h"
#include "desktop/AlertScript.h"
#include "desktop/SheetQueue.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/XCoreDataManagement.h"
#include "support/AccessibilityWalk.h"
#include "support/TestEnvironment.h"
#include "tasklist/NSHistoryView.h"
#include "tasklist/PaintedButton.h"
#include "tasklist/XTaskCellView.h"
#include "tasklist/XTaskCompleted.h"
#include "tasklist/XTaskCreateView.h"
#include "tasklist/XTaskFailedView.h"
#include "tasklist/XTaskNormal.h"
#include "tasklist/XTaskProgressing.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProcess>
#include <QProgressBar>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

class TestHistoryGrid : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    DownloadRegistry m_downloads;
    int m_serial = 0;

    static XCoreDataManagement &store() { return XCoreDataManagement::shared(); }
    QString newURL() { return QStringLiteral("https://video.test/watch?v=g%1").arg(++m_serial); }
    std::shared_ptr<XTask> newTask(qint64 status, const QByteArray &picture = {})
    {
        return GridTestSupport::makeTask(newURL(), status, picture);
    }
    static void clearHistory()
    {
        for (const auto &task : store().existHistorys())
            QVERIFY(store().removeItem(task));
    }
    void makeTasks(int count)
    {
        for (int i = 0; i < count; ++i)
            store().creatTaskURL(newURL(), QStringLiteral("None"), QString())->setStatus(0);
        QVERIFY(store().save());
    }
    std::unique_ptr<NSHistoryView> showGrid(QSize size = QSize(440, 320))
    {
        auto grid = std::make_unique<NSHistoryView>(m_downloads);
        grid->resize(size);
        grid->show();
        if (!QTest::qWaitForWindowExposed(grid.get())) return nullptr;
        return grid;
    }
    static void focusItem(NSHistoryView &grid, int item)
    {
        grid.setFocus();
        QTest::keyClick(&grid, Qt::Key_Up);
        while (grid.focusedItem() > item)
            QTest::keyClick(&grid, Qt::Key_Left);
        while (grid.focusedItem() < item)
            QTest::keyClick(&grid, Qt::Key_Right);
    }
    static bool storedElsewhere(const QString &url)
    {
        XCoreDataManagement reopened(XCoreDataManagement::defaultStorePath());
        return reopened.open() && reopened.existURL(url);
    }
    static int refreshingViews(const NSHistoryView &grid)
    {
        int count = 0;
        for (const XTaskProgressing *view : grid.findChildren<XTaskProgressing *>())
            count += view->isRefreshing();
        return count;
    }
    static int maxLiveCells(NSHistoryView &grid)
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

private slots:
    void initTestCase();
    void init() { clearHistory(); }
    void emptyHistoryShowsOnlyTheCreateCell();
    void newestFirstSearchAndRemoval();
    void everyLeftClickOpensARightClickDoesNot();
    void liveCellsDoNotGrowWithTheHistory();
    void recycledCellShowsOnlyItsOwnTasksPicture();
    void keyboardMovesOpensRemovesAndOpensTheMenu();
    void taskAddedByZelvoCliAppears();
    void downloadStartedPausedAndEndedThroughTheGrid();
    void notSetUpOffersTheSettings();
    void removingARunningTaskTakesItsPiecesWhenItEnds();
    void everyKindOfCellIsNamedForScreenReaders();
};

void TestHistoryGrid::initTestCase()
{
    TestEnvironment::isolateHome();
    QVERIFY(m_root.isValid());
    QVERIFY(store().isOpen());
}

void TestHistoryGrid::emptyHistoryShowsOnlyTheCreateCell()
{
    const auto grid = showGrid();
    QVERIFY(grid);
    QCOMPARE(grid->numberOfItemsInSection(), 1);
    QCOMPARE(grid->liveCellCount(), 1);
    XTaskCellView *cell = grid->itemAtIndex(0);
    QCOMPARE(cell->visibleView(), cell->createView());
    QVERIFY(!grid->itemAtIndex(1));

    // Cancelled, the form creates nothing; continued, its task comes first, created.
    QTest::mouseClick(cell->createView()->createButton(), Qt::LeftButton);
    auto *form = qobject_cast<NSCreateTaskWindowController *>(SheetQueue::currentSheet(grid.get()));
    QVERIFY(form);
    QCOMPARE(form->windowTitle(), QStringLiteral("New Task"));
    form->view()->cancelAction();
    QCOMPARE(grid->numberOfItemsInSection(), 1);

    const QString url = newURL();
    grid->createTask(url);
    form = qobject_cast<NSCreateTaskWindowController *>(SheetQueue::currentSheet(grid.get()));
    QVERIFY(form);
    form->view()->createAction();
    QCOMPARE(grid->numberOfItemsInSection(), 2);
    QCOMPARE(grid->tasks().first()->url(), url);
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->normalView());
    QVERIFY(storedElsewhere(url));
}

void TestHistoryGrid::newestFirstSearchAndRemoval()
{
    const auto first = newTask(2);
    const auto second = newTask(0);
    const auto third = newTask(3);
    QStringList firstFiles;
    for (const char *name : {"Alpha one.mp4", "Alpha two.mp4"}) {
        firstFiles << m_root.filePath(name);
        QFile file(firstFiles.last());
        QVERIFY(file.open(QIODevice::WriteOnly));
        GridTestSupport::addFile(first, firstFiles.last());
    }
    GridTestSupport::addFile(second, m_root.filePath("Beta.mp4"));
    const auto grid = showGrid();
    QCOMPARE(grid->tasks(), (QList<std::shared_ptr<XTask>>{third, second, first}));

    grid->taskWithString(QStringLiteral("ALPHA"));
    QCOMPARE(grid->tasks(), (QList<std::shared_ptr<XTask>>{first, first}));
    QCOMPARE(grid->itemAtIndex(2)->task(), first);
    // Removing it from the search takes both of its items, its files and its records.
    XTaskCompleted *shown = grid->itemAtIndex(1)->completedView();
    QTest::mouseClick(shown->deleteButton(), Qt::LeftButton);
    QCOMPARE(grid->numberOfItemsInSection(), 1);
    QCOMPARE(grid->searchText(), QStringLiteral("ALPHA"));
    for (const QString &file : firstFiles)
        QVERIFY(!QFileInfo::exists(file));
    QVERIFY(!storedElsewhere(first->url()));

    grid->taskWithString(QString());
    QCOMPARE(grid->tasks(), (QList<std::shared_ptr<XTask>>{third, second}));
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->failedView());
}

void TestHistoryGrid::everyLeftClickOpensARightClickDoesNot()
{
    const auto task = newTask(0);
    const auto grid = showGrid();
    AlertScript script;
    XTaskCellView *cell = grid->itemAtIndex(1);
    const QPoint offButtons(20, cell->height() / 2 - 10);

    QTest::mouseClick(cell->normalView()->urlLabel(), Qt::LeftButton, {}, offButtons);
    QTest::mouseClick(cell->normalView()->urlLabel(), Qt::LeftButton, {}, offButtons);
    QTest::mouseClick(cell->normalView()->urlLabel(), Qt::RightButton, {}, offButtons);
    QCOMPARE(script.alerts().size(), 2);
    QCOMPARE(script.alerts().last().messageText, QStringLiteral("已复制\n\n") + task->url());
    QCOMPARE(QApplication::clipboard()->text(), task->url());
    QCOMPARE(grid->focusedItem(), 1);

    const auto completed = newTask(2);
    grid->taskWithString(QString());
    QTest::mouseClick(grid->itemAtIndex(1)->completedView(), Qt::LeftButton, {}, QPoint(20, 20));
    QDialog *detail = SheetQueue::currentSheet(grid.get());
    QVERIFY(detail);
    QCOMPARE(detail->windowTitle(), QStringLiteral("Task Detail"));
    detail->reject();
    QCOMPARE(script.alerts().size(), 2);
}

void TestHistoryGrid::liveCellsDoNotGrowWithTheHistory()
{
    // One column, so that ten tasks already reach past the screen.
    const QSize narrow(NSHistoryView::itemSize.width() + 40, 320);
    makeTasks(10);
    int fewTasks = 0;
    {
        const auto grid = showGrid(narrow);
        fewTasks = maxLiveCells(*grid);
    }
    makeTasks(990);
    const auto grid = showGrid(narrow);
    QCOMPARE(grid->numberOfItemsInSection(), 1001);
    QCOMPARE(maxLiveCells(*grid), fewTasks);
    // The rows on screen and one either side, whatever the history's length.
    const int rowsOnScreen = 320 / (NSHistoryView::itemSize.height() + NSHistoryView::spacing) + 2;
    QVERIFY2(fewTasks <= rowsOnScreen + 2, qPrintable(QString::number(fewTasks)));
}

void TestHistoryGrid::recycledCellShowsOnlyItsOwnTasksPicture()
{
    QHash<const XTask *, int> hues;
    for (int i = 0; i < 40; ++i) {
        const int hue = (i * 47) % 360;
        hues[newTask(2, GridTestSupport::jpegOf(QColor::fromHsv(hue, 255, 230), 320, 180)).get()] =
            hue;
    }
    const auto grid = showGrid();
    // Jump before any decode has come back: every cell is given another task meanwhile.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    // Until every cell shows a picture, none may show another task's.
    auto checkCells = [&]() -> int {
        int missing = 0;
        for (int item = 1; item < grid->numberOfItemsInSection(); ++item) {
            XTaskCellView *cell = grid->itemAtIndex(item);
            if (!cell) continue;
            const QPixmap &picture = cell->completedView()->picture();
            if (picture.isNull()) {
                ++missing;
                continue;
            }
            const QImage shown = picture.toImage();
            const int hue = shown.pixelColor(shown.rect().center()).hsvHue();
            const int wanted = hues.value(cell->task().get());
            if (std::abs(hue - wanted) > 10 && std::abs(hue - wanted) < 350) return -1; // wrong
        }
        return missing;
    };
    QElapsedTimer timer;
    timer.start();
    int missing = checkCells();
    while (missing > 0 && timer.elapsed() < 10000) {
        QTest::qWait(5);
        missing = checkCells();
    }
    QCOMPARE(missing, 0);
}

void TestHistoryGrid::keyboardMovesOpensRemovesAndOpensTheMenu()
{
    const auto created = newTask(0);
    const auto completed = newTask(2);
    GridTestSupport::addFile(completed, m_root.filePath("Keyed.mp4"));
    const auto grid = showGrid();
    AlertScript script;

    focusItem(*grid, 2);
    QVERIFY(grid->itemAtIndex(2)->hasFocusFrame());
    QVERIFY(!grid->itemAtIndex(1)->hasFocusFrame());
    QTest::keyClick(grid.get(), Qt::Key_Return);
    QCOMPARE(script.alerts().size(), 1);
    QCOMPARE(script.alerts().first().messageText, QStringLiteral("已复制\n\n") + created->url());

    focusItem(*grid, 1);
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, QPoint(), QPoint(), Qt::AltModifier);
    QApplication::sendEvent(grid.get(), &menuKey);
    auto *menu = qobject_cast<QMenu *>(QApplication::activePopupWidget());
    QVERIFY(menu);
    QVERIFY(menu->actions().size() > 5);
    QCOMPARE(menu->actions().at(4)->text(), QStringLiteral("开发调试"));
    menu->close();

    focusItem(*grid, 2);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->tasks(), QList<std::shared_ptr<XTask>>{completed});
    QVERIFY(!storedElsewhere(created->url()));
}

void TestHistoryGrid::taskAddedByZelvoCliAppears()
{
    makeTasks(30);
    GridTestSupport::useWorkingFolder(m_root.filePath("cli"), "echo 'ERROR: no video here'\n");
    const auto grid = showGrid();
    grid->verticalScrollBar()->setValue(200);
    const QString url = newURL();

    QProcess cli;
    cli.start(QCoreApplication::applicationDirPath() + "/zelvo-cli", {"download", url});
    QTRY_COMPARE_WITH_TIMEOUT(cli.state(), QProcess::NotRunning, 60000);
    QElapsedTimer sinceCommit;
    sinceCommit.start();
    auto listed = [&] {
        for (const auto &task : grid->tasks())
            if (task->url() == url) return true;
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(listed(), 2000);
    QVERIFY(sinceCommit.elapsed() < 2000);
    QCOMPARE(grid->tasks().first()->url(), url);
    QCOMPARE(grid->verticalScrollBar()->value(), 200);
}

void TestHistoryGrid::downloadStartedPausedAndEndedThroughTheGrid()
{
    const QString folder = m_root.filePath("waiting/work");
    GridTestSupport::useWorkingFolder(m_root.filePath("waiting"),
                                      GridTestSupport::waitingYtdlp(folder));
    StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, true);
    makeTasks(30);
    const auto grid = showGrid();
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());

    // A new task starts through item 1's cell, so the grid goes back to the top first.
    const auto task = store().creatTaskURL(newURL(), "None", QString());
    QVERIFY(store().save());
    grid->insertTaskAtFirst(task);
    StoredSettings::setValue(StoredSettings::KEY_AUDO_START_DOWNLOAD, QVariant());
    QCOMPARE(grid->verticalScrollBar()->value(), 0);
    QVERIFY(m_downloads.isRunning(*task));
    XTaskProgressing *progress = grid->itemAtIndex(1)->progressView();
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), progress);
    QTRY_COMPARE_WITH_TIMEOUT(progress->progressLabel()->text(), QStringLiteral("42.5% 3 of 12"),
                              10000);
    QCOMPARE(progress->levelIndicator()->value(), 2);

    // Scrolled away, no view keeps refreshing; back again, the one shown does.
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    QCOMPARE(refreshingViews(*grid), 0);
    grid->verticalScrollBar()->setValue(0);
    QCOMPARE(refreshingViews(*grid), 1);

    QTest::mouseClick(grid->itemAtIndex(1)->progressView()->pauseButton(), Qt::LeftButton);
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->normalView());
    QCOMPARE(task->currentStatus(), qint64(XTask::StatusCreated));
    QVERIFY(!task->hasChanges());

    // Resumed, then ended while its cell went to other tasks and came back.
    QTest::mouseClick(grid->itemAtIndex(1)->normalView()->controlButton(), Qt::LeftButton);
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->progressView());
    grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum());
    grid->verticalScrollBar()->setValue(0);
    QTRY_VERIFY_WITH_TIMEOUT(
        m_downloads.isRunning(*task) && QFileInfo::exists(folder + "/clip.mp4.part"), 10000);
    QFile stop(folder + "/stop");
    QVERIFY(stop.open(QIODevice::WriteOnly));
    stop.close();
    QTRY_COMPARE_WITH_TIMEOUT(grid->itemAtIndex(1)->visibleView(),
                              static_cast<QWidget *>(grid->itemAtIndex(1)->failedView()), 20000);
    QVERIFY(grid->itemAtIndex(1)->failedView()->textView()->toPlainText().contains(
        "stopped by the test"));

    // Retried, it runs again through the registry.
    QFile::remove(folder + "/stop");
    QTest::mouseClick(grid->itemAtIndex(1)->failedView()->retryButton(), Qt::LeftButton);
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->progressView());
    QVERIFY(m_downloads.isRunning(*task));
    m_downloads.stopAll();
}

void TestHistoryGrid::notSetUpOffersTheSettings()
{
    StoredSettings::setValue(StoredSettings::KEY_WORKING_URL_DATA, QVariant());
    newTask(0);
    const auto grid = showGrid();
    AlertScript script;
    script.queueAnswer(Alert::FirstButtonReturn);
    QSignalSpy settings(grid.get(), &NSHistoryView::settingsWanted);

    QTest::mouseClick(grid->itemAtIndex(1)->normalView()->controlButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(settings.size(), 1, 10000);
    QCOMPARE(script.alerts().size(), 1);
    QCOMPARE(script.alerts().first().messageText,
             QStringLiteral("yt-dlp is not installed in a working folder."));
    QCOMPARE(script.alerts().first().buttons, (QStringList{"Open Settings", "Cancel"}));
    QCOMPARE(grid->itemAtIndex(1)->visibleView(), grid->itemAtIndex(1)->normalView());
}

void TestHistoryGrid::removingARunningTaskTakesItsPiecesWhenItEnds()
{
    const QString folder = m_root.filePath("removed/work");
    GridTestSupport::useWorkingFolder(m_root.filePath("removed"),
                                      GridTestSupport::waitingYtdlp(folder));
    const auto task = newTask(0);
    const auto grid = showGrid();
    QTest::mouseClick(grid->itemAtIndex(1)->normalView()->controlButton(), Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(folder + "/clip.mp4.part"), 10000);

    focusItem(*grid, 1);
    QTest::keyClick(grid.get(), Qt::Key_Delete);
    QCOMPARE(grid->numberOfItemsInSection(), 1);
    QTRY_VERIFY_WITH_TIMEOUT(!m_downloads.isRunning(*task), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!storedElsewhere(task->url()), 5000);
    QVERIFY(!QFileInfo::exists(folder + "/clip.mp4.part"));
}

void TestHistoryGrid::everyKindOfCellIsNamedForScreenReaders()
{
    newTask(3)->setFailed_reason("HTTP Error 404");
    newTask(2);
    newTask(1)->progress(0.42f, 0, 1000);
    newTask(0);
    const auto grid = showGrid(QSize(900, 400));
    QCOMPARE(AccessibilityWalk::unnamedControls(grid.get()), QStringList());
    const QStringList states{"新下载", "created", "downloading 42.0%", "completed",
                             "failed: HTTP Error 404"};
    for (int item = 0; item < states.size(); ++item) {
        const QString name =
            QAccessible::queryAccessibleInterface(grid->itemAtIndex(item))->text(QAccessible::Name);
        QVERIFY2(name.endsWith(states.at(item)), qPrintable(name));
    }
}

QTEST_MAIN(TestHistoryGrid)
#include "tst_history_grid.moc"
