#pragma once

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A path given on the command line, readable by name whatever bytes it holds. Qt decodes
// arguments as UTF-8 and a file name that is not UTF-8 loses bytes on the way; such a file
// is reached through a link with a plain name, made from the argument's own bytes.
class CliRawPath
{
public:
    // `argument`: the positional argument as Qt decoded it.
    explicit CliRawPath(const QString &argument);
    // The absolute path to hand to our code and tools (the link, when one was needed).
    QString path() const { return m_path; }

private:
    std::unique_ptr<QTemporaryDir> m_links;
    QString m_path;
};
