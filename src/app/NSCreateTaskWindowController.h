#pragma once

#include "desktop/SheetDialog.h"

class NSCreateTaskView;

// The window of the new-task form. It ends with the form's code: NSModalResponseContinue on
// create, NSModalResponseAbort on cancel, on Esc and on the window's close button alike.
class NSCreateTaskWindowController : public SheetDialog
{
    Q_OBJECT
public:
    explicit NSCreateTaskWindowController(QWidget *parent = nullptr);

    NSCreateTaskView *view() const { return m_view; }

private:
    void closeRequested() override;

    NSCreateTaskView *m_view;
};
