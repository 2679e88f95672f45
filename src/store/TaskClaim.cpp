#include "store/TaskClaim.h"

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
    if (!QDir().mkpath(folder)) return nullptr;
    const QString path = lockPath(folder, taskId);
    const QByteArray name = QFile::encodeName(path);
    for (;;) {
        const int descriptor = open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) return nullptr;
        if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            close(descriptor);
            return nullptr;
        }
        // Locked a file that its last holder removed meanwhile: try the one now there.
        if (sameFile(descriptor, name))
            return std::unique_ptr<TaskClaim>(new TaskClaim(descriptor, path));
        close(descriptor);
    }
}

bool TaskClaim::isHeld(const QString &folder, qint64 taskId)
{
    const int descriptor =
        open(QFile::encodeName(lockPath(folder, taskId)).constData(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool held = flock(descriptor, LOCK_SH | LOCK_NB) != 0;
    close(descriptor);
    return held;
}

QString TaskClaim::lockPath(const QString &folder, qint64 taskId)
{
    return QDir(folder).filePath(QString::number(taskId) + QStringLiteral(".lock"));
}
