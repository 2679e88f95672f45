#include "media/VideoFrameSource.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/display.h>
#include <libswscale/swscale.h>
}

#include <QTransform>

#include <cmath>

namespace
{

struct PacketFreer {
    void operator()(AVPacket *packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
    void operator()(AVFrame *frame) const { av_frame_free(&frame); }
};
struct ScalerFreer {
    void operator()(SwsContext *context) const { sws_freeContext(context); }
};

QString averror(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

bool isPictureStream(const AVStream *stream)
{
    return stream->codecpar->codec_type == AVMEDIA_TYPE_VIDEO &&
           !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC);
}

// av_stream_get_side_data is gone from libavformat 61; the codec parameters carry it since 60.30.
const int32_t *displayMatrix(const AVStream *stream)
{
#if LIBAVCODEC_VERSION_INT >= AV_VERSION_INT(60, 30, 100)
    const AVPacketSideData *data =
        av_packet_side_data_get(stream->codecpar->coded_side_data,
                                stream->codecpar->nb_coded_side_data, AV_PKT_DATA_DISPLAYMATRIX);
    return data && data->size >= 9 * 4 ? reinterpret_cast<const int32_t *>(data->data) : nullptr;
#else
    size_t size = 0;
    const uint8_t *data = av_stream_get_side_data(stream, AV_PKT_DATA_DISPLAYMATRIX, &size);
    return data && size >= 9 * 4 ? reinterpret_cast<const int32_t *>(data) : nullptr;
#endif
}

// Clockwise degrees in [0, 360), the turn ffmpeg's own autorotation applies.
double clockwiseRotation(const AVStream *stream)
{
    const int32_t *matrix = displayMatrix(stream);
    if (!matrix) return 0;
    const double theta = -std::round(av_display_rotation_get(matrix));
    return theta - 360.0 * std::floor(theta / 360.0);
}

qint64 frameStamp(const AVFrame *frame)
{
    return frame->best_effort_timestamp == AV_NOPTS_VALUE ? frame->pts
                                                          : frame->best_effort_timestamp;
}

} // namespace

void VideoFrameSource::FormatCloser::operator()(AVFormatContext *context) const
{
    avformat_close_input(&context);
}

void VideoFrameSource::CodecFreer::operator()(AVCodecContext *context) const
{
    avcodec_free_context(&context);
}

VideoFrameSource::VideoFrameSource(const QString &path) : m_path(path), m_position(AV_NOPTS_VALUE)
{
}

VideoFrameSource::~VideoFrameSource() = default;

bool VideoFrameSource::fail(const QString &what, int code)
{
    m_error = code ? QStringLiteral("%1: %2 (%3)").arg(what, averror(code), m_path)
                   : QStringLiteral("%1 (%2)").arg(what, m_path);
    return false;
}

bool VideoFrameSource::open()
{
    if (m_format) return true;
    if (m_path.isEmpty()) return fail(QStringLiteral("No file"));
    AVFormatContext *context = nullptr;
    const int opened = avformat_open_input(&context, m_path.toUtf8().constData(), nullptr, nullptr);
    if (opened < 0) return fail(QStringLiteral("Cannot open"), opened);
    std::unique_ptr<AVFormatContext, FormatCloser> format(context);
    const int found = avformat_find_stream_info(context, nullptr);
    if (found < 0) return fail(QStringLiteral("Cannot read stream information"), found);
    m_format = std::move(format);
    return true;
}

// The file, its picture stream and a decoder, opened once and kept for the next call.
bool VideoFrameSource::prepare()
{
    if (m_decoder) return true;
    if (!open() || !openDecoder()) {
        m_decoder.reset();
        return false;
    }
    return true;
}

bool VideoFrameSource::openDecoder()
{
    for (unsigned i = 0; i < m_format->nb_streams && !m_stream; ++i) {
        if (isPictureStream(m_format->streams[i])) m_stream = m_format->streams[i];
    }
    if (!m_stream) return fail(QStringLiteral("No video track"));
    const AVCodec *codec = avcodec_find_decoder(m_stream->codecpar->codec_id);
    if (!codec) return fail(QStringLiteral("No decoder for the video track"));
    m_decoder.reset(avcodec_alloc_context3(codec));
    if (!m_decoder) return fail(QStringLiteral("Out of memory"));
    int status = avcodec_parameters_to_context(m_decoder.get(), m_stream->codecpar);
    if (status >= 0) {
        // An exact frame may lie seconds of frames past its key frame: every core decodes.
        m_decoder->thread_count = 0;
        status = avcodec_open2(m_decoder.get(), codec, nullptr);
    }
    return status >= 0 || fail(QStringLiteral("Cannot open the decoder"), status);
}

qint64 VideoFrameSource::startTime() const
{
    return m_format->start_time == AV_NOPTS_VALUE ? 0 : m_format->start_time;
}

qint64 VideoFrameSource::streamTime(double seconds) const
{
    const qint64 sinceEpoch = startTime() + std::llround(seconds * AV_TIME_BASE);
    return av_rescale_q(sinceEpoch, AV_TIME_BASE_Q, m_stream->time_base);
}

// Lands on the key frame at or before the stream time, with the decoder emptied.
bool VideoFrameSource::seek(qint64 target)
{
    m_position = AV_NOPTS_VALUE;
    const int status = av_seek_frame(m_format.get(), m_stream->index, target, AVSEEK_FLAG_BACKWARD);
    if (status < 0) return fail(QStringLiteral("Cannot seek"), status);
    avcodec_flush_buffers(m_decoder.get());
    m_draining = false;
    return true;
}

// Going on from the last frame given is cheaper than a seek when no key frame lies between.
bool VideoFrameSource::continuesForwardTo(qint64 target) const
{
    if (m_position == AV_NOPTS_VALUE || target <= m_position) return false;
    const int index = av_index_search_timestamp(m_stream, target, AVSEEK_FLAG_BACKWARD);
    const AVIndexEntry *key = index < 0 ? nullptr : avformat_index_get_entry(m_stream, index);
    return key && key->timestamp <= m_position;
}

// Reads the next packet of the video into the decoder, or tells it to drain at the end. The
// decoder would hold a key frame back for reordering until the next key frame (the frames
// between are discarded when only key frames are wanted), so it drains right after one then.
bool VideoFrameSource::feed(bool stopAfterKeyFrame)
{
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    if (!packet) return fail(QStringLiteral("Out of memory"));
    while (true) {
        if (av_read_frame(m_format.get(), packet.get()) < 0) {
            m_draining = true;
            avcodec_send_packet(m_decoder.get(), nullptr);
            return true;
        }
        if (packet->stream_index != m_stream->index) {
            av_packet_unref(packet.get());
            continue;
        }
        if (!stopAfterKeyFrame) m_decoder->skip_frame = AVDiscard(discardFor(packet.get()));
        avcodec_send_packet(m_decoder.get(), packet.get());
        if (stopAfterKeyFrame && (packet->flags & AV_PKT_FLAG_KEY)) {
            m_draining = true;
            avcodec_send_packet(m_decoder.get(), nullptr);
        }
        return true;
    }
}

// On the way to an exact frame, a frame before it that no other frame refers to is never
// shown: it is not decoded (about half of x264's frames).
int VideoFrameSource::discardFor(const AVPacket *packet) const
{
    const bool before = packet->pts != AV_NOPTS_VALUE && packet->pts < m_exactTarget;
    return before ? AVDISCARD_NONREF : AVDISCARD_DEFAULT;
}

bool VideoFrameSource::decode(AVFrame *frame, bool stopAfterKeyFrame)
{
    while (true) {
        const int received = avcodec_receive_frame(m_decoder.get(), frame);
        if (received >= 0) return true;
        if (received != AVERROR(EAGAIN) || m_draining)
            return fail(QStringLiteral("No frame decoded"), received == AVERROR_EOF ? 0 : received);
        if (!feed(stopAfterKeyFrame)) return false;
    }
}

QImage VideoFrameSource::toImage(const AVFrame *frame) const
{
    std::unique_ptr<SwsContext, ScalerFreer> scaler(
        sws_getContext(frame->width, frame->height, AVPixelFormat(frame->format), frame->width,
                       frame->height, AV_PIX_FMT_RGB32, SWS_BICUBIC, nullptr, nullptr, nullptr));
    if (!scaler) return {};
    QImage image(frame->width, frame->height, QImage::Format_RGB32);
    if (image.isNull()) return {};
    uint8_t *planes[4] = {image.bits(), nullptr, nullptr, nullptr};
    const int strides[4] = {int(image.bytesPerLine()), 0, 0, 0};
    sws_scale(scaler.get(), frame->data, frame->linesize, 0, frame->height, planes, strides);
    return image;
}

QImage VideoFrameSource::upright(const QImage &image) const
{
    const double degrees = clockwiseRotation(m_stream);
    if (degrees == 0) return image;
    return image.transformed(QTransform().rotate(degrees));
}

VideoFrameSource::Frame VideoFrameSource::picture(const AVFrame *frame)
{
    const qint64 sinceStart =
        av_rescale_q(frameStamp(frame), m_stream->time_base, AV_TIME_BASE_Q) - startTime();
    const QImage image = toImage(frame);
    if (image.isNull()) fail(QStringLiteral("Cannot convert the frame"));
    return {upright(image), CMTime{av_rescale(sinceStart, 1000, AV_TIME_BASE), 1000}};
}

VideoFrameSource::Frame VideoFrameSource::keyFrameAt(double seconds)
{
    if (!prepare() || !seek(streamTime(seconds))) return {};
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!frame) {
        fail(QStringLiteral("Out of memory"));
        return {};
    }
    // Only key frames are wanted, and a landing between them must not give a smeared picture.
    m_decoder->skip_frame = AVDISCARD_NONKEY;
    if (!decode(frame.get(), true)) return {};
    // Without its time a frame cannot be judged against the one asked for.
    if (frameStamp(frame.get()) == AV_NOPTS_VALUE) {
        fail(QStringLiteral("Frame without a time"));
        return {};
    }
    return picture(frame.get());
}

VideoFrameSource::Frame VideoFrameSource::frameAt(double seconds, const FrameHandler &firstPicture)
{
    if (!prepare()) return {};
    const qint64 target = streamTime(seconds);
    // After a key-frame read the decoder skips and has drained: it starts again from a seek.
    const bool fromKeyFrame = !continuesForwardTo(target);
    if (fromKeyFrame && !seek(target)) return {};
    m_exactTarget = target;
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    if (!frame) {
        fail(QStringLiteral("Out of memory"));
        return {};
    }
    bool first = fromKeyFrame;
    while (decode(frame.get(), false)) {
        const qint64 stamp = frameStamp(frame.get());
        if (stamp == AV_NOPTS_VALUE) continue;
        if (stamp >= target) {
            m_position = stamp;
            return picture(frame.get());
        }
        if (first && firstPicture) firstPicture(picture(frame.get()));
        first = false;
    }
    m_position = AV_NOPTS_VALUE;
    return {};
}

CMTime VideoFrameSource::duration()
{
    if (!open() || m_format->duration == AV_NOPTS_VALUE || m_format->duration < 0) return {0, 1000};
    return {av_rescale(m_format->duration, 1000, AV_TIME_BASE), 1000};
}
