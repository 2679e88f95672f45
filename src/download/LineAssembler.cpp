#include "download/LineAssembler.h"

namespace
{

qsizetype lastLineBreak(const QString &text)
{
    for (qsizetype i = text.size() - 1; i >= 0; --i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) return i;
    }
    return -1;
}

} // namespace

QString LineAssembler::feed(QByteArrayView bytes)
{
    QString text = m_heldBack + m_decoder.decode(bytes);
    const qsizetype end = lastLineBreak(text);
    if (end < 0) {
        if (text.size() > maximumHeldBack) {
            m_heldBack.clear();
            return text + QLatin1Char('\n');
        }
        m_heldBack = text;
        return {};
    }
    m_heldBack = text.mid(end + 1);
    text.truncate(end + 1);
    return text;
}

QString LineAssembler::finish()
{
    QString rest = m_heldBack;
    m_heldBack.clear();
    m_decoder.resetState();
    return rest;
}
