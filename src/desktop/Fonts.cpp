#include "desktop/Fonts.h"

#include <QFontDatabase>
#include <QStringList>

QFont Fonts::pingFang(int points, QFont::Weight weight)
{
    QFont font;
    font.setFamilies(
        QStringList{QStringLiteral("PingFang SC"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(points);
    font.setWeight(weight);
    return font;
}

QFont Fonts::monaco(int points)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    font.setPixelSize(points);
    return font;
}
