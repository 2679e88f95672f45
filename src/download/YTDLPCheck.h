#pragma once

#include "platform/ToolRunner.h"

#include <QString>
#include <QUrl>

// Installs yt-dlp into a working folder and checks or updates it, through the install and
// update scripts. One checker serves one operation.
class YTDLPCheck
{
public:
    // 2: the version is known (current or just updated); 1: yt-dlp is missing (*error is set
    // to "No such file or directory"); -1: anything else.
    qint64 checkYtdlpInURL(const QUrl &folder, QString *error = nullptr);
    void installAtPath(const QUrl &folder);
    QString version() const { return m_version; }

private:
    ToolRunner::Outcome runScript(const QString &name, const QStringList &arguments);
    bool claim();

    bool m_used = false;
    QString m_version;
};
