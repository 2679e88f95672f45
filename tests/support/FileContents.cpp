#include "FileContents.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

QByteArray FileContents::read(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool FileContents::write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool FileContents::same(const QString &path, const QString &otherPath)
{
    QFile file(path);
    QFile other(otherPath);
    return file.open(QIODevice::ReadOnly) && other.open(QIODevice::ReadOnly) &&
           file.readAll() == other.readAll();
}
