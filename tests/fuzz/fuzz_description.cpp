// A page description file as yt-dlp (or anyone) left it beside the media. It is taken only
// when it is valid UTF-8: then it gives back exactly the file's bytes (no replacement
// character, no byte order mark dropped); otherwise it is refused.
#include "FuzzSupport.h"

#include "platform/TextDecoding.h"

#include <QByteArrayView>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> text = TextDecoding::strictUtf8(bytes);
    FUZZ_CHECK(text.has_value() == QByteArrayView(bytes).isValidUtf8());
    if (text) FUZZ_CHECK(text->toUtf8() == bytes);
    return 0;
}
