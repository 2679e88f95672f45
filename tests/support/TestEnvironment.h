#pragma once

#include <QString>

// Gives the test process a HOME and XDG_CONFIG_HOME of its own, in a temporary folder, so
// nothing touches the user's settings or history. Call before the first use of settings.
class TestEnvironment
{
public:
    static QString isolateHome();
    // The build's resource folder (scripts), as the binaries find it.
    static QString resourceFile(const QString &name);
};
