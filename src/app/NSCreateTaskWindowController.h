#pragma once

#include <QDialog>

class NSCreateTaskView;

// The window of the new-task form, modal to the window it opens over. It ends with the form's
// code: NSModalResponseContinue on create, NSModalResponseAbort on cancel, on Esc and on the
// window's close button alike.
class NSCreateTaskWindowController : public QDialog
{
    Q_OBJECT
public:
    explicit NSCreateTaskWindowController(QWidget *parent = nullptr);

    NSCreateTaskView *view() const { return m_view; }

public slots:
    // Esc and the close button: the form's own cancel.
    void reject() override;

private:
    NSCreateTaskView *m_view;
};
