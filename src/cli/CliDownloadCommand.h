#pragma once

#include <QStringList>

class CliProgress;
class NSYtdlpTask;

// zelvo-cli download URL --folder DIR [--browser None|Firefox|Chrome] [--best] [--mp4]
class CliDownloadCommand
{
public:
    // arguments: what follows "download". Returns the process exit status.
    static int run(const QStringList &arguments);

private:
    static int execute(NSYtdlpTask &task, const QString &url, CliProgress &progress);
};
