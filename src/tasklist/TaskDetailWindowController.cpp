#include "tasklist/TaskDetailWindowController.h"

#include "tasklist/TaskDetailView.h"

TaskDetailWindowController::TaskDetailWindowController(QWidget *parent)
    : SheetDialog(QStringLiteral("TaskDetailWindowController"), tr("Task Detail"), parent),
      m_view(new TaskDetailView)
{
    setContent(m_view);
}

void TaskDetailWindowController::closeRequested()
{
    m_view->closeAction();
}
