#include "videotools/NSEncodeWindownController.h"

#include "desktop/SheetQueue.h"
#include "videotools/NSEncodeConfirmView.h"

#include <QCloseEvent>
#include <QVBoxLayout>

NSEncodeWindownController::NSEncodeWindownController(QWidget *parent)
    : QDialog(parent), m_pane(new NSEncodeConfirmView(this))
{
    setObjectName(QStringLiteral("NSEncodeWindownController"));
    setWindowTitle(tr("Video Tools"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_pane);
}

NSEncodeWindownController *
NSEncodeWindownController::openForTask(QWidget *window, const std::shared_ptr<XTask> &task)
{
    auto *sheet = new NSEncodeWindownController(window);
    connect(sheet, &QDialog::finished, sheet, &QObject::deleteLater);
    sheet->pane()->setTask(task);
    SheetQueue::present(sheet);
    return sheet;
}

void NSEncodeWindownController::reject()
{
    if (m_pane->isBusy()) return;
    QDialog::reject();
}

void NSEncodeWindownController::closeEvent(QCloseEvent *event)
{
    if (m_pane->isBusy()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
