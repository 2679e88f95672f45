#pragma once

#include <QString>

// The form in which file names are compared when searching: decomposed, without combining
// marks, case-folded, so that "cafe" matches "Café", "CAFÉ" and "cafe\u0301" alike. The
// stored search column and the matching of unsaved records both go through fold(), so the
// two can never disagree.
class TextFold
{
public:
    static QString fold(const QString &text);
};
