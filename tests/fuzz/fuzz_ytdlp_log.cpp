// yt-dlp's standard output through the runner's whole reading path (held-back lines and
// characters, line filter, stop reason, analysis, progress line), cut into reads where the
// input's first bytes say: byte 0 gives how many read sizes follow (0-7), each 1-256 bytes,
// used in turn; the rest is the output. Beyond not crashing: progress stays within 0..1,
// and a reading pass reports at most one stop reason, and says so when it does.
#include "FuzzSupport.h"

#include "download/NSYtdlpTask.h"
#include "support/LogCapture.h"

#include <QByteArrayView>

#include <algorithm>

namespace
{

class CheckingDelegate : public NSYtdlpTaskDelegate
{
public:
    int reasons = 0;

    void downloadStoppedWithReason(const QString &) override { ++reasons; }
    void progress(float progress, float, float) override
    {
        FUZZ_CHECK(progress >= 0.0f && progress <= 1.0f);
    }
};

struct Reads {
    QByteArrayView sizes;
    QByteArrayView output;

    qsizetype next(qsizetype index) const
    {
        return sizes.isEmpty() ? output.size() : 1 + uchar(sizes[index % sizes.size()]);
    }
};

Reads readsOf(QByteArrayView input)
{
    if (input.isEmpty()) return {};
    const qsizetype count = std::min<qsizetype>(uchar(input[0]) % 8, input.size() - 1);
    return {input.sliced(1, count), input.sliced(1 + count)};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const Reads reads = readsOf(QByteArrayView(data, qsizetype(size)));
    LogCapture log; // the grammar logs every discarded line
    CheckingDelegate delegate;
    NSYtdlpTask task(QStringLiteral("ytdlp.sh"), &delegate);
    qsizetype at = 0;
    for (qsizetype index = 0;; ++index) {
        const qsizetype length = std::min(reads.next(index), reads.output.size() - at);
        const QByteArrayView piece = reads.output.sliced(at, length);
        at += length;
        delegate.reasons = 0;
        if (at == reads.output.size()) {
            // The last piece is what the child left after its exit: the final pass.
            const bool stopped = task.finishOutput(piece);
            FUZZ_CHECK(delegate.reasons == (stopped ? 1 : 0));
            break;
        }
        task.consumeOutput(piece);
        FUZZ_CHECK(delegate.reasons <= 1);
    }
    return 0;
}
