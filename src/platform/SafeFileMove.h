#pragma once

#include <QString>

// Moves one file without ever replacing another or losing it on the way: an existing target
// is refused; across file systems the file is copied to a temporary name in the target
// folder, its size checked, renamed into place, and only then the source removed.
class SafeFileMove
{
public:
    static bool move(const QString &source, const QString &target, QString *error);

private:
    static bool copyAcross(const QString &source, const QString &target, QString *error);
};
