#include "download/LineAssembler.h"

#include <utility>

namespace
{

qsizetype lastLineBreak(const QString &text, qsizetype from)
{
    for (qsizetype i = text.size() - 1; i >= from; --i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) return i;
    }
    return -1;
}

} // namespace

QString LineAssembler::feed(QByteArrayView bytes)
{
    // The held-back text has no line break, so only the newly decoded text is searched, and
    // a long line grows in place rather than being copied at every read.
    const qsizetype searchFrom = m_heldBack.size();
    m_heldBack += m_decoder.decode(bytes);
    const qsizetype end = lastLineBreak(m_heldBack, searchFrom);
    if (end < 0) {
        if (m_heldBack.size() <= maximumHeldBack) return {};
        QString text = std::exchange(m_heldBack, QString());
        return text + QLatin1Char('\n');
    }
    QString text = m_heldBack.left(end + 1);
    m_heldBack.remove(0, end + 1);
    return text;
}

QString LineAssembler::finish()
{
    QString rest = std::exchange(m_heldBack, QString());
    m_decoder.resetState();
    return rest;
}
