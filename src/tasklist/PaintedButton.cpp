#include "tasklist/PaintedButton.h"

#include "tasklist/TaskIcons.h"

#include <QEvent>
#include <QPainter>

PaintedButton::PaintedButton(const QString &iconName, const QString &toolTip, QWidget *parent)
    : QAbstractButton(parent), m_iconName(iconName)
{
    setToolTip(toolTip);
    setAccessibleName(toolTip);
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
    setAttribute(Qt::WA_Hover);
}

void PaintedButton::setPlate(const QColor &color, int cornerRadius)
{
    m_plate = color;
    m_cornerRadius = cornerRadius;
    update();
}

bool PaintedButton::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTipChange) setAccessibleName(toolTip());
    return QAbstractButton::event(event);
}

void PaintedButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QColor plate = m_plate;
    if (isDown())
        plate = plate.darker(140);
    else if (underMouse())
        plate.setAlphaF(std::min(1.0f, plate.alphaF() + 0.15f));
    painter.setPen(Qt::NoPen);
    painter.setBrush(plate);
    painter.drawRoundedRect(rect(), m_cornerRadius, m_cornerRadius);

    const QPixmap icon = TaskIcons::pixmap(m_iconName);
    // Small buttons keep a margin round their icon; large ones do not blow it up.
    const int drawn = std::min(std::min(width(), height()) - 6, 64);
    QRect target(0, 0, drawn, drawn);
    target.moveCenter(rect().center());
    if (!isEnabled()) painter.setOpacity(0.4);
    painter.drawPixmap(target, icon);
}
