// Draws the application icon at every size the desktop asks for, so each size is drawn for
// its own pixels rather than scaled from another. Usage: zelvo_icon_painter OUTPUT_DIR SIZE...
#include <QDir>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>

namespace
{

QImage paintIcon(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 256.0, size / 256.0);

    QLinearGradient shell(0, 0, 0, 256);
    shell.setColorAt(0, QColor(0x2e, 0xa0, 0x6f));
    shell.setColorAt(1, QColor(0x1b, 0x6b, 0x4a));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shell);
    painter.drawRoundedRect(QRectF(8, 8, 240, 240), 52, 52);

    // A downward arrow into a tray: a download.
    painter.setBrush(Qt::white);
    QPainterPath arrow;
    arrow.moveTo(108, 44);
    arrow.lineTo(148, 44);
    arrow.lineTo(148, 118);
    arrow.lineTo(186, 118);
    arrow.lineTo(128, 178);
    arrow.lineTo(70, 118);
    arrow.lineTo(108, 118);
    arrow.closeSubpath();
    painter.drawPath(arrow);
    painter.drawRoundedRect(QRectF(56, 192, 144, 22), 11, 11);
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR SIZE...\n", argv[0]);
        return 2;
    }
    const QDir output(QString::fromLocal8Bit(argv[1]));
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        if (size <= 0 || !output.mkpath(folder) ||
            !paintIcon(size).save(output.filePath(folder + QStringLiteral("/zelvo.png")))) {
            std::fprintf(stderr, "cannot write the %s pixel icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
