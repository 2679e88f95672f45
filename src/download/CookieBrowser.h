#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The browsers whose cookies yt-dlp may use, by the labels the new-task form shows and the
// task stores: "None", "Firefox", "Chrome".
class CookieBrowser
{
public:
    static QStringList labels();
    // The label a name stands for, in any case; an empty name is "None". Nothing for a
    // browser that is not offered.
    static std::optional<QString> labelFor(const QString &name);
    // Whether the user should hear that the chosen browser is not running, so yt-dlp may not
    // find the account's cookies: never for "None".
    static bool needShowAccountWarning(const QString &label);
};
