#include "platform/SafeFileMove.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

namespace
{

QString systemError(const QString &what)
{
    return QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

// renameat2 with RENAME_NOREPLACE refuses an existing target atomically, where rename(2)
// would replace it; a file system without the flag gets link and unlink, which refuse too.
bool renameNoReplace(const QString &source, const QString &target)
{
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL) return false;
    if (::link(from.constData(), to.constData()) != 0) return false;
    ::unlink(from.constData());
    return true;
}

bool samePath(const QString &source, const QString &target)
{
    return QFileInfo(source).absoluteFilePath() == QFileInfo(target).absoluteFilePath();
}

} // namespace

bool SafeFileMove::move(const QString &source, const QString &target, QString *error)
{
    if (samePath(source, target)) return true;
    if (renameNoReplace(source, target)) return true;
    if (errno == EEXIST) {
        *error = QStringLiteral("%1 exists already.").arg(target);
        return false;
    }
    if (errno != EXDEV) {
        *error = systemError(source);
        return false;
    }
    const QString temporary = copyBeside(source, target, error);
    if (temporary.isNull()) return false;
    if (!renameNoReplace(temporary, target)) {
        *error = systemError(target);
        QFile::remove(temporary);
        return false;
    }
    return removeSourceOfCopy(source, error);
}

bool SafeFileMove::replace(const QString &source, const QString &target, QString *error)
{
    if (samePath(source, target)) return true;
    const QByteArray to = QFile::encodeName(target);
    if (::rename(QFile::encodeName(source).constData(), to.constData()) == 0) return true;
    if (errno != EXDEV) {
        *error = systemError(target);
        return false;
    }
    const QString temporary = copyBeside(source, target, error);
    if (temporary.isNull()) return false;
    if (::rename(QFile::encodeName(temporary).constData(), to.constData()) != 0) {
        *error = systemError(target);
        QFile::remove(temporary);
        return false;
    }
    return removeSourceOfCopy(source, error);
}

QString SafeFileMove::copyBeside(const QString &source, const QString &target, QString *error)
{
    const QFileInfo targetInfo(target);
    const QString temporary =
        targetInfo.dir().filePath(QStringLiteral(".") + targetInfo.fileName() + ".moving");
    QFile::remove(temporary);
    const qint64 size = QFileInfo(source).size();
    // On the disk before the rename, so that a crash cannot leave an empty file in its place.
    QFile copy(temporary);
    if (!QFile::copy(source, temporary) || !copy.open(QIODevice::ReadWrite) ||
        copy.size() != size || ::fsync(copy.handle()) != 0) {
        copy.close();
        QFile::remove(temporary);
        *error = QStringLiteral("could not copy %1 to %2.").arg(source, temporary);
        return {};
    }
    return temporary;
}

// The copy is in place; a source that cannot be removed leaves two copies, never none.
bool SafeFileMove::removeSourceOfCopy(const QString &source, QString *error)
{
    if (!QFile::remove(source))
        *error = QStringLiteral("%1 was copied but could not be removed.").arg(source);
    return true;
}
