#pragma once

#include <QString>
#include <QStringList>

#include <functional>

// Makes the working folder's ffmpeg, ffplay and ffprobe links to the system's own (Linux, where
// the distribution's package provides all three). The prebuilt-download chain does not apply.
class SystemToolLinker
{
public:
    using Handler = std::function<void(const QString &)>;

    // The folders searched, in order; by default those of PATH.
    explicit SystemToolLinker(QStringList searchPath = pathFromEnvironment());

    // Reports "Check and install <tool>." per tool and "All app have installed." at the end;
    // stops at the first tool it cannot link, with the reason in error and to the handler.
    bool linkInto(const QString &folder, QString *error, const Handler &handler) const;

    // The tools the search path lacks (outside the folder): those the system must provide
    // before linkInto can succeed.
    QStringList missingTools(const QString &folder) const;

    static QStringList pathFromEnvironment();

private:
    QString findOutside(const QString &tool, const QString &folder) const;
    QString link(const QString &tool, const QString &target, const QString &folder) const;
    static bool isInside(const QString &path, const QString &folder);

    QStringList m_searchPath;
};
