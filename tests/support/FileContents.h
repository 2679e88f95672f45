#pragma once

#include <QDir>
#include <QFile>
#include <QFileInfo>

// Whole-file reads and writes for tests that prepare or compare files on disk.
class FileContents
{
public:
    // The file's bytes; empty when it cannot be read.
    static QByteArray read(const QString &path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Writes bytes to path, making its folder first; true when all were written.
    static bool write(const QString &path, const QByteArray &bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // Both files can be read and hold the same bytes.
    static bool same(const QString &path, const QString &otherPath)
    {
        QFile file(path);
        QFile other(otherPath);
        return file.open(QIODevice::ReadOnly) && other.open(QIODevice::ReadOnly) &&
               file.readAll() == other.readAll();
    }
};
