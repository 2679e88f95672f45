#include "store/TaskClaim.h"

#include <QCryptographicHash>
#include <QDir>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool sameFile(int descriptor, const QByteArray &path)
{
    struct stat opened {
    };
    struct stat named {
    };
    return fstat(descriptor, &opened) == 0 && stat(path.constData(), &named) == 0 &&
           opened.st_dev == named.st_dev && opened.st_ino == named.st_ino;
}

} // namespace

TaskClaim::TaskClaim(int descriptor, QString path)
    : m_descriptor(descriptor), m_path(std::move(path))
{
}

// The file goes before the lock, so whoever takes the lock on it next sees that it is gone.
TaskClaim::~TaskClaim()
{
    unlink(QFile::encodeName(m_path).constData());
    close(m_descriptor);
}

std::unique_ptr<TaskClaim> TaskClaim::take(const QString &folder, qint64 taskId)
{
    return takeLock(folder, taskLockName(taskId));
}

bool TaskClaim::isHeld(const QString &folder, qint64 taskId)
{
    return isLockHeld(folder, taskLockName(taskId));
}

std::unique_ptr<TaskClaim> TaskClaim::takeFile(const QString &folder, const QString &filePath)
{
    return takeLock(folder, fileLockName(filePath));
}

bool TaskClaim::isFileHeld(const QString &folder, const QString &filePath)
{
    return isLockHeld(folder, fileLockName(filePath));
}

std::unique_ptr<TaskClaim> TaskClaim::takeLock(const QString &folder, const QString &name)
{
    if (!QDir().mkpath(folder)) return nullptr;
    const QString path = QDir(folder).filePath(name);
    const QByteArray encoded = QFile::encodeName(path);
    for (;;) {
        const int descriptor = open(encoded.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) return nullptr;
        if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            close(descriptor);
            return nullptr;
        }
        // Locked a file that its last holder removed meanwhile: try the one now there.
        if (sameFile(descriptor, encoded))
            return std::unique_ptr<TaskClaim>(new TaskClaim(descriptor, path));
        close(descriptor);
    }
}

bool TaskClaim::isLockHeld(const QString &folder, const QString &name)
{
    const int descriptor =
        open(QFile::encodeName(QDir(folder).filePath(name)).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool held = flock(descriptor, LOCK_SH | LOCK_NB) != 0;
    close(descriptor);
    return held;
}

QString TaskClaim::taskLockName(qint64 taskId)
{
    return QString::number(taskId) + QStringLiteral(".lock");
}

// A path may be longer than a file name can be, and hold any character.
QString TaskClaim::fileLockName(const QString &filePath)
{
    const QByteArray hash =
        QCryptographicHash::hash(QDir::cleanPath(filePath).toUtf8(), QCryptographicHash::Sha256);
    return QStringLiteral("file-") + QString::fromLatin1(hash.toHex()) + QStringLiteral(".lock");
}
