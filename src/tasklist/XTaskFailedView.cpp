#include "tasklist/XTaskFailedView.h"

#include "desktop/Fonts.h"
#include "store/XTask.h"
#include "tasklist/CellGeometry.h"
#include "tasklist/PaintedButton.h"

#include <QLabel>
#include <QPlainTextEdit>

XTaskFailedView::XTaskFailedView(QWidget *parent) : QWidget(parent)
{
    checkItems();
}

void XTaskFailedView::checkItems()
{
    if (m_titleLabel) return;
    m_titleLabel = new QLabel(tr("Failed"), this);
    m_titleLabel->setAlignment(Qt::AlignCenter);
    m_titleLabel->setWordWrap(true);
    m_titleLabel->setFont(Fonts::pingFang(14));
    QPalette red = m_titleLabel->palette();
    red.setColor(QPalette::WindowText, QColor::fromRgbF(0.84f, 0.32f, 0.25f));
    m_titleLabel->setPalette(red);

    m_urlLabel = new QLabel(this);
    m_urlLabel->setWordWrap(true);
    m_urlLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_urlLabel->setFont(Fonts::pingFang(10));

    m_textView = new QPlainTextEdit(this);
    m_textView->setReadOnly(true);
    m_textView->setAccessibleName(tr("Why the download failed"));
    m_textView->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    m_textView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_textView->setFocusPolicy(Qt::NoFocus);

    m_retryButton = new PaintedButton(QStringLiteral("download"), tr("Retry download"), this);
    connect(m_retryButton, &PaintedButton::clicked, this, &XTaskFailedView::retryAction);
    m_deleteButton = new PaintedButton(QStringLiteral("delete"), tr("Remove"), this);
    connect(m_deleteButton, &PaintedButton::clicked, this, &XTaskFailedView::removeAction);
}

void XTaskFailedView::resizeEvent(QResizeEvent *)
{
    const int W = width(), H = height();
    m_titleLabel->setGeometry(fromBottomLeft(4, H - 22, W - 70, 20, H));
    m_urlLabel->setGeometry(fromBottomLeft(4, H - 46, W - 8, 30, H));
    m_textView->setGeometry(fromBottomLeft(4, 4, W - 8, H - 55, H));
    m_deleteButton->setGeometry(fromBottomLeft(W - 31, H - 31, 30, 30, H));
    m_retryButton->setGeometry(fromBottomLeft(W - 62, H - 31, 30, 30, H));
}

void XTaskFailedView::setTask(const std::shared_ptr<XTask> &task)
{
    m_task = task;
    checkItems();
    const QString url = task ? task->url() : QString();
    const QString reason = task ? task->failed_reason() : QString();
    m_urlLabel->setText(url);
    m_urlLabel->setToolTip(url);
    m_textView->setPlainText(reason);
    setToolTip(reason);
}

void XTaskFailedView::removeAction()
{
    if (m_removeHandler) m_removeHandler(this);
}

void XTaskFailedView::retryAction()
{
    if (m_retryHandler) m_retryHandler(this);
}
