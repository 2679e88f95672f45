// Draws the task cells' icons ("add", "download", "delete", "pause", "finder", "share",
// "thumbnail") as PNG files, so the pictures are ours and sharp at the size they are shown.
// Usage: task_icon_painter OUTPUT_DIR
#include <QDir>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace
{

constexpr int iconSize = 64;
const QColor glyph(Qt::white);

QPen stroke(const QColor &color, qreal width)
{
    return QPen(color, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void paintAdd(QPainter &painter)
{
    const QColor grey(0x8a, 0x8a, 0x8a);
    painter.setPen(stroke(grey, 4));
    painter.drawEllipse(QRectF(8, 8, 48, 48));
    painter.drawLine(QPointF(32, 20), QPointF(32, 44));
    painter.drawLine(QPointF(20, 32), QPointF(44, 32));
}

void paintDownload(QPainter &painter)
{
    painter.setPen(stroke(glyph, 5));
    painter.drawLine(QPointF(32, 10), QPointF(32, 40));
    painter.drawPolyline(QPolygonF({QPointF(20, 29), QPointF(32, 41), QPointF(44, 29)}));
    painter.drawPolyline(
        QPolygonF({QPointF(12, 42), QPointF(12, 52), QPointF(52, 52), QPointF(52, 42)}));
}

void paintDelete(QPainter &painter)
{
    painter.setPen(stroke(glyph, 4));
    painter.drawLine(QPointF(14, 18), QPointF(50, 18));
    painter.drawLine(QPointF(26, 12), QPointF(38, 12));
    painter.drawPolyline(
        QPolygonF({QPointF(18, 18), QPointF(21, 54), QPointF(43, 54), QPointF(46, 18)}));
    painter.drawLine(QPointF(28, 26), QPointF(28, 46));
    painter.drawLine(QPointF(36, 26), QPointF(36, 46));
}

void paintPause(QPainter &painter)
{
    painter.setPen(Qt::NoPen);
    painter.setBrush(glyph);
    painter.drawRoundedRect(QRectF(18, 14, 10, 36), 3, 3);
    painter.drawRoundedRect(QRectF(36, 14, 10, 36), 3, 3);
}

void paintFinder(QPainter &painter)
{
    // A folder with a magnifier: show the file where it lies.
    painter.setPen(stroke(glyph, 4));
    QPainterPath folder;
    folder.moveTo(8, 50);
    folder.lineTo(8, 14);
    folder.lineTo(24, 14);
    folder.lineTo(29, 20);
    folder.lineTo(50, 20);
    folder.lineTo(50, 30);
    painter.drawPath(folder);
    painter.drawLine(QPointF(8, 50), QPointF(30, 50));
    painter.drawEllipse(QRectF(32, 32, 16, 16));
    painter.drawLine(QPointF(46, 46), QPointF(56, 56));
}

void paintShare(QPainter &painter)
{
    painter.setPen(stroke(glyph, 4));
    painter.drawPolyline(QPolygonF({QPointF(22, 26), QPointF(14, 26), QPointF(14, 54),
                                    QPointF(50, 54), QPointF(50, 26), QPointF(42, 26)}));
    painter.drawLine(QPointF(32, 8), QPointF(32, 38));
    painter.drawPolyline(QPolygonF({QPointF(22, 18), QPointF(32, 8), QPointF(42, 18)}));
}

void paintThumbnail(QPainter &painter)
{
    // A picture frame with a hill and a sun, in the cell's muted border colour.
    const QColor muted(0xc2, 0xab, 0xab);
    painter.setPen(stroke(muted, 3));
    painter.drawRoundedRect(QRectF(6, 12, 52, 40), 4, 4);
    painter.setPen(Qt::NoPen);
    painter.setBrush(muted);
    painter.drawEllipse(QRectF(40, 18, 10, 10));
    painter.drawPolygon(QPolygonF(
        {QPointF(10, 48), QPointF(26, 28), QPointF(38, 42), QPointF(44, 36), QPointF(54, 48)}));
}

bool write(const QDir &folder, const char *name, const std::function<void(QPainter &)> &paint)
{
    QImage image(iconSize, iconSize, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        paint(painter);
    }
    return image.save(folder.filePath(QLatin1String(name) + QLatin1String(".png")));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!folder.mkpath(QStringLiteral("."))) return 1;
    const bool written =
        write(folder, "add", paintAdd) && write(folder, "download", paintDownload) &&
        write(folder, "delete", paintDelete) && write(folder, "pause", paintPause) &&
        write(folder, "finder", paintFinder) && write(folder, "share", paintShare) &&
        write(folder, "thumbnail", paintThumbnail);
    if (!written) std::fprintf(stderr, "cannot write the task icons in %s\n", argv[1]);
    return written ? 0 : 1;
}
