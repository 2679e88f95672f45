#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class XTask;
class XTaskCompleted;
class XTaskCreateView;
class XTaskFailedView;
class XTaskNormal;
class XTaskProgressing;
struct TaskCellServices;

// One item of the history grid: the create view when it has no task, else the view for its
// task's status. Downloads start and pause through the registry only; the cell shows what
// the registry and the store say of its task. Cells are reused for other tasks as the grid
// scrolls.
class XTaskCellView : public QWidget
{
    Q_OBJECT
public:
    XTaskCellView(TaskCellServices &services, QWidget *parent = nullptr);

    // Null shows the create view.
    void setTask(const std::shared_ptr<XTask> &task);
    const std::shared_ptr<XTask> &task() const { return m_task; }
    void refreshTask();
    void startDownload();
    void pausedDownload();
    // Back in the reuse queue: hidden, showing nothing of its last task.
    void prepareForReuse();
    // The keyboard's current item.
    void setFocusFrame(bool shown);
    static constexpr int focusMargin = 3;

    // The task and its state, as a screen reader says it: its first file's name or its URL,
    // then its state.
    static QString accessibleSummary(const XTask *task);
    // Asked when a screen reader wants it, so binding a cell reads no files.
    QString spokenName() const { return accessibleSummary(m_task.get()); }

    void setRemoveHandler(std::function<void(XTaskCellView *)> handler)
    {
        m_removeHandler = std::move(handler);
    }
    void setCreateHandler(std::function<void()> handler) { m_createHandler = std::move(handler); }
    // A left click on the cell, off its buttons.
    void setClickHandler(std::function<void(XTaskCellView *)> handler)
    {
        m_clickHandler = std::move(handler);
    }

    // The state view showing now, or null (a status outside the known ones).
    QWidget *visibleView() const;
    XTaskCreateView *createView() const { return m_createView; }
    XTaskNormal *normalView() const { return m_normalView; }
    XTaskProgressing *progressView() const { return m_progressView; }
    XTaskCompleted *completedView() const { return m_completedView; }
    XTaskFailedView *failedView() const { return m_failedView; }

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void viewDidLoad();
    void showView(QWidget *view);
    void removeRequested();
    QList<QWidget *> views() const;
    static QString subjectOf(const XTask &task);
    static QString stateOf(const XTask &task);
    static QString summaryOf(const QString &subject, const QString &state);

    TaskCellServices &m_services;
    XTaskCreateView *m_createView = nullptr;
    XTaskProgressing *m_progressView = nullptr;
    XTaskNormal *m_normalView = nullptr;
    XTaskCompleted *m_completedView = nullptr;
    XTaskFailedView *m_failedView = nullptr;
    std::shared_ptr<XTask> m_task;
    bool m_focusFrame = false;
    std::function<void(XTaskCellView *)> m_removeHandler;
    std::function<void()> m_createHandler;
    std::function<void(XTaskCellView *)> m_clickHandler;
};
