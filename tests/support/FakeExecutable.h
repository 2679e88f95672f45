#pragma once

#include <QFile>
#include <QSaveFile>

// Writes a small /bin/sh program that stands in for an outside tool whose behaviour a test
// must force (a crash, a flood of output, a hang).
class FakeExecutable
{
public:
    // Writes "#!/bin/sh\n" + body to path and makes it executable. Returns the path.
    static QString write(const QString &path, const QString &body)
    {
        QSaveFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write("#!/bin/sh\n" + body.toUtf8());
        if (!file.commit()) qFatal("cannot write %s", qPrintable(path));
        QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner | QFile::ExeGroup |
                                        QFile::ExeOther);
        return path;
    }
};
