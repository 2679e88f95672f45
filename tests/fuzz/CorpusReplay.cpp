// Without libFuzzer: runs each target once over every file of the folders (or files) it is
// given, so the seeds and past findings stay a regression test on any compiler.
#include "FuzzSupport.h"

#include "support/FileContents.h"

#include <QDir>
#include <QFileInfo>

#include <cstdio>

int main(int argc, char **argv)
{
    LLVMFuzzerInitialize(&argc, &argv);
    int runs = 0;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') continue; // libFuzzer's options
        const QString argument = QString::fromLocal8Bit(argv[i]);
        QStringList inputs = {argument};
        if (QFileInfo(argument).isDir()) {
            inputs.clear();
            for (const QString &name : QDir(argument).entryList(QDir::Files, QDir::Name))
                inputs << QDir(argument).filePath(name);
        }
        for (const QString &path : inputs) {
            if (!QFileInfo(path).isReadable()) {
                std::fprintf(stderr, "cannot read %s\n", qPrintable(path));
                return 1;
            }
            const QByteArray bytes = FileContents::read(path);
            LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                   size_t(bytes.size()));
            ++runs;
        }
    }
    std::printf("%d inputs run\n", runs);
    return runs > 0 ? 0 : 1; // an empty corpus is a broken test, not a pass
}
