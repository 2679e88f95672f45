#pragma once

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>

class BusySpinner;
class PaintedButton;
class QLabel;
class QProgressBar;
class XTask;

// A task downloading: title, speed bar and text, spinner, percentage with the playlist
// position, and a pause button. It reads the task ten times a second, but only while it is
// shown with a task, so hidden and recycled views cost nothing.
class XTaskProgressing : public QWidget
{
    Q_OBJECT
public:
    static constexpr int refreshIntervalMs = 100;
    static constexpr int fullLevel = 20;

    explicit XTaskProgressing(QWidget *parent = nullptr);

    void setTask(const std::shared_ptr<XTask> &task);
    const std::shared_ptr<XTask> &task() const { return m_task; }
    void refresh();
    // 500,000 bytes a second a step; the bar is full at 20 and shows more as full.
    static qint64 levelFor(float speed);
    void stopDownloadAction();
    void setPausedHandler(std::function<void()> handler) { m_pausedHandler = std::move(handler); }

    bool isRefreshing() const { return m_refreshTimer.isActive(); }
    QLabel *progressLabel() const { return m_progressLabel; }
    QLabel *speedLabel() const { return m_speedLabel; }
    QProgressBar *levelIndicator() const { return m_levelIndicator; }
    PaintedButton *pauseButton() const { return m_pauseButton; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void checkItems();
    void updateTimer();
    QString progressText() const;

    QLabel *m_nameLabel = nullptr;
    QProgressBar *m_levelIndicator = nullptr;
    QLabel *m_speedLabel = nullptr;
    BusySpinner *m_act = nullptr;
    QLabel *m_progressLabel = nullptr;
    PaintedButton *m_pauseButton = nullptr;
    QTimer m_refreshTimer;
    qint64 m_level = 0;
    std::shared_ptr<XTask> m_task;
    std::function<void()> m_pausedHandler;
};
