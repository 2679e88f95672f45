#pragma once

#include <QDialog>

class TaskDetailView;

// The window of a task's detail, modal to the window it opens over. Every way of closing it
// (Close, Esc, the window's close button) keeps the note.
class TaskDetailWindowController : public QDialog
{
    Q_OBJECT
public:
    explicit TaskDetailWindowController(QWidget *parent = nullptr);

    TaskDetailView *view() const { return m_view; }

public slots:
    void reject() override;

private:
    TaskDetailView *m_view;
};
