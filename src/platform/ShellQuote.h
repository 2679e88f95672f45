#pragma once

#include <QString>
#include <QStringList>

// Quoting for the POSIX shell: the result, read back by `eval "set -- ..."`, is exactly the
// original word, whatever bytes it holds.
class ShellQuote
{
public:
    static QString quote(const QString &word);
    static QString join(const QStringList &words);
};
