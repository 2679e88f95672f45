#include "cli/CliInfoCommand.h"

#include "cli/CliOutput.h"
#include "cli/CliParser.h"
#include "cli/CliRawPath.h"
#include "media/NSffprobe.h"
#include "store/StoredSettings.h"

#include <QFileInfo>

namespace
{

const char helpText[] = "Usage: zelvo-cli info FILE\n"
                        "\n"
                        "Prints the video codec, frame size, frame rate and duration of FILE,\n"
                        "read with the working folder's ffprobe. Exit status 1 when ffprobe\n"
                        "finds no video in it.\n";

} // namespace

int CliInfoCommand::run(const QStringList &arguments)
{
    CliParser parser(QStringLiteral("info"), QString::fromUtf8(helpText));
    if (const auto status = parser.parse(arguments, 1, QStringLiteral("give one file")))
        return *status;
    const CliRawPath file(parser.positionalArguments().first());
    QString folder = StoredSettings::ytdlpPath().toLocalFile();
    if (folder.isEmpty()) folder = QFileInfo(StoredSettings::ffmpegURL().toLocalFile()).path();
    const auto info = NSffprobe::videoEncodeNameFileURL(QUrl::fromLocalFile(file.path()), folder);
    if (!info) {
        CliOutput::err(QStringLiteral("ffprobe error."));
        return 1;
    }
    CliOutput::out(CliOutput::oneLine(info->description()));
    return 0;
}
