#include "transcoder/transcode.h"

#include "transcoder/audio_sink.h"
#include "transcoder/audio_source.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"

#include <algorithm>
#include <functional>
#include <limits>
#include <ostream>
#include <stdexcept>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace transcoder {

namespace {

using Emit = std::function<void(const std::uint8_t* const* planes, int frames)>;

// Converts decoded frames to the sink's format, rate and channels. It sets itself up from the
// first frame and again whenever the input's format changes mid-stream.
class Resampler {
public:
    Resampler(AVSampleFormat format, int sampleRate, int channels)
        : outFormat_(format), outRate_(sampleRate) {
        av_channel_layout_default(&outLayout_, channels);
    }
    ~Resampler() {
        av_channel_layout_uninit(&outLayout_);
        av_channel_layout_uninit(&inLayout_);
    }
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    // Converts `count` samples of frame starting at `offset`.
    void convert(const AVFrame* frame, int offset, int count, const Emit& emit) {
        if (!swr_ || frame->format != inFormat_ || frame->sample_rate != inRate_ ||
            av_channel_layout_compare(&frame->ch_layout, &inLayout_) != 0) {
            flush(emit);
            configure(frame);
        }
        const int bytesPerSample = av_get_bytes_per_sample(static_cast<AVSampleFormat>(inFormat_));
        const bool planar = av_sample_fmt_is_planar(static_cast<AVSampleFormat>(inFormat_));
        const int channels = frame->ch_layout.nb_channels;
        const std::uint8_t* in[AV_NUM_DATA_POINTERS > 64 ? AV_NUM_DATA_POINTERS : 64] = {};
        const int planes = planar ? channels : 1;
        if (planes > 64)
            throw std::runtime_error("the input has too many channels");
        const int step = bytesPerSample * (planar ? 1 : channels);
        for (int p = 0; p < planes; ++p)
            in[p] = frame->extended_data[p] + static_cast<std::ptrdiff_t>(offset) * step;
        run(in, count, emit);
    }

    void flush(const Emit& emit) {
        if (swr_)
            run(nullptr, 0, emit);
    }

private:
    void configure(const AVFrame* frame) {
        inFormat_ = frame->format;
        inRate_ = frame->sample_rate;
        av_channel_layout_uninit(&inLayout_);
        if (frame->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC)
            av_channel_layout_default(&inLayout_, frame->ch_layout.nb_channels);
        else
            av_channel_layout_copy(&inLayout_, &frame->ch_layout);

        SwrContext* raw = nullptr;
        if (swr_alloc_set_opts2(&raw, &outLayout_, outFormat_, outRate_, &inLayout_,
                                static_cast<AVSampleFormat>(inFormat_), inRate_, 0, nullptr) < 0)
            throw std::runtime_error("cannot convert the input's audio format");
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
        if (int rc = swr_init(swr_.get()); rc < 0)
            throw std::runtime_error("cannot convert the input's audio format");
    }

    void run(const std::uint8_t** in, int count, const Emit& emit) {
        const int capacity = swr_get_out_samples(swr_.get(), count);
        if (capacity <= 0)
            return;
        ensureBuffer(capacity);
        const int produced = swr_convert(swr_.get(), buffer_, capacity, in, count);
        if (produced < 0)
            throw std::runtime_error("cannot convert the input's audio format");
        if (produced > 0)
            emit(buffer_, produced);
    }

    void ensureBuffer(int frames) {
        if (frames <= bufferFrames_)
            return;
        storage_.reset();
        std::uint8_t** planes = buffer_;
        if (av_samples_alloc(planes, nullptr, outLayout_.nb_channels, frames, outFormat_, 0) < 0)
            throw std::bad_alloc();
        storage_.reset(buffer_[0]);
        bufferFrames_ = frames;
    }

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

std::string formatTime(std::int64_t ms) {
    char text[32];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", static_cast<long long>(ms / 3600000),
                  static_cast<long long>(ms / 60000 % 60), static_cast<long long>(ms / 1000 % 60));
    return text;
}

Container chooseContainer(const Request& request) {
    std::optional<Container> container;
    if (request.format)
        container = Container::Wav;
    else
        container = containerFromExtension(request.output);
    if (!container)
        throw std::runtime_error("cannot tell the output format from '" + request.output +
                                 "' (use .mp3, .wma, .wav or .amr, or -f wav)");
    if (request.codec) {
        const std::string& codec = *request.codec;
        const bool fits =
            (*container == Container::Amr && (codec == "amr_nb" || codec == "libopencore_amrnb")) ||
            (*container == Container::Mp3 && (codec == "mp3" || codec == "libmp3lame")) ||
            (*container == Container::Wma && codec == "wmav2") ||
            (*container == Container::Wav && codec == "pcm_s16le");
        if (!fits)
            throw std::runtime_error("-acodec " + codec + " cannot write a ." +
                                     std::string(containerName(*container)) + " file");
    }
    return *container;
}

} // namespace

void transcode(const Request& request, std::ostream& notes) {
    const Container container = chooseContainer(request);
    AudioSource source(request.input);

    EncodeSettings wanted;
    wanted.container = container;
    wanted.sampleRate = request.sampleRate.value_or(44100);
    wanted.channels = request.channels.value_or(2);
    if (wanted.channels == 0)
        wanted.channels = std::min(source.channels(), 2);
    wanted.bitRate = request.bitRate.value_or(0);
    const FittedSettings fitted = fitToEncoder(wanted);
    for (const std::string& note : fitted.notes)
        notes << "codec: " << note << '\n';
    const EncodeSettings& settings = fitted.settings;

    // The stretch [first, end) in samples of the input's rate.
    const int inRate = source.sampleRate();
    const std::int64_t startMs = request.startMs.value_or(0);
    const std::int64_t first = av_rescale(startMs, inRate, 1000);
    const std::int64_t end = request.lengthMs
                                 ? av_rescale(startMs + *request.lengthMs, inRate, 1000)
                                 : std::numeric_limits<std::int64_t>::max();
    if (request.lengthMs && *request.lengthMs == 0)
        throw std::runtime_error("nothing to write: -t is 00:00:00");
    // The output never holds more than the stretch's length in its own rate.
    const std::int64_t cap = request.lengthMs
                                 ? av_rescale(*request.lengthMs, settings.sampleRate, 1000)
                                 : std::numeric_limits<std::int64_t>::max();

    TemporaryOutput temporary(request.output);
    const std::unique_ptr<AudioSink> sink =
        makeSink(temporary.descriptor(), temporary.path(), settings);
    const auto sinkFormat = static_cast<AVSampleFormat>(sink->sampleFormat());
    Resampler resampler(sinkFormat, settings.sampleRate, settings.channels);

    std::int64_t written = 0;
    const Emit emit = [&](const std::uint8_t* const* planes, int frames) {
        const int n = static_cast<int>(std::min<std::int64_t>(frames, cap - written));
        if (n <= 0)
            return;
        sink->write(planes, n);
        written += n;
    };

    if (first > 0 && source.seeksExactly())
        source.seek(first);
    std::int64_t kept = 0; // input samples inside the stretch
    std::int64_t frameStart = 0;
    while (const AVFrame* frame = source.next(frameStart)) {
        const std::int64_t frameEnd = frameStart + frame->nb_samples;
        if (frameStart >= end)
            break;
        const std::int64_t from = std::max(frameStart, first);
        const std::int64_t to = std::min(frameEnd, end);
        if (to <= from)
            continue;
        resampler.convert(frame, static_cast<int>(from - frameStart), static_cast<int>(to - from),
                          emit);
        kept += to - from;
    }
    if (kept == 0 && first > 0)
        throw std::runtime_error("-ss " + formatTime(startMs) + " lies past the end of '" +
                                 request.input + "'");
    resampler.flush(emit);

    // The resampler's rounding may leave the output a sample or two short of the exact length.
    const std::int64_t exact =
        std::min(cap, av_rescale_rnd(kept, settings.sampleRate, inRate, AV_ROUND_NEAR_INF));
    if (written < exact) {
        constexpr int kChunk = 4096;
        std::uint8_t* planes[64] = {};
        if (av_samples_alloc(planes, nullptr, settings.channels, kChunk, sinkFormat, 0) < 0)
            throw std::bad_alloc();
        const AvBufferPtr silence(planes[0]);
        av_samples_set_silence(planes, 0, kChunk, settings.channels, sinkFormat);
        while (written < exact)
            emit(planes, static_cast<int>(std::min<std::int64_t>(kChunk, exact - written)));
    }
    sink->finish();
    temporary.commit();
}

} // namespace transcoder
