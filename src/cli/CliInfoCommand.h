#pragma once

#include <QStringList>

// zelvo-cli info FILE: codec, frame size, frame rate and duration of one media file.
class CliInfoCommand
{
public:
    static int run(const QStringList &arguments);
};
