#include "app/NSCreateTaskWindowController.h"

#include "app/NSCreateTaskView.h"

#include <QVBoxLayout>

NSCreateTaskWindowController::NSCreateTaskWindowController(QWidget *parent)
    : QDialog(parent), m_view(new NSCreateTaskView(this))
{
    setObjectName(QStringLiteral("NSCreateTaskWindowController"));
    setWindowTitle(tr("New Task"));
    setWindowModality(Qt::WindowModal);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    connect(m_view, &NSCreateTaskView::endSheet, this, &QDialog::done);
}

void NSCreateTaskWindowController::reject()
{
    m_view->cancelAction();
}
