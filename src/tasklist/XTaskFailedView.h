#pragma once

#include <QWidget>

#include <functional>
#include <memory>

class PaintedButton;
class QLabel;
class QPlainTextEdit;
class XTask;

// A task whose download failed: "Failed", its URL, the reason (scrolling when long), a retry
// button that goes on from the partial file, and a remove button.
class XTaskFailedView : public QWidget
{
    Q_OBJECT
public:
    explicit XTaskFailedView(QWidget *parent = nullptr);

    void setTask(const std::shared_ptr<XTask> &task);
    const std::shared_ptr<XTask> &task() const { return m_task; }
    void removeAction();
    void retryAction();
    void setRemoveHandler(std::function<void(XTaskFailedView *)> handler)
    {
        m_removeHandler = std::move(handler);
    }
    void setRetryHandler(std::function<void(XTaskFailedView *)> handler)
    {
        m_retryHandler = std::move(handler);
    }

    QLabel *titleLabel() const { return m_titleLabel; }
    QLabel *urlLabel() const { return m_urlLabel; }
    QPlainTextEdit *textView() const { return m_textView; }
    PaintedButton *deleteButton() const { return m_deleteButton; }
    PaintedButton *retryButton() const { return m_retryButton; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void checkItems();

    QLabel *m_titleLabel = nullptr;
    QLabel *m_urlLabel = nullptr;
    QPlainTextEdit *m_textView = nullptr;
    PaintedButton *m_deleteButton = nullptr;
    PaintedButton *m_retryButton = nullptr;
    std::shared_ptr<XTask> m_task;
    std::function<void(XTaskFailedView *)> m_removeHandler;
    std::function<void(XTaskFailedView *)> m_retryHandler;
};
