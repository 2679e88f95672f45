#pragma once

#include <QString>
#include <QUrl>
#include <QVariant>

// The application's preferences: eleven keys in QSettings("Zelvo", "Zelvo") (on Linux
// $XDG_CONFIG_HOME/Zelvo/Zelvo.conf). Nothing registers defaults, so a key never written
// reads as absent: NO, 0.0 or a null value. Values are read by conversion, never by type,
// because a value written by another process comes back as text.
//
// The settings file is fixed at the first use in a process; tests set HOME and
// XDG_CONFIG_HOME before it. Any thread may call these.
class StoredSettings
{
public:
    static constexpr const char *KEY_WORKING_URL_DATA = "KEY_WORKING_URL_DATA";
    static constexpr const char *KEY_AUDO_START_DOWNLOAD = "KEY_AUDO_START_DOWNLOAD";
    static constexpr const char *KEY_VERSION_STRING = "KEY_VERSION_STRING";
    static constexpr const char *KEY_UPDATE_CHECK_DATE = "KEY_UPDATE_CHECK_DATE";
    static constexpr const char *KEY_FFMPEG_URL = "KEY_FFMPEG_URL";
    static constexpr const char *KEY_FFMPEG_VERSION = "KEY_FFMPEG_VERSION";
    static constexpr const char *KEY_LAST_SELECTED_COOKIE_BROWSER =
        "KEY_LAST_SELECTED_COOKIE_BROWSER";
    static constexpr const char *KEY_NSCreateTaskView_LAST_BESTVIDEO =
        "KEY_NSCreateTaskView_LAST_BESTVIDEO";
    static constexpr const char *KEY_NSCreateTaskView_LAST_MP4 = "KEY_NSCreateTaskView_LAST_MP4";
    static constexpr const char *KEY_DEFAULT_REMOVE_START = "KEY_DEFAULT_REMOVE_START";
    static constexpr const char *KEY_DEFAULT_REMOVE_END = "KEY_DEFAULT_REMOVE_END";

    // Writes the value and syncs at once; a null QVariant removes the key.
    static void setValue(const char *key, const QVariant &value);
    // A folder as its file URL's encoded form, the way the two folder keys hold it.
    static void setFolder(const char *key, const QString &folder);

    static QVariant value(const char *key);
    static bool boolValue(const char *key);
    // 0.0 when absent, not a number, or not finite.
    static float floatValue(const char *key);
    static QString stringValue(const char *key);
    // The folder URL under the key; an empty QUrl when absent or not an absolute local file.
    static QUrl folderURL(const char *key);

    // Start a new task's download as soon as it is created.
    static bool startDownloadAfterCreated();
    // The working folder (not the executable): only when a "yt-dlp" lies directly in it.
    static QUrl ytdlpPath();
    // The ffmpeg executable in the folder of KEY_FFMPEG_URL, or else of the working folder;
    // only when it exists. Take its toLocalFile(), never path().
    static QUrl ffmpegURL();
    static QString ffmpegVersion();
};
