#pragma once

#include <QDialog>

class JobRunner;
class NSSettingsView;

// The settings sheet: the settings pane in a window-modal dialog titled "Settings". Esc and
// the window's close button end it as the pane's Close does, except while a tool runs.
class NSSettingsWindowController : public QDialog
{
    Q_OBJECT
public:
    NSSettingsWindowController(JobRunner &jobs, QWidget *parent);

    NSSettingsView *settingsView() const { return m_view; }
    void reject() override;

private:
    NSSettingsView *m_view;
};
