#include "FuzzSupport.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace
{

void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

} // namespace

void FuzzSupport::fail(const char *condition, const char *file, int line)
{
    std::fprintf(stderr, "%s:%d: property broken: %s\n", file, line, condition);
    std::abort();
}

extern "C" int LLVMFuzzerInitialize(int *argc, char ***argv)
{
    static QCoreApplication application(*argc, *argv);
    // ZELVO_LOG=1 shows the log, to see why an input failed.
    if (!qEnvironmentVariableIsSet("ZELVO_LOG")) qInstallMessageHandler(&quiet);
    return 0;
}
