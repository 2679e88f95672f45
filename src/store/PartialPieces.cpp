#include "store/PartialPieces.h"

#include "platform/Log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList PartialPieces::existing(const QString &destination)
{
    const QFileInfo info(destination);
    QStringList pieces;
    for (const QString &suffix : {QStringLiteral(".part"), QStringLiteral(".ytdl")}) {
        if (QFileInfo::exists(destination + suffix)) pieces << destination + suffix;
    }
    // Compared by hand: a name filter would read wildcards in the file's own name.
    const QString fragmentPrefix = info.fileName() + QStringLiteral(".part-Frag");
    const QDir folder = info.dir();
    for (const QString &name : folder.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (name.startsWith(fragmentPrefix)) pieces << folder.filePath(name);
    }
    return pieces;
}

bool PartialPieces::remove(const QString &destination)
{
    bool removed = true;
    for (const QString &piece : existing(destination)) {
        QFile file(piece);
        if (file.remove()) continue;
        Log::line(QStringLiteral("XTask remove %1 error:%2").arg(piece, file.errorString()));
        removed = false;
    }
    return removed;
}
