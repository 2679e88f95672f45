#include "tasklist/XTaskCreateView.h"

#include "tasklist/PaintedButton.h"

XTaskCreateView::XTaskCreateView(QWidget *parent) : QWidget(parent)
{
    checkItems();
}

void XTaskCreateView::checkItems()
{
    if (m_createButton) return;
    setToolTip(tr("新下载"));
    m_createButton = new PaintedButton(QStringLiteral("add"), tr("新下载"), this);
    m_createButton->setPlate(QColor(0xf2, 0xf2, 0xf2), 6);
    connect(m_createButton, &PaintedButton::clicked, this, &XTaskCreateView::createTaskAction);
}

void XTaskCreateView::resizeEvent(QResizeEvent *)
{
    m_createButton->setGeometry(rect().adjusted(5, 5, -5, -5));
}

void XTaskCreateView::createTaskAction()
{
    if (m_createHandler) m_createHandler();
}
