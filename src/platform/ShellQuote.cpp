#include "platform/ShellQuote.h"

QString ShellQuote::quote(const QString &word)
{
    // Inside single quotes nothing is special but the quote itself, which is closed,
    // written escaped and reopened.
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ShellQuote::join(const QStringList &words)
{
    QStringList quoted;
    quoted.reserve(words.size());
    for (const QString &word : words)
        quoted << quote(word);
    return quoted.join(QLatin1Char(' '));
}
