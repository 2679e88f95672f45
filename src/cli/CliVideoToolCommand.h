#pragma once

#include <QStringList>

#include <optional>

class CliParser;
class QCommandLineOption;
class NSVideoToolController;

// zelvo-cli trim ID [--file N] --head S --tail S [--yes]
// zelvo-cli encode ID [--file N]
// zelvo-cli thumbnail ID [--file N] --at FRACTION
// The video tools of the desktop application, on one file of a finished task.
class CliVideoToolCommand
{
public:
    // arguments: what follows the command word. Each returns the process exit status.
    static int trim(const QStringList &arguments);
    static int encode(const QStringList &arguments);
    static int thumbnail(const QStringList &arguments);

private:
    // Parses the task id and --file, opens the history and selects the file; the exit status
    // when the command ends there.
    static std::optional<int> prepare(CliParser &parser, const QStringList &arguments,
                                      NSVideoToolController &tools);
    // A finite number given to the option; nothing (and a usage error) otherwise.
    static std::optional<float> number(CliParser &parser, const QCommandLineOption &option,
                                       int *status);
    static bool confirmTrim(bool yes, int *status);
    static void printFile(const NSVideoToolController &tools);
};
