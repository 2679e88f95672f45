#pragma once

#include <QStringList>

#include <memory>

class XTask;

// zelvo-cli download URL [--browser None|Firefox|Chrome] [--best] [--mp4] [--note TEXT]
// zelvo-cli resume ID
// Every download is a task of the history, created as the new-task form creates one.
class CliDownloadCommand
{
public:
    // arguments: what follows the command word. Each returns the process exit status.
    static int download(const QStringList &arguments);
    static int resume(const QStringList &arguments);

    // The task of an id given on the command line; null (and a message) when there is none.
    static std::shared_ptr<XTask> taskForId(const QString &text);

private:
    static std::optional<int> refuseURL(const QString &url);
    static int refuseKnownURL(const QString &url, const XTask &known);
    static void warnAboutBrowser(const QString &browser);
};
