// The preferences file as another process (or a person) may have written it: every key read
// through the typed readers. Beyond not crashing: a float is always finite, and a folder is
// either absent or an absolute local path.
#include "FuzzSupport.h"

#include "store/StoredSettings.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cmath>

namespace
{

using Settings = StoredSettings;

QString settingsFile()
{
    static QTemporaryDir home;
    static const bool isolated = [] {
        qputenv("HOME", home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")).toUtf8());
        return QDir().mkpath(home.filePath(QStringLiteral(".config/Zelvo")));
    }();
    FUZZ_CHECK(isolated);
    return home.filePath(QStringLiteral(".config/Zelvo/Zelvo.conf"));
}

// QSettings rereads a file only when its size or time changed; each input gets a time of
// its own so that none is taken for the one before.
void writeSettings(QByteArrayView bytes)
{
    static qint64 inputs = 0;
    QFile file(settingsFile());
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes.data(), bytes.size());
    file.flush(); // the time is set after the last write, or the write would set it again
    file.setFileTime(QDateTime::fromSecsSinceEpoch(1'000'000'000 + ++inputs),
                     QFileDevice::FileModificationTime);
}

void checkFolder(const QUrl &folder)
{
    FUZZ_CHECK(folder.isEmpty() ||
               (folder.isLocalFile() && QDir::isAbsolutePath(folder.toLocalFile())));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    writeSettings(QByteArrayView(data, qsizetype(size)));
    for (const char *key : {Settings::KEY_DEFAULT_REMOVE_START, Settings::KEY_DEFAULT_REMOVE_END})
        FUZZ_CHECK(std::isfinite(Settings::floatValue(key)));
    for (const char *key :
         {Settings::KEY_NSCreateTaskView_LAST_BESTVIDEO, Settings::KEY_NSCreateTaskView_LAST_MP4})
        (void)Settings::boolValue(key);
    for (const char *key :
         {Settings::KEY_VERSION_STRING, Settings::KEY_LAST_SELECTED_COOKIE_BROWSER})
        (void)Settings::stringValue(key);
    (void)Settings::value(Settings::KEY_UPDATE_CHECK_DATE).toDateTime();
    checkFolder(Settings::folderURL(Settings::KEY_WORKING_URL_DATA));
    checkFolder(Settings::folderURL(Settings::KEY_FFMPEG_URL));
    (void)Settings::startDownloadAfterCreated();
    checkFolder(Settings::ytdlpPath());
    (void)Settings::ffmpegURL();
    (void)Settings::ffmpegVersion();
    return 0;
}
