#pragma once

#include <QStringList>

#include <memory>

class XTask;

// zelvo-cli list [SEARCH], show ID, remove ID: the history as the desktop application's grid
// and detail sheet show it, and its removal.
class CliHistoryCommand
{
public:
    static int list(const QStringList &arguments);
    static int show(const QStringList &arguments);
    static int remove(const QStringList &arguments);

private:
    static QStringList listRow(const XTask &task, const QString &filePath);
    static void showTask(const std::shared_ptr<XTask> &task);
    static QString statusWord(qint64 status);
};
