#include "platform/TextDecoding.h"

#include <QStringDecoder>

std::optional<QString> TextDecoding::strictUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder.decode(bytes);
    if (decoder.hasError()) return std::nullopt;
    return text;
}

QString TextDecoding::pipeText(const QByteArray &bytes)
{
    if (bytes.isEmpty()) return {};
    return strictUtf8(bytes).value_or(QString());
}
