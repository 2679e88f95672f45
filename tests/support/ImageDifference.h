#pragma once

#include <QImage>

// How far two pictures lie apart: the mean absolute difference per colour channel, 0 to 255;
// 255 when their sizes differ or one is missing.
inline double meanChannelDifference(const QImage &a, const QImage &b)
{
    if (a.isNull() || a.size() != b.size()) return 255;
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    qint64 sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        const QRgb *p = reinterpret_cast<const QRgb *>(x.constScanLine(row));
        const QRgb *q = reinterpret_cast<const QRgb *>(y.constScanLine(row));
        for (int column = 0; column < x.width(); ++column)
            sum += qAbs(qRed(p[column]) - qRed(q[column])) +
                   qAbs(qGreen(p[column]) - qGreen(q[column])) +
                   qAbs(qBlue(p[column]) - qBlue(q[column]));
    }
    return double(sum) / (3.0 * x.width() * x.height());
}
