#pragma once

#include "platform/ToolRunner.h"

#include <QString>
#include <QStringList>

class QProcess;

// Runs one program to completion and hands back its text output.
class NSterminal
{
public:
    // Standard output when the program wrote any, else standard error, else a null string.
    // The path is used as given (no PATH search). A launch failure sets *error (when given)
    // and returns a null string. Both streams are drained while the program runs.
    // A run past timeLimitMs is ended and answers what it wrote until then.
    static QString order(const QString &path, const QStringList &arguments,
                         QString *error = nullptr, int timeLimitMs = ToolRunner::noTimeLimit);
    // The bytes as UTF-8 text; null when empty or not valid UTF-8.
    static QString stringByPipe(const QByteArray &data);
    // Logs "Order: <path> <arg> <arg>...".
    static void printTaskSH(const QProcess &process);
};
