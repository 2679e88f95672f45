#include "tasklist/XTaskNormal.h"

#include "desktop/Fonts.h"
#include "store/XTask.h"
#include "tasklist/CellGeometry.h"
#include "tasklist/PaintedButton.h"

#include <QLabel>
#include <QPainter>

XTaskNormal::XTaskNormal(QWidget *parent) : QWidget(parent)
{
    checkItems();
}

void XTaskNormal::checkItems()
{
    if (!m_urlLabel) {
        m_urlLabel = new QLabel(this);
        m_urlLabel->setWordWrap(true);
        m_urlLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_urlLabel->setFont(Fonts::pingFang(10));
        QPalette palette = m_urlLabel->palette();
        palette.setColor(QPalette::WindowText, Qt::white);
        m_urlLabel->setPalette(palette);
    }
    if (!m_controlButton) {
        m_controlButton =
            new PaintedButton(QStringLiteral("download"), tr("Resume download"), this);
        m_controlButton->setPlate(Qt::transparent, 0);
        connect(m_controlButton, &PaintedButton::clicked, this, &XTaskNormal::startDownloadAction);
    }
    if (!m_deleteButton) {
        m_deleteButton = new PaintedButton(QStringLiteral("delete"), tr("Remove"), this);
        connect(m_deleteButton, &PaintedButton::clicked, this, &XTaskNormal::removeAction);
    }
}

void XTaskNormal::resizeEvent(QResizeEvent *)
{
    const int W = width(), H = height();
    // Three lines of the URL at most.
    m_urlLabel->setGeometry(fromBottomLeft(3, H - 55, W - 6 - 32, 50, H));
    m_controlButton->setGeometry(fromBottomLeft(5, 5, W - 10, 60, H));
    m_deleteButton->setGeometry(fromBottomLeft(W - 35, H - 35, 30, 30, H));
}

void XTaskNormal::setTask(const std::shared_ptr<XTask> &task)
{
    m_task = task;
    checkItems();
    // A view shown for another task never keeps the last one's URL.
    const QString url = task ? task->url() : QString();
    m_urlLabel->setText(url);
    setToolTip(url);
}

void XTaskNormal::startDownloadAction()
{
    if (m_downloadHandler) m_downloadHandler(this);
}

void XTaskNormal::removeAction()
{
    if (m_removeHandler) m_removeHandler(this);
}

void XTaskNormal::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.84f, 0.33f, 0.25f));
}
