#include "cli/CliParser.h"

#include "cli/CliOutput.h"

#include <QFileInfo>

#include <cstdio>

CliParser::CliParser(QString command, QString helpText)
    : m_command(std::move(command)), m_helpText(std::move(helpText)),
      m_help(QStringList{"h", "help"}, QStringLiteral("Show this help."))
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    m_parser.addOption(m_help);
}

std::optional<int> CliParser::parseOnly(const QStringList &arguments)
{
    if (!m_parser.parse(QStringList{m_command} + arguments))
        return usageError(m_parser.errorText());
    if (m_parser.isSet(m_help)) {
        CliOutput::out(m_helpText);
        return 0;
    }
    return std::nullopt;
}

std::optional<int> CliParser::parse(const QStringList &arguments, int positionals,
                                    const QString &positionalsText)
{
    if (const auto status = parseOnly(arguments)) return status;
    if (m_parser.positionalArguments().size() != positionals) return usageError(positionalsText);
    return std::nullopt;
}

std::optional<int> CliParser::parsePath(const QStringList &arguments, const QString &what,
                                        QString *path)
{
    if (const auto status = parse(arguments, 1, QStringLiteral("give one %1").arg(what)))
        return status;
    *path = QFileInfo(m_parser.positionalArguments().first()).absoluteFilePath();
    return std::nullopt;
}

std::optional<int> CliParser::parseOptional(const QStringList &arguments)
{
    if (const auto status = parseOnly(arguments)) return status;
    if (m_parser.positionalArguments().size() > 1)
        return usageError(QStringLiteral("give at most one search text"));
    return std::nullopt;
}

int CliParser::usageError(const QString &message) const
{
    CliOutput::err(
        QStringLiteral("zelvo-cli %1: %2\nTry 'zelvo-cli %1 --help'.").arg(m_command, message));
    return 2;
}
