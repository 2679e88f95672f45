#pragma once

#include <QWidget>

#include <functional>

class PaintedButton;

// The create cell's view: one large "add" button that asks the grid for a new task.
class XTaskCreateView : public QWidget
{
    Q_OBJECT
public:
    explicit XTaskCreateView(QWidget *parent = nullptr);

    void createTaskAction();
    void setCreateHandler(std::function<void()> handler) { m_createHandler = std::move(handler); }
    PaintedButton *createButton() const { return m_createButton; }

protected:
    void resizeEvent(QResizeEvent *event) override;

private:
    void checkItems();

    PaintedButton *m_createButton = nullptr;
    std::function<void()> m_createHandler;
};
