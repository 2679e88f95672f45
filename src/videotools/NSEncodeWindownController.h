#pragma once

#include <QDialog>

#include <memory>

class NSEncodeConfirmView;
class XTask;

// The video tools sheet ("Video Tools"), window-modal over the main window. While a trim or a
// re-encode runs it refuses to close, by Esc, its buttons or the window manager, so the job
// always ends in a living pane.
class NSEncodeWindownController : public QDialog
{
    Q_OBJECT
public:
    explicit NSEncodeWindownController(QWidget *parent);

    NSEncodeConfirmView *pane() const { return m_pane; }
    // Opens the sheet for the task over the window; it is deleted once closed.
    static NSEncodeWindownController *openForTask(QWidget *window,
                                                  const std::shared_ptr<XTask> &task);

    void reject() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    NSEncodeConfirmView *m_pane;
};
