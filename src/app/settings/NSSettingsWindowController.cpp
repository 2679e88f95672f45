#include "app/settings/NSSettingsWindowController.h"

#include "app/settings/NSSettingsView.h"

#include <QVBoxLayout>

NSSettingsWindowController::NSSettingsWindowController(JobRunner &jobs, QWidget *parent)
    : QDialog(parent), m_view(new NSSettingsView(jobs, this))
{
    setWindowTitle(tr("Settings"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
}

void NSSettingsWindowController::reject()
{
    // A tool at work would lose the pane that reports its end.
    if (m_view->isBusy()) return;
    m_view->save();
}
