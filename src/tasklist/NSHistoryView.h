#pragma once

#include "platform/JobRunner.h"
#include "store/RunEnd.h"
#include "tasklist/TaskCellServices.h"
#include "tasklist/ThumbnailLoader.h"

#include <QAbstractScrollArea>
#include <QList>
#include <QPointer>

#include <functional>
#include <map>
#include <memory>

class DownloadRegistry;
class XTask;
class XTaskCellView;

// The grid of the history: the create cell at item 0, then one cell per task, newest first.
// Cells exist only for the rows on screen and one row either side; a cell that scrolls out
// waits in the reuse queue and comes back with another task. The list follows the store's
// events (this process's and others'), keeping the scroll position and the search.
class NSHistoryView : public QAbstractScrollArea
{
    Q_OBJECT
public:
    static constexpr QSize itemSize{196, 132};
    static constexpr int spacing = 12;
    static constexpr const char *reuseIdentifier = "XTaskCellIdentifier";

    explicit NSHistoryView(DownloadRegistry &downloads, QWidget *parent = nullptr);
    ~NSHistoryView() override;

    // The grid made last, or null.
    static NSHistoryView *shared();

    // Data source and delegate.
    int numberOfItemsInSection() const { return int(m_tasks.size()) + 1; }
    void willDisplayItem(XTaskCellView *cell, int item);
    void didSelectItemsAtIndexPaths(const QList<int> &items);
    void insertItemsAtIndexPaths(const QList<int> &items);
    void deleteItemsAtIndexPaths(const QList<int> &items);
    // The changes made in updates are laid out once, then completion runs.
    void performBatchUpdates(const std::function<void()> &updates,
                             const std::function<void(bool)> &completion = {});
    void reloadData();
    // The cell showing the item, or null when the item has none now.
    XTaskCellView *itemAtIndex(int item) const;

    void insertTaskAtFirst(const std::shared_ptr<XTask> &task);
    void removeTask(const std::shared_ptr<XTask> &shown);
    void openTaskFrom(XTaskCellView *cell);
    // The new-task form over the window (its URL field filled when one is given); the task
    // it creates comes first, and starts when new tasks start at once.
    void createTask(const QString &prefillURL = {});
    // Filters by file name; an empty text shows every task again.
    void taskWithString(const QString &text);
    QString searchText() const { return m_searchText; }

    const QList<std::shared_ptr<XTask>> &tasks() const { return m_tasks; }
    // Every cell made, shown or waiting for reuse.
    int liveCellCount() const;
    int focusedItem() const { return m_focusedItem; }
    ThumbnailLoader &thumbnails() { return m_thumbnails; }
    // Scrolls so the item's row shows.
    void scrollToItem(int item);

signals:
    // The user asked for the settings (the working folder has no yt-dlp).
    void settingsWanted();

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    int columnCount() const;
    QRect itemRect(int item) const;
    void updateScrollRange();
    void reloadLayout();
    void layoutCells();
    XTaskCellView *dequeueReusableItem();
    void enqueue(XTaskCellView *cell);
    int itemOf(const XTaskCellView *cell) const;
    void moveFocus(int item);
    void moveFocusBy(int key);
    void openItem(int item);
    // Takes the task's items out of the grid (not the task out of the store).
    void dropTask(const std::shared_ptr<XTask> &task);
    void reportRefusedRemoval(const std::shared_ptr<XTask> &task);

    void taskInserted(const std::shared_ptr<XTask> &task);
    void taskChanged(const std::shared_ptr<XTask> &task);
    void taskRemoved(const std::shared_ptr<XTask> &task);
    void downloadEnded(const std::shared_ptr<XTask> &task, const RunEnd &end);
    void refreshCellsOf(const std::shared_ptr<XTask> &task);
    void offerSettings();

    static QPointer<NSHistoryView> s_shared;

    DownloadRegistry &m_downloads;
    JobRunner m_jobs;
    ThumbnailLoader m_thumbnails;
    TaskCellServices m_services;
    QList<std::shared_ptr<XTask>> m_tasks;
    QString m_searchText;
    std::map<int, XTaskCellView *> m_visibleCells;
    QList<XTaskCellView *> m_reuseQueue;
    int m_batchDepth = 0;
    int m_focusedItem = -1;
    bool m_offeringSettings = false;
};
