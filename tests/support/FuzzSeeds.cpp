#include "support/FuzzSeeds.h"

#include "platform/ShellQuote.h"
#include "support/FakeExecutable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

bool FuzzSeeds::recording()
{
    return !qEnvironmentVariableIsEmpty("ZELVO_FUZZ_SEEDS");
}

QString FuzzSeeds::targetFolder(const QString &target)
{
    const QString folder = QDir(qEnvironmentVariable("ZELVO_FUZZ_SEEDS")).filePath(target);
    QDir().mkpath(folder);
    return folder;
}

bool FuzzSeeds::writeRecorder(const QString &path, const QString &tool, const QString &target,
                              const QByteArray &prefix)
{
    if (!recording()) return false;
    QString octal;
    for (const char byte : prefix)
        octal += QStringLiteral("\\%1").arg(uint(uchar(byte)), 3, 8, QLatin1Char('0'));
    const QString seed = ShellQuote::quote(targetFolder(target) + QStringLiteral("/seed-XXXXXX"));
    // Each stream through a pipe of its own, so that the output still arrives as it is
    // written, and to a seed of its own.
    FakeExecutable::write(
        path, QStringLiteral("out=$(mktemp %1); err=$(mktemp %1)\n"
                             "printf '%2' > \"$out\"; printf '%2' > \"$err\"\n"
                             "{ %3 \"$@\" 2>&1 1>&3 3>&- | tee -a \"$err\" >&2 3>&-; } 3>&1 |"
                             " tee -a \"$out\"\n")
                  .arg(seed, octal, ShellQuote::quote(tool)));
    return true;
}

void FuzzSeeds::recordFile(const QString &file, const QString &target)
{
    QFile source(file);
    if (!recording() || !source.open(QIODevice::ReadOnly)) return;
    const QByteArray bytes = source.readAll();
    const QString name = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    QFile seed(QDir(targetFolder(target)).filePath(name));
    if (seed.open(QIODevice::WriteOnly)) seed.write(bytes);
}
