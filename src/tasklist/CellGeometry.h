#pragma once

#include <QRect>
#include <QSize>

// The cells' layouts are measured from the bottom left, y growing upwards; widgets place from
// the top left. One conversion for every view, given the height of the view it lies in.
inline QRect fromBottomLeft(int x, int y, int width, int height, int viewHeight)
{
    return QRect(x, viewHeight - y - height, width, height);
}
