#include "transcoder/resampler.h"

#include "transcoder/failure.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

namespace transcoder {

namespace {

// At most this many input samples go through the filter at once, so the output buffer stays
// small whatever frame size the decoder hands over.
constexpr int kChunkFrames = 8192;

// A frame with no channel order (plain PCM WAV, WMA) means the default layout for its count;
// comparing it as stored would tell a change on every frame.
void normalisedLayout(const AVFrame* frame, AVChannelLayout* layout) {
    av_channel_layout_uninit(layout);
    if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
        av_channel_layout_default(layout, frame->ch_layout.nb_channels);
    else
        av_channel_layout_copy(layout, &frame->ch_layout);
}

Failure conversionError() {
    return Failure(ExitCode::NoDecoder, "its sound is in a sample format Quillet cannot convert");
}

} // namespace

Resampler::Resampler(AVSampleFormat format, int sampleRate, int channels)
    : outFormat_(format), outRate_(sampleRate) {
    av_channel_layout_default(&outLayout_, channels);
}

Resampler::~Resampler() {
    av_channel_layout_uninit(&outLayout_);
    av_channel_layout_uninit(&inLayout_);
}

bool Resampler::changesWith(const AVFrame* frame) const {
    if (!swr_ || frame->format != inFormat_ || frame->sample_rate != inRate_)
        return true;
    AVChannelLayout layout{};
    normalisedLayout(frame, &layout);
    const bool differs = av_channel_layout_compare(&layout, &inLayout_) != 0;
    av_channel_layout_uninit(&layout);
    return differs;
}

void Resampler::convert(const AVFrame* frame, int offset, int count, const Emit& emit) {
    const auto format = static_cast<AVSampleFormat>(inFormat_);
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = frame->ch_layout.nb_channels;
    const int planes = planar ? channels : 1;
    if (planes > 64)
        throw Failure(ExitCode::NoDecoder, "it has more channels than Quillet takes");
    const int step = av_get_bytes_per_sample(format) * (planar ? 1 : channels);
    const std::uint8_t* in[64] = {};
    for (int done = 0; done < count;) {
        const int n = std::min(kChunkFrames, count - done);
        for (int p = 0; p < planes; ++p)
            in[p] = frame->extended_data[p] + static_cast<std::ptrdiff_t>(offset + done) * step;
        run(in, n, emit);
        done += n;
    }
}

void Resampler::flush(const Emit& emit) {
    if (!swr_)
        return;
    while (run(nullptr, 0, emit) > 0) {
    }
    swr_.reset();
}

void Resampler::begin(const AVFrame* frame) {
    inFormat_ = frame->format;
    inRate_ = frame->sample_rate;
    normalisedLayout(frame, &inLayout_);

    SwrContext* raw = nullptr;
    if (swr_alloc_set_opts2(&raw, &outLayout_, outFormat_, outRate_, &inLayout_,
                            static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr) < 0)
        throw conversionError();
    swr_.reset(raw);
    // Mono is copied to both sides at full level, stereo is mixed down at half level each,
    // and no other mix may exceed full scale.
    const int inChannels = inLayout_.nb_channels;
    const int outChannels = outLayout_.nb_channels;
    if (inChannels == 1 && outChannels == 2) {
        const double matrix[2] = {1.0, 1.0};
        swr_set_matrix(swr_.get(), matrix, 1);
    } else if (inChannels == 2 && outChannels == 1) {
        const double matrix[2] = {0.5, 0.5};
        swr_set_matrix(swr_.get(), matrix, 2);
    } else {
        av_opt_set_double(swr_.get(), "rematrix_maxval", 1.0, 0);
    }
    if (swr_init(swr_.get()) < 0)
        throw conversionError();
}

int Resampler::run(const std::uint8_t** in, int count, const Emit& emit) {
    const int capacity = swr_get_out_samples(swr_.get(), count);
    if (capacity <= 0)
        return 0;
    ensureBuffer(capacity);
    const int produced = swr_convert(swr_.get(), buffer_, capacity, in, count);
    if (produced < 0)
        throw conversionError();
    if (produced > 0)
        emit(buffer_, produced);
    return produced;
}

void Resampler::ensureBuffer(int frames) {
    if (frames <= bufferFrames_)
        return;
    storage_.reset();
    if (av_samples_alloc(buffer_, nullptr, outLayout_.nb_channels, frames, outFormat_, 0) < 0)
        throw std::bad_alloc();
    storage_.reset(buffer_[0]);
    bufferFrames_ = frames;
}

} // namespace transcoder
