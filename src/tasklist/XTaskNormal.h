#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class PaintedButton;
class QLabel;
class XTask;

// A task created or paused: its URL on red-orange, a wide download button and a remove
// button.
class XTaskNormal : public QWidget
{
    Q_OBJECT
public:
    explicit XTaskNormal(QWidget *parent = nullptr);

    void setTask(const std::shared_ptr<XTask> &task);
    const std::shared_ptr<XTask> &task() const { return m_task; }
    void startDownloadAction();
    void removeAction();
    void setDownloadHandler(std::function<void(XTaskNormal *)> handler)
    {
        m_downloadHandler = std::move(handler);
    }
    void setRemoveHandler(std::function<void(XTaskNormal *)> handler)
    {
        m_removeHandler = std::move(handler);
    }

    QLabel *urlLabel() const { return m_urlLabel; }
    PaintedButton *controlButton() const { return m_controlButton; }
    PaintedButton *deleteButton() const { return m_deleteButton; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void checkItems();

    QLabel *m_urlLabel = nullptr;
    PaintedButton *m_controlButton = nullptr;
    PaintedButton *m_deleteButton = nullptr;
    std::shared_ptr<XTask> m_task;
    std::function<void(XTaskNormal *)> m_downloadHandler;
    std::function<void(XTaskNormal *)> m_removeHandler;
};
