#include "transcoder/audio_sink.h"

#include "transcoder/av_error_words.h"
#include "transcoder/av_handles.h"
#include "transcoder/descriptor_output.h"
#include "transcoder/failure.h"
#include "transcoder/tags_av.h"
#include "transcoder/wav_writer.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
}

namespace transcoder {

namespace {

class WavSink final : public AudioSink {
public:
    WavSink(int fd, const std::string& path, int sampleRate, int channels, const Tags* tags)
        : writer_(fd, path, sampleRate, channels), trailer_(tags ? riffInfoChunk(*tags) : "") {}
    int sampleFormat() const override { return AV_SAMPLE_FMT_S16; }
    void write(const std::uint8_t* const* planes, int frames) override {
        writer_.write(reinterpret_cast<const std::int16_t*>(planes[0]), frames);
    }
    void finish() override { writer_.finish(trailer_); }

private:
    WavWriter writer_;
    std::string trailer_; // the tags' LIST chunk after the data
};

struct EncoderChoice {
    const char* muxer;
    const char* encoder;
};

EncoderChoice encoderFor(Container container) {
    switch (container) {
    case Container::Mp3:
        return {"mp3", "libmp3lame"};
    case Container::Wma:
        return {"asf", "wmav2"};
    case Container::Amr:
        return {"amr", "libopencore_amrnb"};
    case Container::Wav:
        break;
    }
    throw std::logic_error("no encoder for WAV");
}

// Encoder and muxer; an AVAudioFifo cuts the incoming audio into the encoder's frame size.
class EncoderSink final : public AudioSink {
public:
    EncoderSink(int fd, const std::string& path, const EncodeSettings& settings, const Tags* tags)
        : path_(path), output_(fd), packet_(makePacket()), frame_(makeFrame()) {
        const EncoderChoice choice = encoderFor(settings.container);
        const AVCodec* codec = avcodec_find_encoder_by_name(choice.encoder);
        if (!codec)
            throw Failure(ExitCode::NoEncoder, std::string("this transcoder has no ") +
                                                   choice.encoder + " encoder for " +
                                                   std::string(containerName(settings.container)));
        AVFormatContext* raw = nullptr;
        if (avformat_alloc_output_context2(&raw, nullptr, choice.muxer, nullptr) < 0 || !raw)
            throw Failure(ExitCode::NoEncoder,
                          std::string("this transcoder cannot write ") + choice.muxer + " files");
        muxer_.reset(raw);

        encoder_.reset(avcodec_alloc_context3(codec));
        if (!encoder_)
            throw std::bad_alloc();
        encoder_->sample_fmt = codec->sample_fmts ? codec->sample_fmts[0] : AV_SAMPLE_FMT_FLTP;
        encoder_->sample_rate = settings.sampleRate;
        av_channel_layout_default(&encoder_->ch_layout, settings.channels);
        encoder_->bit_rate = settings.bitRate;
        encoder_->time_base = AVRational{1, settings.sampleRate};
        if (muxer_->oformat->flags & AVFMT_GLOBALHEADER)
            encoder_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        if (int rc = avcodec_open2(encoder_.get(), codec, nullptr); rc < 0)
            throw Failure(ExitCode::NoEncoder, std::string(choice.encoder) + " cannot encode " +
                                                   std::to_string(settings.sampleRate) + " Hz, " +
                                                   std::to_string(settings.channels) +
                                                   " channels, " + formatBitRate(settings.bitRate) +
                                                   " (" + avErrorWords(rc) + ")");

        stream_ = avformat_new_stream(muxer_.get(), nullptr);
        if (!stream_)
            throw std::bad_alloc();
        stream_->time_base = encoder_->time_base;
        if (int rc = avcodec_parameters_from_context(stream_->codecpar, encoder_.get()); rc < 0)
            throw Failure(ExitCode::Unexpected,
                          "cannot set up the output stream: " + avErrorWords(rc));
        muxer_->pb = output_.get();
        muxer_->flags |= AVFMT_FLAG_CUSTOM_IO;
        static const Tags kNoTags;
        addTags(muxer_.get(), settings.container, tags ? *tags : kNoTags);
        if (int rc = avformat_write_header(muxer_.get(), nullptr); rc < 0)
            throw avWriteFailure(path, rc);

        frameSize_ = encoder_->frame_size > 0 ? encoder_->frame_size : 1024;
        primed_ = settings.container == Container::Wma;
        fifo_.reset(av_audio_fifo_alloc(encoder_->sample_fmt, settings.channels, frameSize_ * 4));
        if (!fifo_)
            throw std::bad_alloc();
        frame_->nb_samples = frameSize_;
        frame_->format = encoder_->sample_fmt;
        frame_->sample_rate = encoder_->sample_rate;
        av_channel_layout_copy(&frame_->ch_layout, &encoder_->ch_layout);
        if (av_frame_get_buffer(frame_.get(), 0) < 0)
            throw std::bad_alloc();
    }

    int sampleFormat() const override { return encoder_->sample_fmt; }
    // A WMA decoder drops the first frame it decodes (it holds only the overlap of the first
    // transform), so the encoder is given one frame from before the stretch; and the frame
    // that meets the end of the input comes back smeared, so one frame follows the stretch.
    int leadIn() const override { return primed_ ? frameSize_ : 0; }
    int closingFrame() const override { return primed_ ? frameSize_ : 0; }

    void write(const std::uint8_t* const* planes, int frames) override {
        // av_audio_fifo_write only reads the planes, whatever its signature says.
        void** data = reinterpret_cast<void**>(const_cast<std::uint8_t**>(planes));
        if (av_audio_fifo_write(fifo_.get(), data, frames) < frames)
            throw std::bad_alloc();
        while (av_audio_fifo_size(fifo_.get()) >= frameSize_)
            encodeFromFifo(frameSize_);
    }

    void finish() override {
        if (const int left = av_audio_fifo_size(fifo_.get()); left > 0)
            encodeFromFifo(left);
        send(nullptr);
        if (int rc = av_write_trailer(muxer_.get()); rc < 0)
            throw avWriteFailure(path_, rc);
        avio_flush(muxer_->pb);
        if (const int rc = muxer_->pb->error; rc < 0)
            throw avWriteFailure(path_, rc);
    }

private:
    void encodeFromFifo(int frames) {
        if (av_frame_make_writable(frame_.get()) < 0)
            throw std::bad_alloc();
        av_audio_fifo_read(fifo_.get(), reinterpret_cast<void**>(frame_->data), frames);
        // A short last frame is padded with silence unless the encoder takes it as it is.
        const bool takesShort = encoder_->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME;
        if (frames < frameSize_ && !takesShort)
            av_samples_set_silence(frame_->data, frames, frameSize_ - frames,
                                   encoder_->ch_layout.nb_channels, encoder_->sample_fmt);
        frame_->nb_samples = (frames < frameSize_ && takesShort) ? frames : frameSize_;
        frame_->pts = nextPts_;
        nextPts_ += frame_->nb_samples;
        send(frame_.get());
    }

    void send(const AVFrame* frame) {
        if (int rc = avcodec_send_frame(encoder_.get(), frame); rc < 0)
            throw Failure(ExitCode::Unexpected, "encoding failed: " + avErrorWords(rc));
        while (true) {
            const int rc = avcodec_receive_packet(encoder_.get(), packet_.get());
            if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF)
                return;
            if (rc < 0)
                throw Failure(ExitCode::Unexpected, "encoding failed: " + avErrorWords(rc));
            av_packet_rescale_ts(packet_.get(), encoder_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            if (int wrc = av_interleaved_write_frame(muxer_.get(), packet_.get()); wrc < 0)
                throw avWriteFailure(path_, wrc);
        }
    }

    std::string path_;
    DescriptorOutput output_; // outlives muxer_, which writes into it
    OutputFormatPtr muxer_;
    CodecContextPtr encoder_;
    FifoPtr fifo_;
    PacketPtr packet_;
    FramePtr frame_;
    AVStream* stream_ = nullptr; // owned by muxer_
    int frameSize_ = 1024;
    bool primed_ = false;
    std::int64_t nextPts_ = 0;
};

} // namespace

std::unique_ptr<AudioSink> makeSink(int fd, const std::string& path, const EncodeSettings& settings,
                                    const Tags* tags) {
    if (settings.container == Container::Wav)
        return std::make_unique<WavSink>(fd, path, settings.sampleRate, settings.channels, tags);
    return std::make_unique<EncoderSink>(fd, path, settings, tags);
}

} // namespace transcoder
