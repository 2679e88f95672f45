#pragma once

#include "media/EncodeError.h"

#include <QVariant>

#include <optional>

// The receiver of a re-encode's end and progress, on the main thread.
class NSffmpegConvert264_ProgressDelegate
{
public:
    virtual ~NSffmpegConvert264_ProgressDelegate() = default;
    // Never sent by the encoder; a delegate gives it the same handling as encodeVideoFailed.
    virtual void encodeVideoCompleted(const QVariant &result) = 0;
    // Every end of a job: no error means ffmpeg finished normally.
    virtual void encodeVideoFailed(const std::optional<EncodeError> &error) = 0;
    // Seconds of the input already encoded.
    virtual void progressDuration(float) {}
};
