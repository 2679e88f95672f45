// Without libFuzzer: runs each target once over every file of the folders (or files) it is
// given, so the seeds and past findings stay a regression test on any compiler.
#include "FuzzSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>

namespace
{

QStringList inputsOf(const QString &argument)
{
    const QFileInfo info(argument);
    if (!info.isDir()) return {argument};
    QStringList inputs;
    const QDir folder(argument);
    for (const QString &name : folder.entryList(QDir::Files, QDir::Name))
        inputs << folder.filePath(name);
    return inputs;
}

bool runOne(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
        return false;
    }
    const QByteArray bytes = file.readAll();
    LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                           size_t(bytes.size()));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue; // libFuzzer's options
        for (const QString &path : inputsOf(QString::fromLocal8Bit(argv[i]))) {
            if (!runOne(path)) return 1;
            ++runs;
        }
    }
    std::printf("%d inputs run\n", runs);
    return runs > 0 ? 0 : 1; // an empty corpus is a broken test, not a pass
}
