#pragma once

#include "media/CMTime.h"

#include <QImage>
#include <QString>

#include <functional>
#include <memory>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;
struct AVStream;

// Frames and durations of one file read in process with libavformat/libavcodec, standing in
// for the platform's audio-visual framework. The file and its decoder stay open between calls,
// so a preview that asks again pays no opening. Times count from the container's start. One
// thread at a time.
class VideoFrameSource
{
public:
    struct Frame {
        QImage image; // null when no frame could be decoded
        CMTime time;  // the frame's own time, which may differ from the one asked for
    };
    using FrameHandler = std::function<void(const Frame &)>;

    explicit VideoFrameSource(const QString &path);
    ~VideoFrameSource();
    VideoFrameSource(const VideoFrameSource &) = delete;
    VideoFrameSource &operator=(const VideoFrameSource &) = delete;

    // The key frame at or before the time, upright; a container without an index may land
    // later. Seeks land as the platform's framework does with its default tolerances.
    Frame keyFrameAt(double seconds);
    // The first frame at or after the time, upright: what "ffmpeg -ss T -i FILE -frames:v 1"
    // gives. Decodes forward from the key frame before the time, or from the last frame given
    // when that is nearer. firstPicture, when set, receives the first frame decoded on the way
    // (the key frame), so a preview can show something before the exact frame is ready. Null
    // past the last frame.
    Frame frameAt(double seconds, const FrameHandler &firstPicture = {});
    // The file opens and has a video track the libraries decode.
    bool isReadable() { return prepare(); }
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
    bool prepare();
    bool openDecoder();
    qint64 streamTime(double seconds) const;
    bool seek(qint64 target);
    bool continuesForwardTo(qint64 target) const;
    bool decode(AVFrame *frame, bool stopAfterKeyFrame);
    bool feed(bool stopAfterKeyFrame);
    int discardFor(const AVPacket *packet) const;
    Frame picture(const AVFrame *frame);
    QImage toImage(const AVFrame *frame) const;
    QImage upright(const QImage &image) const;
    qint64 startTime() const;
    bool fail(const QString &what, int code = 0);

    QString m_path;
    QString m_error;
    std::unique_ptr<AVFormatContext, FormatCloser> m_format;
    std::unique_ptr<AVCodecContext, CodecFreer> m_decoder;
    AVStream *m_stream = nullptr;
    bool m_draining = false;
    qint64 m_exactTarget = 0; // the stream time frameAt decodes towards
    // The stream time of the last frame frameAt gave, while the decoder still stands right
    // after it; none after a seek, a key-frame read or the end.
    qint64 m_position;
};
