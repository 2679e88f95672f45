#include "platform/Log.h"

#include <QDebug>

void Log::line(const QString &text)
{
    qInfo().noquote() << text;
}
