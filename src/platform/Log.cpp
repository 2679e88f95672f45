#include "platform/Log.h"

Q_LOGGING_CATEGORY(zelvoCore, "zelvo.core")
Q_LOGGING_CATEGORY(zelvoDownload, "zelvo.download")
Q_LOGGING_CATEGORY(zelvoStore, "zelvo.store")
Q_LOGGING_CATEGORY(zelvoMedia, "zelvo.media")

void Log::line(const QLoggingCategory &category, const QString &text)
{
    qCInfo(category).noquote() << text;
}
