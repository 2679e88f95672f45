#pragma once

#include <QString>

// Finds the application's resource files (scripts, data model, images).
class Resources
{
public:
    // Path of "name.type", or a null string when it is nowhere to be found. Looks in
    // $ZELVO_RESOURCE_DIR, then beside the executable (<bin>/../share/zelvo, which is both
    // the build tree's and the install prefix's layout), then in the system data folders.
    static QString pathForResource(const QString &name, const QString &type);
};
