#pragma once

#include <QString>

// Writes a small /bin/sh program that stands in for an outside tool whose behaviour a test
// must force (a crash, a flood of output, a hang).
class FakeExecutable
{
public:
    // Writes "#!/bin/sh\n" + body to path and makes it executable. Returns the path.
    static QString write(const QString &path, const QString &body);
};
