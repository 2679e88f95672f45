#include "tasklist/NSHistoryView.h"

#include "app/NSCreateTaskView.h"
#include "app/NSCreateTaskWindowController.h"
#include "desktop/Alerts.h"
#include "desktop/DesktopServices.h"
#include "desktop/SheetQueue.h"
#include "store/DownloadRegistry.h"
#include "store/StoredSettings.h"
#include "store/TaskEvents.h"
#include "store/XCoreDataManagement.h"
#include "store/XTask.h"
#include "tasklist/TaskCellAccessibility.h"
#include "tasklist/TaskDetailView.h"
#include "tasklist/TaskDetailWindowController.h"
#include "tasklist/XTaskCellView.h"
#include "tasklist/XTaskCompleted.h"

#include <QAccessible>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QScrollBar>

#include <algorithm>

QPointer<NSHistoryView> NSHistoryView::s_shared;

namespace
{

XCoreDataManagement &store()
{
    return XCoreDataManagement::shared();
}

constexpr int pitchX = NSHistoryView::itemSize.width() + NSHistoryView::spacing;
constexpr int pitchY = NSHistoryView::itemSize.height() + NSHistoryView::spacing;

} // namespace

NSHistoryView::NSHistoryView(DownloadRegistry &downloads, QWidget *parent)
    : QAbstractScrollArea(parent), m_downloads(downloads),
      m_thumbnails(m_jobs), m_services{downloads, m_jobs, m_thumbnails}
{
    TaskCellAccessibility::install();
    s_shared = this;
    setAccessibleName(tr("Tasks"));
    setFocusPolicy(Qt::StrongFocus);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setFrameShape(QFrame::NoFrame);

    const TaskEvents &events = store().events();
    connect(&events, &TaskEvents::taskInserted, this, &NSHistoryView::taskInserted);
    connect(&events, &TaskEvents::taskChanged, this, &NSHistoryView::taskChanged);
    connect(&events, &TaskEvents::taskRemoved, this, &NSHistoryView::taskRemoved);
    connect(&m_downloads, &DownloadRegistry::downloadEnded, this, &NSHistoryView::downloadEnded);

    // The cells are laid out at the first resize, at the size the grid is shown with.
    m_tasks = store().existHistorys();
}

NSHistoryView::~NSHistoryView()
{
    // The cells go before the job runner and the thumbnails they use.
    for (auto &[item, cell] : m_visibleCells)
        delete cell;
    qDeleteAll(m_reuseQueue);
}

NSHistoryView *NSHistoryView::shared()
{
    return s_shared;
}

int NSHistoryView::columnCount() const
{
    return std::max(1, (viewport()->width() - spacing) / pitchX);
}

QRect NSHistoryView::itemRect(int item) const
{
    const int columns = columnCount();
    const int used = columns * pitchX - spacing;
    const int left = std::max(spacing, (viewport()->width() - used) / 2);
    const int x = left + (item % columns) * pitchX;
    const int y = spacing + (item / columns) * pitchY - verticalScrollBar()->value();
    return QRect(QPoint(x, y), itemSize);
}

void NSHistoryView::updateScrollRange()
{
    const int columns = columnCount();
    const int rows = (numberOfItemsInSection() + columns - 1) / columns;
    const int contentHeight = spacing + rows * pitchY;
    const int visible = viewport()->height();
    verticalScrollBar()->setRange(0, std::max(0, contentHeight - visible));
    verticalScrollBar()->setPageStep(visible);
    verticalScrollBar()->setSingleStep(pitchY);
}

void NSHistoryView::layoutCells()
{
    if (m_batchDepth > 0) return;
    const int columns = columnCount();
    const int top = verticalScrollBar()->value();
    // The rows on screen and one either side.
    const int firstRow = std::max(0, (top - spacing) / pitchY - 1);
    const int lastRow = (top + viewport()->height()) / pitchY + 1;
    const int first = firstRow * columns;
    const int end = std::min(numberOfItemsInSection(), (lastRow + 1) * columns);

    for (auto it = m_visibleCells.begin(); it != m_visibleCells.end();) {
        if (it->first >= first && it->first < end) {
            ++it;
            continue;
        }
        enqueue(it->second);
        it = m_visibleCells.erase(it);
    }
    for (int item = first; item < end; ++item) {
        XTaskCellView *&cell = m_visibleCells[item];
        if (!cell) {
            cell = dequeueReusableItem();
            willDisplayItem(cell, item);
        }
        cell->setGeometry(itemRect(item));
        cell->setFocusFrame(item == m_focusedItem);
        cell->show();
    }
}

XTaskCellView *NSHistoryView::dequeueReusableItem()
{
    if (!m_reuseQueue.isEmpty()) return m_reuseQueue.takeLast();
    auto *cell = new XTaskCellView(m_services, viewport());
    cell->setObjectName(QLatin1String(reuseIdentifier));
    cell->resize(itemSize);
    cell->setRemoveHandler([this](XTaskCellView *shown) {
        if (shown->task()) removeTask(shown->task());
    });
    cell->setCreateHandler([this] { openItem(0); });
    cell->setClickHandler([this](XTaskCellView *clicked) {
        setFocus(Qt::MouseFocusReason);
        didSelectItemsAtIndexPaths({itemOf(clicked)});
    });
    return cell;
}

void NSHistoryView::enqueue(XTaskCellView *cell)
{
    cell->prepareForReuse();
    m_reuseQueue.append(cell);
}

int NSHistoryView::itemOf(const XTaskCellView *cell) const
{
    for (const auto &[item, shown] : m_visibleCells) {
        if (shown == cell) return item;
    }
    return -1;
}

int NSHistoryView::liveCellCount() const
{
    return int(m_visibleCells.size() + m_reuseQueue.size());
}

XTaskCellView *NSHistoryView::itemAtIndex(int item) const
{
    const auto it = m_visibleCells.find(item);
    return it == m_visibleCells.end() ? nullptr : it->second;
}

void NSHistoryView::willDisplayItem(XTaskCellView *cell, int item)
{
    cell->setTask(item == 0 ? nullptr : m_tasks.value(item - 1));
}

void NSHistoryView::didSelectItemsAtIndexPaths(const QList<int> &items)
{
    if (items.isEmpty() || items.first() < 0) return;
    moveFocus(items.first());
    openItem(items.first());
}

void NSHistoryView::openItem(int item)
{
    if (item == 0) {
        createTask();
        return;
    }
    if (XTaskCellView *cell = itemAtIndex(item)) openTaskFrom(cell);
}

void NSHistoryView::insertItemsAtIndexPaths(const QList<int> &items)
{
    QList<int> sorted = items;
    std::sort(sorted.begin(), sorted.end());
    for (int inserted : sorted) {
        std::map<int, XTaskCellView *> shifted;
        for (const auto &[item, cell] : m_visibleCells)
            shifted[item >= inserted ? item + 1 : item] = cell;
        m_visibleCells.swap(shifted);
        if (m_focusedItem >= inserted) ++m_focusedItem;
    }
    if (m_batchDepth == 0) reloadLayout();
}

void NSHistoryView::deleteItemsAtIndexPaths(const QList<int> &items)
{
    QList<int> sorted = items;
    std::sort(sorted.begin(), sorted.end(), std::greater<>());
    for (int deleted : sorted) {
        std::map<int, XTaskCellView *> shifted;
        for (const auto &[item, cell] : m_visibleCells) {
            if (item == deleted)
                enqueue(cell);
            else
                shifted[item > deleted ? item - 1 : item] = cell;
        }
        m_visibleCells.swap(shifted);
        if (m_focusedItem > deleted) --m_focusedItem;
    }
    if (m_batchDepth == 0) reloadLayout();
}

void NSHistoryView::performBatchUpdates(const std::function<void()> &updates,
                                        const std::function<void(bool)> &completion)
{
    ++m_batchDepth;
    updates();
    --m_batchDepth;
    if (m_batchDepth == 0) reloadLayout();
    if (completion) completion(true);
}

void NSHistoryView::reloadLayout()
{
    m_focusedItem = std::min(m_focusedItem, numberOfItemsInSection() - 1);
    updateScrollRange();
    layoutCells();
}

void NSHistoryView::reloadData()
{
    for (auto &[item, cell] : m_visibleCells)
        enqueue(cell);
    m_visibleCells.clear();
    reloadLayout();
}

void NSHistoryView::insertTaskAtFirst(const std::shared_ptr<XTask> &task)
{
    performBatchUpdates(
        [&] {
            m_tasks.insert(0, task);
            insertItemsAtIndexPaths({1});
        },
        [this](bool) {
            if (!StoredSettings::startDownloadAfterCreated()) return;
            // Item 1 has a cell only near the top, and the start goes through that cell.
            verticalScrollBar()->setValue(0);
            if (XTaskCellView *cell = itemAtIndex(1)) cell->startDownload();
        });
}

void NSHistoryView::removeTask(const std::shared_ptr<XTask> &shown)
{
    // A copy: the reference may be the task of a cell that the removal recycles.
    const std::shared_ptr<XTask> task = shown;
    if (m_downloads.removeWhenEnded(task) == DownloadRegistry::RemoveAnswer::Failed) {
        reportRefusedRemoval(task);
        return;
    }
    // A running download is stopped and the task goes with its files once it has ended; the
    // grid lets it go at once.
    dropTask(task);
}

void NSHistoryView::dropTask(const std::shared_ptr<XTask> &task)
{
    // A task listed twice in a search goes from both places.
    performBatchUpdates([&] {
        QList<int> items;
        for (qsizetype i = 0; i < m_tasks.size(); ++i) {
            if (m_tasks.at(i) == task) items << int(i) + 1;
        }
        deleteItemsAtIndexPaths(items);
        m_tasks.removeAll(task);
    });
}

void NSHistoryView::reportRefusedRemoval(const std::shared_ptr<XTask> &task)
{
    Alert alert;
    alert.messageText = tr("The task could not be removed.");
    alert.informativeText =
        tr("Another download (perhaps in another window or zelvo-cli) is working on it:\n%1")
            .arg(task->url());
    Alerts::run(alert, this);
}

void NSHistoryView::openTaskFrom(XTaskCellView *cell)
{
    const std::shared_ptr<XTask> task = cell ? cell->task() : nullptr;
    if (!task) return;
    if (task->currentStatus() == XTask::StatusCompleted) {
        auto *detail = new TaskDetailWindowController(window());
        detail->setAttribute(Qt::WA_DeleteOnClose);
        SheetQueue::present(detail);
        detail->view()->setTask(task.get());
        return;
    }
    DesktopServices::copyText(task->url());
    Alerts::message(tr("已复制\n\n%1").arg(task->url()), this);
}

void NSHistoryView::createTask(const QString &prefillURL)
{
    auto *sheet = new NSCreateTaskWindowController(window());
    sheet->setAttribute(Qt::WA_DeleteOnClose);
    if (!prefillURL.isEmpty()) sheet->view()->setURL(prefillURL);
    connect(sheet, &QDialog::finished, this, [this, sheet](int code) {
        if (code != NSCreateTaskView::NSModalResponseContinue) return;
        // The history's own check, atomic for every process: a URL added meanwhile is
        // refused there.
        const std::shared_ptr<XTask> task = sheet->view()->createTaskIn(store());
        if (!task) return;
        verticalScrollBar()->setValue(0);
        insertTaskAtFirst(task);
    });
    SheetQueue::present(sheet);
}

void NSHistoryView::taskWithString(const QString &text)
{
    m_searchText = text;
    m_tasks = text.isEmpty() ? store().existHistorys() : store().tasksWithString(text);
    reloadData();
}

void NSHistoryView::taskInserted(const std::shared_ptr<XTask> &task)
{
    if (m_tasks.contains(task)) return;
    if (!m_searchText.isEmpty()) {
        // A search shows what it finds: the new task only when one of its files matches.
        const auto found = store().tasksWithString(m_searchText);
        if (!found.contains(task)) return;
        m_tasks = found;
        reloadData();
        return;
    }
    // Newest first; the scroll position stays where the user left it.
    const auto newer = std::find_if(m_tasks.cbegin(), m_tasks.cend(), [&](const auto &shown) {
        return shown->createDate() <= task->createDate();
    });
    const int index = int(newer - m_tasks.cbegin());
    performBatchUpdates([&] {
        m_tasks.insert(index, task);
        insertItemsAtIndexPaths({index + 1});
    });
}

void NSHistoryView::taskChanged(const std::shared_ptr<XTask> &task)
{
    refreshCellsOf(task);
}

void NSHistoryView::taskRemoved(const std::shared_ptr<XTask> &task)
{
    dropTask(task);
}

void NSHistoryView::refreshCellsOf(const std::shared_ptr<XTask> &task)
{
    for (const auto &[item, cell] : m_visibleCells) {
        if (cell->task() == task) cell->refreshTask();
    }
}

void NSHistoryView::downloadEnded(const std::shared_ptr<XTask> &task, const RunEnd &end)
{
    // Whatever cells show the task now, not the one that started it.
    refreshCellsOf(task);
    switch (end.outcome) {
    case RunOutcome::NotSetUp:
        offerSettings();
        break;
    case RunOutcome::SaveFailed:
        Alerts::message(
            tr("The history could not record the end of the download: %1").arg(end.reason), this);
        break;
    case RunOutcome::Refused:
        Alerts::message(tr("The download did not start: %1").arg(end.reason), this);
        break;
    default:
        break;
    }
}

void NSHistoryView::offerSettings()
{
    if (m_offeringSettings) return;
    m_offeringSettings = true;
    Alert alert;
    alert.messageText = tr("yt-dlp is not installed in a working folder.");
    alert.informativeText =
        tr("Open the settings to choose a working folder and install yt-dlp into it.");
    alert.buttons = QStringList{tr("Open Settings"), tr("Cancel")};
    const bool open = Alerts::run(alert, this).response == Alert::FirstButtonReturn;
    m_offeringSettings = false;
    if (open) emit settingsWanted();
}

void NSHistoryView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    reloadLayout();
}

void NSHistoryView::scrollContentsBy(int dx, int dy)
{
    // The cells on screen move with the pixels they drew; only the new ones are laid out.
    viewport()->scroll(dx, dy);
    layoutCells();
}

void NSHistoryView::scrollToItem(int item)
{
    const int columns = columnCount();
    const int top = spacing + (item / columns) * pitchY;
    const int visible = viewport()->height();
    QScrollBar *bar = verticalScrollBar();
    if (top - spacing < bar->value())
        bar->setValue(top - spacing);
    else if (top + itemSize.height() + spacing > bar->value() + visible)
        bar->setValue(top + itemSize.height() + spacing - visible);
}

void NSHistoryView::moveFocus(int item)
{
    if (item < 0 || item >= numberOfItemsInSection()) return;
    if (XTaskCellView *old = itemAtIndex(m_focusedItem)) old->setFocusFrame(false);
    m_focusedItem = item;
    scrollToItem(item);
    if (XTaskCellView *cell = itemAtIndex(item)) {
        cell->setFocusFrame(true);
        QAccessibleEvent focus(cell, QAccessible::Focus);
        QAccessible::updateAccessibility(&focus);
    }
}

void NSHistoryView::moveFocusBy(int key)
{
    const int columns = columnCount();
    const int from = std::max(0, m_focusedItem);
    int to = from;
    if (key == Qt::Key_Left)
        to = from - 1;
    else if (key == Qt::Key_Right)
        to = from + 1;
    else if (key == Qt::Key_Up)
        to = from - columns;
    else if (key == Qt::Key_Down)
        to = from + columns;
    if (m_focusedItem < 0) to = 0;
    moveFocus(std::clamp(to, 0, numberOfItemsInSection() - 1));
}

void NSHistoryView::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        moveFocusBy(event->key());
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Space:
        if (m_focusedItem >= 0) openItem(m_focusedItem);
        return;
    case Qt::Key_Delete:
        if (m_focusedItem >= 1) removeTask(m_tasks.value(m_focusedItem - 1));
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void NSHistoryView::contextMenuEvent(QContextMenuEvent *event)
{
    // The keyboard's menu key asks for the focused item's menu; only finished tasks have one.
    XTaskCellView *cell = itemAtIndex(m_focusedItem);
    if (event->reason() != QContextMenuEvent::Keyboard || !cell ||
        cell->visibleView() != cell->completedView()) {
        event->ignore();
        return;
    }
    cell->completedView()->popUpMenu(cell->mapToGlobal(cell->rect().center()), event->modifiers());
}
