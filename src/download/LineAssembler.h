#pragma once

#include <QString>
#include <QStringDecoder>

// Turns a byte stream read in arbitrary pieces into whole lines of text. A line cut by a
// read boundary, or a UTF-8 character cut between two reads, is held back and joined with
// the next piece. Invalid bytes become U+FFFD rather than costing the whole read.
class LineAssembler
{
public:
    // The complete lines now available (ending in CR or LF), or an empty string.
    QString feed(QByteArrayView bytes);
    // Whatever is still held back (a last line with no line break), and a fresh start.
    QString finish();

private:
    // A "line" longer than this is passed on as it is rather than held without limit.
    static constexpr qsizetype maximumHeldBack = 1 << 20;

    QStringDecoder m_decoder{QStringDecoder::Utf8};
    QString m_heldBack;
};
