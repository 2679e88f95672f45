#include "tasklist/TaskDetailWindowController.h"

#include "tasklist/TaskDetailView.h"

#include <QVBoxLayout>

TaskDetailWindowController::TaskDetailWindowController(QWidget *parent)
    : QDialog(parent), m_view(new TaskDetailView(this))
{
    setObjectName(QStringLiteral("TaskDetailWindowController"));
    setWindowTitle(tr("Task Detail"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view, &TaskDetailView::endSheet, this, &QDialog::done);
}

void TaskDetailWindowController::reject()
{
    m_view->closeAction();
}
