#include "cli/CliRawPath.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

namespace
{

// The process's own arguments, byte for byte.
QList<QByteArray> rawArguments()
{
    QFile commandLine(QStringLiteral("/proc/self/cmdline"));
    if (!commandLine.open(QIODevice::ReadOnly)) return {};
    QList<QByteArray> arguments = commandLine.readAll().split('\0');
    if (!arguments.isEmpty() && arguments.last().isEmpty()) arguments.removeLast();
    return arguments;
}

QByteArray absoluteBytes(const QByteArray &path)
{
    if (path.startsWith('/')) return path;
    char folder[4096];
    if (!getcwd(folder, sizeof folder)) return path;
    return QByteArray(folder) + '/' + path;
}

} // namespace

CliRawPath::CliRawPath(const QString &argument)
{
    m_path = QFileInfo(argument).absoluteFilePath();
    if (QFileInfo::exists(m_path)) return;
    for (const QByteArray &raw : rawArguments()) {
        if (QString::fromLocal8Bit(raw) != argument || QFile::encodeName(argument) == raw) continue;
        m_links = std::make_unique<QTemporaryDir>();
        const QString link = m_links->filePath(QStringLiteral("file"));
        if (symlink(absoluteBytes(raw).constData(), QFile::encodeName(link).constData()) == 0)
            m_path = link;
        return;
    }
}
