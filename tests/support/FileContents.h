#pragma once

#include <QByteArray>
#include <QString>

// Whole-file reads and writes for tests that prepare or compare files on disk.
class FileContents
{
public:
    // The file's bytes; empty when it cannot be read.
    static QByteArray read(const QString &path);
    // Writes bytes to path, making its folder first; true when all were written.
    static bool write(const QString &path, const QByteArray &bytes);
    // Both files can be read and hold the same bytes.
    static bool same(const QString &path, const QString &otherPath);
};
