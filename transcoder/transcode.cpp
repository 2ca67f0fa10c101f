#include "transcoder/transcode.h"

#include "transcoder/audio_sink.h"
#include "transcoder/audio_source.h"
#include "transcoder/failure.h"
#include "transcoder/mp3_copy.h"
#include "transcoder/output_file.h"
#include "transcoder/resampler.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"
#include "transcoder/tags_av.h"

#include <algorithm>
#include <cstdio>
#include <ostream>
#include <stdexcept>

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace transcoder {

namespace {

// Real input samples the resampler sees before the first sample it must get right, and after
// the last: more than half its longest filter at any rate the program writes.
constexpr std::int64_t kPrerollSamples = 1024;

// The kept part of the resampled stream: output samples are counted from the start of the input
// at the output rate, and those in [first, end) go to the sink. Each run of input with one rate
// and format (a segment) is counted from what was decoded, so a rate change mid-stream or a
// header that lies about the rate never adds or loses time.
class OutputWindow {
public:
    OutputWindow(AudioSink& sink, int channels, std::int64_t first, std::int64_t end)
        : sink_(sink), format_(static_cast<AVSampleFormat>(sink.sampleFormat())),
          channels_(channels), first_(first), end_(end) {}

    std::int64_t position() const { return position_; }
    std::int64_t first() const { return first_; }
    std::int64_t end() const { return end_; }
    bool wroteAudio() const { return wroteAudio_; }

    // Resampled samples whose index starts at position().
    void take(const std::uint8_t* const* planes, int frames) {
        const std::int64_t from = std::max(position_, first_);
        const std::int64_t to = std::min({position_ + frames, end_, limit_});
        if (to > from) {
            const std::uint8_t* shifted[64] = {};
            offsetPlanes(planes, static_cast<int>(from - position_), shifted);
            sink_.write(shifted, static_cast<int>(to - from));
            wroteAudio_ = true;
        }
        position_ += frames;
    }

    // Where the resampler output will start next (a new segment, or the first fed sample).
    void moveTo(std::int64_t position) { position_ = position; }
    // Output past this index is the resampler's rounding and is dropped; kOpenEnd lifts it.
    void limitTo(std::int64_t limit) { limit_ = limit; }
    // Fills with silence up to index `to` (within the kept part), e.g. the lead-in before the
    // start of the input, or a sample the resampler's rounding left short.
    void silenceUpTo(std::int64_t to) {
        const std::int64_t from = std::max(position_, first_);
        to = std::min(to, end_);
        if (to > from)
            writeSilence(to - from);
        position_ = std::max(position_, to);
    }

private:
    void offsetPlanes(const std::uint8_t* const* planes, int frames,
                      const std::uint8_t** out) const {
        const bool planar = av_sample_fmt_is_planar(format_);
        const int step = av_get_bytes_per_sample(format_) * (planar ? 1 : channels_);
        for (int p = 0; p < (planar ? channels_ : 1); ++p)
            out[p] = planes[p] + static_cast<std::ptrdiff_t>(frames) * step;
    }

    void writeSilence(std::int64_t frames) {
        constexpr int kChunk = 4096;
        std::uint8_t* planes[64] = {};
        if (av_samples_alloc(planes, nullptr, channels_, kChunk, format_, 0) < 0)
            throw std::bad_alloc();
        const AvBufferPtr block(planes[0]);
        av_samples_set_silence(planes, 0, kChunk, channels_, format_);
        for (std::int64_t left = frames; left > 0; left -= kChunk)
            sink_.write(planes, static_cast<int>(std::min<std::int64_t>(kChunk, left)));
    }

    AudioSink& sink_;
    AVSampleFormat format_;
    int channels_;
    std::int64_t first_;
    std::int64_t end_;
    std::int64_t limit_ = kOpenEnd;
    std::int64_t position_ = 0;
    bool wroteAudio_ = false;
};

// One run of input with the same rate and format.
struct Segment {
    int rate = 0;
    std::int64_t startSample = 0; // the source's index of its first sample
    std::int64_t outBase = 0;     // the output index that sample becomes
    std::int64_t feedFrom = 0;    // the source's index of the first sample to feed
    std::int64_t feedTo = kOpenEnd;
    std::int64_t fedTo = 0; // the source's index just past the last sample fed
    bool feeding = false;

    std::int64_t toOutput(std::int64_t sample, int outRate) const {
        return outBase + rescale(sample - startSample, outRate, rate);
    }
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
        throw Failure(ExitCode::BadOption, "cannot tell the output format from '" + request.output +
                                               "' (use .mp3, .wma, .wav or .amr, or -f wav)");
    if (request.codec) {
        const std::string& codec = *request.codec;
        const bool fits =
            (*container == Container::Amr && (codec == "amr_nb" || codec == "libopencore_amrnb")) ||
            (*container == Container::Mp3 && (codec == "mp3" || codec == "libmp3lame")) ||
            (*container == Container::Wma && codec == "wmav2") ||
            (*container == Container::Wav && codec == "pcm_s16le");
        if (!fits)
            throw Failure(ExitCode::BadOption, "-acodec " + codec + " cannot write a ." +
                                                   std::string(containerName(*container)) +
                                                   " file");
    }
    return *container;
}

} // namespace

bool transcode(const Request& request, std::ostream& notes, const ProgressFn& progress) {
    const Container container = chooseContainer(request);
    if (copyMp3Frames(request, progress))
        return true;
    // A conversion keeps a record of its MP3 source for later cuts; the one of an earlier
    // conversion goes before the new WAV takes its place.
    const std::optional<FileStamp> inputStamp =
        request.format ? fileStamp(request.input) : std::nullopt;
    AudioSource source(request.input);
    // A conversion (-f wav) keeps the tags beside its output, a cut writes them into it.
    const Tags tags = sourceTags(request.input, source.container(), source.streamIndex());
    const bool conversion = request.format.has_value();

    EncodeSettings wanted;
    wanted.container = container;
    wanted.sampleRate = request.sampleRate.value_or(44100);
    wanted.channels = request.channels.value_or(2);
    if (wanted.channels == 0)
        wanted.channels = std::min(source.channels(), 2);
    wanted.bitRate = request.bitRate.value_or(0);
    const FittedSettings fitted = fitToEncoder(wanted);
    for (const Substitution& s : fitted.substitutions)
        notes << kSubstitutedPrefix << s.setting << ' ' << s.asked << ' ' << s.used << std::endl;
    const EncodeSettings& settings = fitted.settings;

    if (request.lengthMs && *request.lengthMs == 0)
        throw Failure(ExitCode::EmptyStretch, "nothing to write: -t is 00:00:00");
    const int outRate = settings.sampleRate;
    const std::int64_t startMs = request.startMs.value_or(0);
    // The stretch [first, end) in samples at the output rate.
    const std::int64_t first = rescale(startMs, outRate, 1000);
    const std::int64_t end =
        request.lengthMs ? rescale(startMs + *request.lengthMs, outRate, 1000) : kOpenEnd;

    TemporaryOutput temporary(request.output);
    const std::unique_ptr<AudioSink> sink =
        makeSink(temporary.descriptor(), temporary.path(), settings, conversion ? nullptr : &tags);
    // The encoder's lead-in comes from the audio just before the stretch (silence before the
    // input's start), and its closing frames from the audio after it.
    const std::int64_t keepFrom = first - sink->leadIn();
    std::int64_t keepTo = end;
    if (const int frame = sink->closingFrame(); frame > 0 && end != kOpenEnd)
        keepTo = keepFrom + roundUpToFrames(end - keepFrom + frame, frame);
    OutputWindow window(*sink, settings.channels, keepFrom, keepTo);
    window.moveTo(std::min<std::int64_t>(keepFrom, 0));
    window.silenceUpTo(0);
    Resampler resampler(static_cast<AVSampleFormat>(sink->sampleFormat()), outRate,
                        settings.channels);
    const Resampler::Emit emit = [&window](const std::uint8_t* const* planes, int frames) {
        window.take(planes, frames);
    };

    Segment segment;
    // Sets up feeding for a segment starting at the source's startSample, output outBase.
    const auto beginSegment = [&](const AVFrame* frame, std::int64_t startSample,
                                  std::int64_t outBase) {
        segment = Segment{};
        segment.rate = frame->sample_rate;
        segment.startSample = startSample;
        segment.outBase = outBase;
        const std::int64_t markOut = std::max(keepFrom, outBase) - outBase;
        const std::int64_t markIn = rescale(markOut, segment.rate, outRate);
        const FeedStart start = feedStart(markIn, markOut, segment.rate, outRate, kPrerollSamples);
        segment.feedFrom = startSample + start.input;
        window.moveTo(outBase + start.output);
        if (keepTo != kOpenEnd)
            segment.feedTo =
                startSample + rescale(keepTo - outBase, segment.rate, outRate) + kPrerollSamples;
        resampler.begin(frame);
    };
    // Flushes the segment and counts exactly its length, from what was fed, at the output rate.
    const auto endSegment = [&] {
        const std::int64_t outEnd = segment.toOutput(segment.fedTo, outRate);
        window.limitTo(outEnd);
        resampler.flush(emit);
        window.silenceUpTo(outEnd);
        window.limitTo(kOpenEnd);
        window.moveTo(outEnd);
    };

    if (keepFrom > 0 && source.seeksExactly()) {
        const std::int64_t markIn = rescale(keepFrom, source.sampleRate(), outRate);
        source.seek(
            feedStart(markIn, keepFrom, source.sampleRate(), outRate, kPrerollSamples).input);
    }
    std::int64_t frameStart = 0;
    while (const AVFrame* frame = source.next(frameStart)) {
        if (segment.rate == 0) {
            beginSegment(frame, 0, 0);
        } else if (resampler.changesWith(frame)) {
            segment.fedTo = frameStart;
            endSegment();
            beginSegment(frame, frameStart, window.position());
        }
        const std::int64_t frameEnd = frameStart + frame->nb_samples;
        if (frameStart >= segment.feedTo)
            break;
        const std::int64_t from = std::max(frameStart, segment.feedFrom);
        const std::int64_t to = std::min(frameEnd, segment.feedTo);
        segment.fedTo = to;
        if (to <= from)
            continue;
        resampler.convert(frame, static_cast<int>(from - frameStart), static_cast<int>(to - from),
                          emit);
        if (progress)
            progress(keepTo == kOpenEnd ? source.readFraction()
                                        : double(window.position() - keepFrom) /
                                              double(std::max<std::int64_t>(1, keepTo - keepFrom)));
    }
    const bool decoded = segment.rate != 0;
    if (decoded)
        endSegment();
    if (first > 0 && window.position() <= first)
        throw Failure(ExitCode::StartPastEnd, "-ss " + formatTime(startMs) +
                                                  " lies past the end of '" + request.input + "'");
    // A stream of which not one frame decodes is damaged, not silent: it must not pass for a
    // file of no length.
    if (!decoded)
        throw Failure(ExitCode::NoSound, "no sound could be decoded from '" + request.input + "'");
    sink->finish();
    if (!conversion) {
        temporary.commit();
        return false;
    }
    // The record of an earlier conversion's MP3 source goes before the new WAV takes its place.
    removeSourceRecord(request.output);
    CompanionOutput companion(request.output, tags);
    companion.commit();
    try {
        temporary.commit();
    } catch (...) {
        companion.withdraw(); // the earlier WAV stays, without tags that are not its own
        throw;
    }
    recordSource(request.input, request.output, inputStamp);
    return false;
}

} // namespace transcoder
