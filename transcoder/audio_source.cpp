#include "transcoder/audio_source.h"

#include "transcoder/av_error_words.h"
#include "transcoder/failure.h"
#include "transcoder/platform.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace transcoder {

namespace {

Failure inputError(const std::string& path, ExitCode code, const std::string& what) {
    return Failure(code, "cannot read input '" + path + "': " + what);
}

// A failure of FFmpeg on the input: a failing disk or a lack of memory says so, whatever step
// met it; anything else is the step's own kind.
Failure inputError(const std::string& path, int avError, ExitCode otherwise,
                   const std::string& context = {}) {
    ExitCode code = otherwise;
    if (avError == AVERROR(EIO))
        code = ExitCode::ReadFailed;
    else if (avError == AVERROR(ENOMEM))
        code = ExitCode::OutOfMemory;
    else if (avError == AVERROR(EACCES) || avError == AVERROR(EPERM))
        code = ExitCode::InputNotReadable;
    else if (avError == AVERROR(ENOENT))
        code = ExitCode::InputMissing;
    else if (avError == AVERROR_PATCHWELCOME || avError == AVERROR(ENOSYS))
        code = ExitCode::NoDecoder;
    const std::string words = avErrorWords(avError);
    return inputError(path, code, context.empty() ? words : context + " (" + words + ")");
}

// A missing, hidden or unreadable input, by the system's error number.
Failure systemInputError(const std::string& path, int error) {
    const ExitCode code = error == ENOENT || error == ENOTDIR || error == ENAMETOOLONG
                              ? ExitCode::InputMissing
                          : error == EACCES || error == EPERM ? ExitCode::InputNotReadable
                                                              : ExitCode::ReadFailed;
    return inputError(path, code, systemErrorWords(error));
}

// Rates outside this range are a damaged or hostile header, not audio: taken at their word they
// turn a small file into hours of output.
constexpr int kMinSampleRate = 1000;
constexpr int kMaxSampleRate = 768000;

void checkSampleRate(const std::string& path, int rate) {
    if (rate < kMinSampleRate || rate > kMaxSampleRate)
        throw inputError(path, ExitCode::DamagedHeader,
                         "its sample rate of " + std::to_string(rate) +
                             " Hz is not one audio uses (" + std::to_string(kMinSampleRate) +
                             " to " + std::to_string(kMaxSampleRate) + " Hz)");
}

} // namespace

AudioSource::AudioSource(const std::string& path)
    : path_(path), packet_(makePacket()), frame_(makeFrame()) {
    // Checked first so that a missing or unreadable file reads as such, not as a format error.
    bool folder = false;
    if (const int error = platform::inspect(path, &folder); error != 0)
        throw systemInputError(path, error);
    if (folder)
        throw inputError(path, ExitCode::NotAudio, "it is a folder");
    if (const int error = platform::readableError(path); error != 0)
        throw systemInputError(path, error);

    AVFormatContext* raw = nullptr;
    if (int rc = avformat_open_input(&raw, path.c_str(), nullptr, nullptr); rc < 0)
        throw inputError(path, rc, ExitCode::NotAudio, "not an audio file Quillet knows");
    format_.reset(raw);
    if (int rc = avformat_find_stream_info(format_.get(), nullptr); rc < 0)
        throw inputError(path, rc, ExitCode::NotAudio);

    const AVCodec* codec = nullptr;
    streamIndex_ = av_find_best_stream(format_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &codec, 0);
    if (streamIndex_ == AVERROR_STREAM_NOT_FOUND)
        throw Failure(ExitCode::NoAudioStream, "no audio stream in '" + path + "'");
    if (streamIndex_ < 0 || !codec)
        throw Failure(ExitCode::NoDecoder, "no decoder for the audio in '" + path + "'");
    // Cover pictures and other streams are never read into the decoder.
    for (unsigned i = 0; i < format_->nb_streams; ++i)
        if (static_cast<int>(i) != streamIndex_)
            format_->streams[i]->discard = AVDISCARD_ALL;

    const AVStream* stream = format_->streams[streamIndex_];
    decoder_.reset(avcodec_alloc_context3(codec));
    if (!decoder_)
        throw std::bad_alloc();
    if (int rc = avcodec_parameters_to_context(decoder_.get(), stream->codecpar); rc < 0)
        throw inputError(path, rc, ExitCode::NoDecoder);
    decoder_->pkt_timebase = stream->time_base;
    if (int rc = avcodec_open2(decoder_.get(), codec, nullptr); rc < 0)
        throw inputError(path, rc, ExitCode::DamagedHeader, "cannot decode its audio");
    if (decoder_->sample_rate <= 0 || decoder_->ch_layout.nb_channels <= 0)
        throw inputError(path, ExitCode::DamagedHeader,
                         "its audio stream has no sample rate or channels");
    checkSampleRate(path, decoder_->sample_rate);
    fileBytes_ = format_->pb ? std::max<std::int64_t>(0, avio_size(format_->pb)) : 0;
}

bool AudioSource::startParallel() {
    const auto preroll = parallelPreroll(decoder_->codec_id);
    const int cores = platform::availableCores();
    if (!preroll || sought_ || cores < 2)
        return false;
    parallel_ = std::make_unique<ParallelDecoder>(format_.get(), streamIndex_, *preroll,
                                                  std::min(cores, 8));
    return true;
}

int AudioSource::sampleRate() const {
    return decoder_->sample_rate;
}
int AudioSource::channels() const {
    return decoder_->ch_layout.nb_channels;
}

double AudioSource::readFraction() const {
    if (fileBytes_ <= 0)
        return 0;
    // The parallel reader runs ahead: what counts is the chunk being handed out.
    const std::int64_t at = parallel_ ? parallel_->position() : avio_tell(format_->pb);
    return std::clamp(double(at) / double(fileBytes_), 0.0, 1.0);
}

bool AudioSource::seeksExactly() const {
    const AVCodecID id = decoder_->codec_id;
    return id >= AV_CODEC_ID_FIRST_AUDIO && id < AV_CODEC_ID_ADPCM_IMA_QT && format_->pb &&
           (format_->pb->seekable & AVIO_SEEKABLE_NORMAL);
}

void AudioSource::seek(std::int64_t startSample) {
    const AVStream* stream = format_->streams[streamIndex_];
    const std::int64_t ts =
        av_rescale_q(startSample, AVRational{1, sampleRate()}, stream->time_base) +
        (stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time);
    if (av_seek_frame(format_.get(), streamIndex_, ts, AVSEEK_FLAG_BACKWARD) < 0)
        return; // still at the start: counting samples from there stays exact
    avcodec_flush_buffers(decoder_.get());
    sought_ = true;
    position_ = startSample;
    positionFromPts_ = true;
}

bool AudioSource::receive() {
    while (true) {
        const int rc = avcodec_receive_frame(decoder_.get(), frame_.get());
        if (rc == 0)
            return true;
        if (rc == AVERROR_EOF)
            return false;
        // Anything else is a damaged frame: drop it and keep going, as players do.
        if (draining_)
            return false;
        const int readRc = av_read_frame(format_.get(), packet_.get());
        if (readRc < 0) {
            // A file that simply ends early still gives what decodes; a failing read does not.
            const int ioError = format_->pb ? format_->pb->error : 0;
            if (ioError < 0 && ioError != AVERROR_EOF)
                throw inputError(path_, ioError, ExitCode::ReadFailed);
            if (readRc == AVERROR(EIO))
                throw inputError(path_, readRc, ExitCode::ReadFailed);
            draining_ = true;
            avcodec_send_packet(decoder_.get(), nullptr);
            continue;
        }
        if (packet_->stream_index == streamIndex_)
            avcodec_send_packet(decoder_.get(), packet_.get()); // bad data is skipped
        av_packet_unref(packet_.get());
    }
}

const AVFrame* AudioSource::next(std::int64_t& firstSample) {
    if (!started_) {
        started_ = true;
        startParallel();
    }
    const AVFrame* parallelFrame = nullptr;
    if (parallel_) {
        try {
            parallelFrame = parallel_->next();
        } catch (const Failure& error) {
            throw inputError(path_, error.code(), error.what());
        }
        if (!parallelFrame)
            return nullptr;
        checkSampleRate(path_, parallelFrame->sample_rate);
        firstSample = position_;
        position_ += parallelFrame->nb_samples;
        return parallelFrame;
    }
    if (!receive())
        return nullptr;
    checkSampleRate(path_, frame_->sample_rate);
    if (positionFromPts_) {
        positionFromPts_ = false;
        const AVStream* stream = format_->streams[streamIndex_];
        const std::int64_t pts =
            frame_->pts != AV_NOPTS_VALUE ? frame_->pts : frame_->best_effort_timestamp;
        if (pts != AV_NOPTS_VALUE) {
            const std::int64_t start =
                stream->start_time == AV_NOPTS_VALUE ? 0 : stream->start_time;
            position_ = av_rescale_q(pts - start, stream->time_base, AVRational{1, sampleRate()});
        }
    }
    firstSample = position_;
    position_ += frame_->nb_samples;
    return frame_.get();
}

} // namespace transcoder
