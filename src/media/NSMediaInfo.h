#pragma once

#include <QString>

// Codec name, frame size, frame rate and duration of one media file, as ffprobe reports them.
class NSMediaInfo
{
public:
    float duration() const { return m_duration; }
    void setDuration(float seconds) { m_duration = seconds; }
    float fps() const { return m_fps; }
    void setFps(float fps) { m_fps = fps; }
    qint64 videoWidth() const { return m_videoWidth; }
    void setVideoWidth(qint64 width) { m_videoWidth = width; }
    qint64 videoHeight() const { return m_videoHeight; }
    void setVideoHeight(qint64 height) { m_videoHeight = height; }
    QString videoEncodeName() const { return m_videoEncodeName; }
    void setVideoEncodeName(const QString &name) { m_videoEncodeName = name; }

    // "1920 x 1080    h264  00:03:25 29.97 fps"
    QString description() const;

private:
    float m_duration = 0;
    float m_fps = 0;
    qint64 m_videoWidth = 0;
    qint64 m_videoHeight = 0;
    QString m_videoEncodeName;
};
