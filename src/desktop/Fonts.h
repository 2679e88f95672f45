#pragma once

#include <QFont>

// The faces the windows are drawn with. Sizes are in pixels equal to the design's points,
// so a layout measured in points keeps its proportions.
class Fonts
{
public:
    // The Chinese UI face, with the Noto CJK face Linux desktops ship as its stand-in.
    static QFont pingFang(int points, QFont::Weight weight = QFont::Normal);
    // The system's monospace face.
    static QFont monaco(int points);
};
