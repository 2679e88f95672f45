#include "app/settings/NSModalView.h"

#include "desktop/Fonts.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

NSModalView::NSModalView(QWidget *parent) : QWidget(parent), m_progressLabel(new QLabel(this))
{
    setAttribute(Qt::WA_StyledBackground, false);
    m_progressLabel->setAlignment(Qt::AlignCenter);
    m_progressLabel->setFont(Fonts::pingFang(16, QFont::Medium));
    m_progressLabel->setStyleSheet(QStringLiteral("color: white;"));
    // The spinner turns only while the overlay shows, so an idle pane costs no CPU.
    m_spin.setInterval(80);
    connect(&m_spin, &QTimer::timeout, this, [this] {
        m_angle = (m_angle + 30) % 360;
        update(spinnerRect());
    });
    if (parent) setGeometry(parent->rect());
}

void NSModalView::setProgressString(const QString &text)
{
    m_progressString = text;
    m_progressLabel->setText(text);
}

QRect NSModalView::spinnerRect() const
{
    return {(width() - spinnerSize) / 2, (height() - spinnerSize) / 2, spinnerSize, spinnerSize};
}

void NSModalView::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // Just below the spinner, the full width.
    m_progressLabel->setGeometry(0, height() / 2 + spinnerSize / 2, width(), 20);
}

void NSModalView::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), QColor::fromRgbF(0.4f, 0.4f, 0.4f, 0.7f));
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF spinner = QRectF(spinnerRect()).adjusted(4, 4, -4, -4);
    painter.setPen(QPen(Qt::white, 4, Qt::SolidLine, Qt::RoundCap));
    painter.drawArc(spinner, -m_angle * 16, 270 * 16);
}

void NSModalView::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_spin.start();
}

void NSModalView::hideEvent(QHideEvent *event)
{
    m_spin.stop();
    QWidget::hideEvent(event);
}

void NSModalView::mousePressEvent(QMouseEvent *event)
{
    event->accept();
}

void NSModalView::mouseReleaseEvent(QMouseEvent *event)
{
    event->accept();
}

void NSModalView::mouseDoubleClickEvent(QMouseEvent *event)
{
    event->accept();
}
