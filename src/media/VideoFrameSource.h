#pragma once

#include "media/CMTime.h"

#include <QImage>
#include <QString>

#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

// Frames and durations read in process with libavformat/libavcodec, standing in for the
// platform's audio-visual framework: seeks land on the key frame at or before the time, as
// that framework does with its default tolerances. Times count from the container's start.
class VideoFrameSource
{
public:
    struct Frame {
        QImage image; // null when no frame could be decoded
        CMTime time;  // the frame's own time, which may differ from the one asked for
    };

    explicit VideoFrameSource(const QString &path);
    ~VideoFrameSource();
    VideoFrameSource(const VideoFrameSource &) = delete;
    VideoFrameSource &operator=(const VideoFrameSource &) = delete;

    // The key frame at or before the time, upright; a container without an index may land later.
    Frame keyFrameAt(double seconds);
    // The container's duration in milliseconds; 0 when unknown or unreadable.
    CMTime duration();
    QString errorString() const { return m_error; }

private:
    struct FormatCloser {
        void operator()(AVFormatContext *context) const;
    };
    struct CodecFreer {
        void operator()(AVCodecContext *context) const;
    };

    bool open();
    bool openDecoder();
    bool seek(double seconds);
    bool feed(AVPacket *packet);
    bool decodeFirstFrame(AVFrame *frame);
    QImage toImage(const AVFrame *frame) const;
    QImage upright(const QImage &image) const;
    qint64 startTime() const;
    bool fail(const QString &what, int code = 0);

    QString m_path;
    QString m_error;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecFreer> m_decoder;
    AVStream *m_stream = nullptr;
};
