#include "app/NSCreateTaskWindowController.h"

#include "app/NSCreateTaskView.h"

NSCreateTaskWindowController::NSCreateTaskWindowController(QWidget *parent)
    : SheetDialog(QStringLiteral("NSCreateTaskWindowController"), tr("New Task"), parent),
      m_view(new NSCreateTaskView)
{
    setContent(m_view);
}

void NSCreateTaskWindowController::closeRequested()
{
    m_view->cancelAction();
}
