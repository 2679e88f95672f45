#include "support/FakeExecutable.h"

#include <QFile>
#include <QSaveFile>

QString FakeExecutable::write(const QString &path, const QString &body)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(path));
    file.write("#!/bin/sh\n");
    file.write(body.toUtf8());
    if (!file.commit()) qFatal("cannot write %s", qPrintable(path));
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                    QFileDevice::ExeOwner | QFileDevice::ReadGroup |
                                    QFileDevice::ExeGroup | QFileDevice::ReadOther |
                                    QFileDevice::ExeOther);
    return path;
}
