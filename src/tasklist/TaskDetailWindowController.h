#pragma once

#include "desktop/SheetDialog.h"

class TaskDetailView;

// The window of a task's detail. Every way of closing it keeps the note.
class TaskDetailWindowController : public SheetDialog
{
    Q_OBJECT
public:
    explicit TaskDetailWindowController(QWidget *parent = nullptr);

    TaskDetailView *view() const { return m_view; }

private:
    void closeRequested() override;

    TaskDetailView *m_view;
};
