#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Text files written by others (yt-dlp's description files) are taken only when they are
// valid UTF-8, never with replacement characters.
class TextDecoding
{
public:
    static std::optional<QString> strictUtf8(const QByteArray &bytes);
    // A tool's output as text: null when empty or not valid UTF-8.
    static QString pipeText(const QByteArray &bytes);
};
