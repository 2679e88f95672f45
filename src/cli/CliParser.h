#pragma once

#include <QCommandLineParser>
#include <QStringList>

#include <optional>

// The command line of one zelvo-cli command: its options, --help, and the usage error that
// every command reports the same way.
class CliParser
{
public:
    CliParser(QString command, QString helpText);

    void addOption(const QCommandLineOption &option) { m_parser.addOption(option); }
    // The exit status when the command ends here (help shown: 0, usage error: 2); nothing
    // when it goes on. Checks that there are exactly `positionals` positional arguments.
    std::optional<int> parse(const QStringList &arguments, int positionals,
                             const QString &positionalsText);
    // For one positional argument naming a file or folder, given back as an absolute path.
    std::optional<int> parsePath(const QStringList &arguments, const QString &what, QString *path);
    // For a list of 0 or 1 positional argument.
    std::optional<int> parseOptional(const QStringList &arguments);

    bool isSet(const QCommandLineOption &option) const { return m_parser.isSet(option); }
    QString value(const QCommandLineOption &option) const { return m_parser.value(option); }
    QStringList positionalArguments() const { return m_parser.positionalArguments(); }

    int usageError(const QString &message) const;

private:
    std::optional<int> parseOnly(const QStringList &arguments);

    QString m_command;
    QString m_helpText;
    QCommandLineParser m_parser;
    QCommandLineOption m_help;
};
