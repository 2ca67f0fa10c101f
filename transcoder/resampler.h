// Converts decoded frames to the sink's sample format, rate and channels with one libswresample
// context for the whole run; it is rebuilt only when the input's format, rate or channel layout
// really changes mid-stream. Output sample 0 is aligned with the first input sample fed.
#pragma once

#include "transcoder/av_handles.h"

#include <cstdint>
#include <functional>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

namespace transcoder {

class Resampler {
public:
    using Emit = std::function<void(const std::uint8_t* const* planes, int frames)>;

    Resampler(AVSampleFormat format, int sampleRate, int channels);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // True when frame cannot be fed to the current context (or there is none): the caller
    // flushes and begins again with that frame.
    bool changesWith(const AVFrame* frame) const;
    // Sets up a context for input like frame; the previous one must have been flushed.
    void begin(const AVFrame* frame);
    // Converts `count` samples of frame starting at `offset`, emitting what comes out.
    void convert(const AVFrame* frame, int offset, int count, const Emit& emit);
    // Emits what the filter still holds and drops the context.
    void flush(const Emit& emit);

private:
    int run(const std::uint8_t** in, int count, const Emit& emit); // frames emitted
    void ensureBuffer(int frames);

    AVSampleFormat outFormat_;
    int outRate_;
    AVChannelLayout outLayout_{};
    int inFormat_ = -1;
    int inRate_ = 0;
    AVChannelLayout inLayout_{};
    SwrPtr swr_;
    AvBufferPtr storage_; // the one block that buffer_'s planes point into
    std::uint8_t* buffer_[64] = {};
    int bufferFrames_ = 0;
};

} // namespace transcoder
