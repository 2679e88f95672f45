#pragma once

#include <QImage>

// How far two pictures lie apart: the mean absolute difference per colour channel, 0 to 255;
// 255 when their sizes differ or one is missing.
double meanChannelDifference(const QImage &a, const QImage &b);
