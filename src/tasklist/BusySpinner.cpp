#include "tasklist/BusySpinner.h"

#include <QPainter>

BusySpinner::BusySpinner(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void BusySpinner::advance()
{
    m_step = (m_step + 1) % spokes;
    update();
}

void BusySpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = std::min(width(), height()) / 2.0;
    for (int i = 0; i < spokes; ++i) {
        // The newest spoke is darkest; the older ones fade behind it.
        const int age = (m_step - i + spokes) % spokes;
        QColor color(40, 40, 40);
        color.setAlphaF(1.0f - float(age) / spokes);
        painter.setPen(QPen(color, radius / 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.rotate(360.0 / spokes);
    }
}
