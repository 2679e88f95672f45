#include "download/NSterminal.h"

#include "platform/Log.h"

#include <QFileInfo>
#include <QProcess>
#include <QStringDecoder>

QString NSterminal::order(const QString &path, const QStringList &arguments, QString *error)
{
    QProcess process;
    // QProcess searches PATH for a bare name; the caller's path must be taken as it is.
    const QString program =
        path.contains(QLatin1Char('/')) ? path : QFileInfo(path).absoluteFilePath();
    process.setProgram(program);
    process.setArguments(arguments);
    process.start(QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        if (error) *error = process.errorString();
        return {};
    }
    // waitForFinished keeps reading both pipes into QProcess's buffers, so a chatty child
    // never blocks on a full pipe.
    process.waitForFinished(-1);
    const QString output = stringByPipe(process.readAllStandardOutput());
    if (!output.isNull()) return output;
    return stringByPipe(process.readAllStandardError());
}

QString NSterminal::stringByPipe(const QByteArray &data)
{
    if (data.isEmpty()) return {};
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(data);
    if (decoder.hasError()) return {};
    return text;
}

void NSterminal::printTaskSH(const QProcess &process)
{
    QString line = process.program();
    for (const QString &argument : process.arguments())
        line += QLatin1Char(' ') + argument;
    Log::line(zelvoDownload(), QStringLiteral("Order: %1").arg(line));
}
