#pragma once

#include <QString>

// Moves and replaces single files without ever losing one on the way.
class SafeFileMove
{
public:
    // Moves source to target, refusing an existing target; across file systems the file is
    // copied to a temporary name in the target folder, its size checked, renamed into place,
    // and only then the source removed.
    static bool move(const QString &source, const QString &target, QString *error);
    // Puts source in the place of an existing target (a trimmed video over its original): a
    // rename over it on one file system; across file systems a checked copy to a temporary
    // name beside the target, then renamed over it, then the source removed. Every failure
    // leaves the target as it was, and the source.
    static bool replace(const QString &source, const QString &target, QString *error);

private:
    // A copy of source beside target under a temporary name, size checked and on the disk;
    // null (nothing left behind) when it fails.
    static QString copyBeside(const QString &source, const QString &target, QString *error);
    static bool removeSourceOfCopy(const QString &source, QString *error);
};
