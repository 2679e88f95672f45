// The preferences file as another process (or a person) may have written it: every key read
// through the typed readers. Beyond not crashing: a float is always finite, and a folder is
// either absent or an absolute local path.
#include "FuzzSupport.h"

#include "store/StoredSettings.h"
#include "support/FileContents.h"
#include "support/TestEnvironment.h"

#include <QDateTime>
#include <QDir>
#include <QFile>

#include <cmath>

namespace
{

using Settings = StoredSettings;

QString settingsFile()
{
    static const QString file = TestEnvironment::isolateHome() + "/.config/Zelvo/Zelvo.conf";
    return file;
}

// QSettings rereads a file only when its size or time changed; each input gets a time of
// its own so that none is taken for the one before.
void writeSettings(QByteArrayView bytes)
{
    static qint64 inputs = 0;
    FUZZ_CHECK(FileContents::write(settingsFile(), bytes.toByteArray()));
    QFile file(settingsFile());
    FUZZ_CHECK(file.open(QIODevice::ReadWrite));
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
