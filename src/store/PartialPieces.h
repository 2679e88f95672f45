#pragma once

#include <QString>
#include <QStringList>

// The pieces yt-dlp leaves beside a destination it has not finished: "NAME.part",
// "NAME.part-Frag…" (fragments and their own ".part") and "NAME.ytdl" (resume state).
class PartialPieces
{
public:
    static QStringList existing(const QString &destination);
    // Deletes them; false when one could not be deleted (it is logged).
    static bool remove(const QString &destination);
};
