// The transcoder: decodes any audio file the FFmpeg libraries read and writes it, or a stretch of
// it, as 16-bit PCM WAV, MP3, WMA or AMR narrow-band. The output is written beside its target
// under a temporary name and renamed into place only when it is complete.
#include "transcoder/options.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using codec::Container;
using codec::Options;

struct Failure : std::runtime_error {
    using std::runtime_error::runtime_error;
};

[[noreturn]] void fail(const std::string& line) {
    throw Failure(line);
}

std::string avError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

void note(const std::string& line) {
    std::fprintf(stderr, "codec: %s\n", line.c_str());
}

struct InputCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwrFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFreer {
    void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using InputPtr = std::unique_ptr<AVFormatContext, InputCloser>;
using OutputPtr = std::unique_ptr<AVFormatContext, OutputCloser>;
using CodecPtr = std::unique_ptr<AVCodecContext, CodecFreer>;
using FramePtr = std::unique_ptr<AVFrame, FrameFreer>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFreer>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFreer>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoFreer>;
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

// The temporary output beside the target: removed unless it was renamed into place.
class PartFile {
public:
    explicit PartFile(const std::string& target) : m_target(target) {
        const std::size_t slash = target.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash);
        const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
        struct stat info {};
        if (stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
            fail("the output folder " + folder + " does not exist");
        if (access(folder.c_str(), W_OK) != 0)
            fail("the output folder " + folder + " is not writable");
        m_path = folder + "/." + name + ".part-" + std::to_string(getpid());
    }
    ~PartFile() {
        if (!m_committed)
            std::remove(m_path.c_str());
    }
    PartFile(const PartFile&) = delete;
    PartFile& operator=(const PartFile&) = delete;

    const std::string& path() const { return m_path; }
    void commit() {
        if (std::rename(m_path.c_str(), m_target.c_str()) != 0)
            fail("cannot write " + m_target + ": " + std::strerror(errno));
        m_committed = true;
    }

private:
    std::string m_target;
    std::string m_path;
    bool m_committed = false;
};

// What the output is made of.
struct Target {
    Container container;
    int sampleRate;
    int channels;
    long bitRate;
};

Target targetFor(const Options& o) {
    if (o.container == Container::Amr)
        return {Container::Amr, 8000, 1, 12200};
    return {o.container, o.sampleRate.value_or(44100), o.channels.value_or(2),
            o.bitRate.value_or(192000)};
}

// The decoded input, positioned at the first sample wanted.
struct Input {
    InputPtr format;
    CodecPtr decoder;
    int stream = -1;
    bool seeked = false;
};

Input openInput(const Options& o, std::int64_t startSample) {
    Input in;
    AVFormatContext* raw = nullptr;
    if (const int e = avformat_open_input(&raw, o.input.c_str(), nullptr, nullptr); e < 0)
        fail("cannot read the input " + o.input + ": " + avError(e));
    in.format.reset(raw);
    if (const int e = avformat_find_stream_info(raw, nullptr); e < 0)
        fail("cannot read the input " + o.input + ": " + avError(e));
    const AVCodec* decoder = nullptr;
    in.stream = av_find_best_stream(raw, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (in.stream < 0 || !decoder)
        fail("the input " + o.input + " has no audio stream this program can decode");
    AVStream* st = raw->streams[in.stream];
    in.decoder.reset(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(in.decoder.get(), st->codecpar);
    in.decoder->pkt_timebase = st->time_base;
    if (const int e = avcodec_open2(in.decoder.get(), decoder, nullptr); e < 0)
        fail("cannot decode the input " + o.input + ": " + avError(e));
    if (in.decoder->ch_layout.order == AV_CHANNEL_ORDER_UNSPEC) {
        const int count = in.decoder->ch_layout.nb_channels;
        av_channel_layout_uninit(&in.decoder->ch_layout);
        av_channel_layout_default(&in.decoder->ch_layout, count);
    }
    // Samples of an uncompressed input are found straight away; other inputs are decoded from
    // their start so that the cut is exact.
    const AVCodecDescriptor* d = avcodec_descriptor_get(st->codecpar->codec_id);
    const bool direct =
        d && (d->props & AV_CODEC_PROP_INTRA_ONLY) && std::strncmp(d->name, "pcm_", 4) == 0;
    for (unsigned i = 0; i < raw->nb_streams; ++i)
        if (static_cast<int>(i) != in.stream)
            raw->streams[i]->discard = AVDISCARD_ALL;
    if (startSample > 0 && direct) {
        const std::int64_t ts =
            av_rescale_q(startSample, {1, in.decoder->sample_rate}, st->time_base);
        if (avformat_seek_file(raw, in.stream, 0, ts, ts, 0) >= 0) {
            avcodec_flush_buffers(in.decoder.get());
            in.seeked = true;
        }
    }
    return in;
}

// The encoder and muxer of a compressed output, or nothing of it for WAV.
class Sink {
public:
    Sink(const Target& t, const std::string& path) : m_target(t) {
        if (t.container == Container::Wav) {
            m_wav.reset(std::fopen(path.c_str(), "wb"));
            if (!m_wav)
                fail("cannot write into the output folder: " + std::string(std::strerror(errno)));
            const std::vector<char> header(44, 0);
            std::fwrite(header.data(), 1, header.size(), m_wav.get());
            m_format = AV_SAMPLE_FMT_S16;
            m_rate = t.sampleRate;
            m_channels = t.channels;
            return;
        }
        openEncoder();
        const char* muxer = t.container == Container::Mp3   ? "mp3"
                            : t.container == Container::Wma ? "asf"
                                                            : "amr";
        AVFormatContext* raw = nullptr;
        avformat_alloc_output_context2(&raw, nullptr, muxer, path.c_str());
        if (!raw)
            fail(std::string("cannot make a ") + muxer + " file");
        m_mux.reset(raw);
        AVStream* st = avformat_new_stream(raw, nullptr);
        avcodec_parameters_from_context(st->codecpar, m_encoder.get());
        st->time_base = {1, m_rate};
        if (const int e = avio_open(&raw->pb, path.c_str(), AVIO_FLAG_WRITE); e < 0)
            fail("cannot write into the output folder: " + avError(e));
        if (const int e = avformat_write_header(raw, nullptr); e < 0)
            fail("cannot write the output: " + avError(e));
        m_fifo.reset(av_audio_fifo_alloc(m_format, m_channels, 1));
        m_frame.reset(av_frame_alloc());
        m_packet.reset(av_packet_alloc());
    }

    AVSampleFormat sampleFormat() const { return m_format; }
    int sampleRate() const { return m_rate; }
    int channels() const { return m_channels; }

    // Interleaved or planar samples in the sink's own format.
    void write(uint8_t** data, int samples) {
        if (samples <= 0)
            return;
        if (m_wav) {
            const std::size_t bytes = static_cast<std::size_t>(samples) * 2 * m_channels;
            if (std::fwrite(data[0], 1, bytes, m_wav.get()) != bytes)
                fail("cannot write the output: " + std::string(std::strerror(errno)));
            m_dataBytes += bytes;
            return;
        }
        av_audio_fifo_write(m_fifo.get(), reinterpret_cast<void**>(data), samples);
        while (av_audio_fifo_size(m_fifo.get()) >= m_frameSize)
            encodeFromFifo(m_frameSize);
    }

    void finish() {
        if (m_wav) {
            if (m_dataBytes > std::numeric_limits<std::uint32_t>::max() - 36)
                fail("the audio is too long for a WAV file (4 GiB at most)");
            writeWavHeader();
            if (std::fflush(m_wav.get()) != 0 || std::ferror(m_wav.get()))
                fail("cannot write the output: " + std::string(std::strerror(errno)));
            m_wav.reset();
            return;
        }
        if (const int left = av_audio_fifo_size(m_fifo.get()); left > 0)
            encodeFromFifo(left);
        send(nullptr);
        if (const int e = av_write_trailer(m_mux.get()); e < 0)
            fail("cannot write the output: " + avError(e));
        if (const int e = avio_closep(&m_mux->pb); e < 0)
            fail("cannot write the output: " + avError(e));
    }

private:
    void openEncoder() {
        const Target& t = m_target;
        const AVCodec* encoder =
            t.container == Container::Mp3   ? avcodec_find_encoder_by_name("libmp3lame")
            : t.container == Container::Wma ? avcodec_find_encoder(AV_CODEC_ID_WMAV2)
                                            : avcodec_find_encoder_by_name("libopencore_amrnb");
        if (!encoder)
            fail("this build has no encoder for the chosen output format");
        std::vector<int> rates;
        for (const int* r = encoder->supported_samplerates; r && *r; ++r)
            rates.push_back(*r);
        // The WMA encoder takes any rate, but players know only the usual ones.
        if (t.container == Container::Wma)
            rates = {8000, 11025, 16000, 22050, 24000, 32000, 44100, 48000};
        m_rate = codec::nearest(t.sampleRate, rates);
        if (m_rate != t.sampleRate)
            note(std::string(encoder->name) + " cannot use " + std::to_string(t.sampleRate) +
                 " Hz, using " + std::to_string(m_rate) + " Hz");
        m_format = encoder->sample_fmts ? encoder->sample_fmts[0] : AV_SAMPLE_FMT_S16;
        m_channels = t.channels;

        // The bit rate asked for first, then the nearest ones the encoder takes.
        std::vector<long> rates2{t.bitRate};
        std::vector<long> others;
        for (const long k :
             {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 192, 224, 256, 320})
            others.push_back(k * 1000);
        if (t.container == Container::Amr)
            others = {4750, 5150, 5900, 6700, 7400, 7950, 10200, 12200};
        std::stable_sort(others.begin(), others.end(), [&](long a, long b) {
            return std::labs(a - t.bitRate) < std::labs(b - t.bitRate);
        });
        rates2.insert(rates2.end(), others.begin(), others.end());
        for (const long bitRate : rates2) {
            CodecPtr context(avcodec_alloc_context3(encoder));
            context->sample_rate = m_rate;
            context->sample_fmt = m_format;
            av_channel_layout_default(&context->ch_layout, m_channels);
            context->bit_rate = bitRate;
            context->time_base = {1, m_rate};
            if (avcodec_open2(context.get(), encoder, nullptr) < 0)
                continue;
            if (bitRate != t.bitRate)
                note(std::string(encoder->name) + " cannot use " +
                     std::to_string(t.bitRate / 1000) + " kbit/s at " + std::to_string(m_rate) +
                     " Hz, using " + std::to_string(bitRate / 1000) + " kbit/s");
            m_encoder = std::move(context);
            break;
        }
        if (!m_encoder)
            fail(std::string(encoder->name) + " cannot encode at " + std::to_string(m_rate) +
                 " Hz");
        m_frameSize = m_encoder->frame_size > 0 ? m_encoder->frame_size : 1024;
    }

    void encodeFromFifo(int samples) {
        m_frame->nb_samples = samples;
        // An encoder that wants whole frames gets the last one filled up with silence.
        if (samples < m_frameSize &&
            !(m_encoder->codec->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME))
            m_frame->nb_samples = m_frameSize;
        m_frame->format = m_format;
        m_frame->sample_rate = m_rate;
        av_channel_layout_copy(&m_frame->ch_layout, &m_encoder->ch_layout);
        if (av_frame_get_buffer(m_frame.get(), 0) < 0)
            fail("out of memory");
        av_samples_set_silence(m_frame->extended_data, 0, m_frame->nb_samples, m_channels,
                               m_format);
        av_audio_fifo_read(m_fifo.get(), reinterpret_cast<void**>(m_frame->extended_data), samples);
        m_frame->pts = m_samplesOut;
        m_samplesOut += m_frame->nb_samples;
        send(m_frame.get());
        av_frame_unref(m_frame.get());
    }

    void send(AVFrame* frame) {
        if (const int e = avcodec_send_frame(m_encoder.get(), frame); e < 0)
            fail("cannot encode the output: " + avError(e));
        while (true) {
            const int e = avcodec_receive_packet(m_encoder.get(), m_packet.get());
            if (e == AVERROR(EAGAIN) || e == AVERROR_EOF)
                return;
            if (e < 0)
                fail("cannot encode the output: " + avError(e));
            av_packet_rescale_ts(m_packet.get(), m_encoder->time_base,
                                 m_mux->streams[0]->time_base);
            m_packet->stream_index = 0;
            if (const int w = av_interleaved_write_frame(m_mux.get(), m_packet.get()); w < 0)
                fail("cannot write the output: " + avError(w));
        }
    }

    void writeWavHeader() {
        unsigned char h[44];
        const auto put32 = [&h](int at, std::uint32_t v) {
            for (int i = 0; i < 4; ++i)
                h[at + i] = static_cast<unsigned char>(v >> (8 * i));
        };
        const auto put16 = [&h](int at, std::uint16_t v) {
            h[at] = static_cast<unsigned char>(v);
            h[at + 1] = static_cast<unsigned char>(v >> 8);
        };
        const auto data = static_cast<std::uint32_t>(m_dataBytes);
        std::memcpy(h, "RIFF", 4);
        put32(4, 36 + data);
        std::memcpy(h + 8, "WAVEfmt ", 8);
        put32(16, 16);
        put16(20, 1);
        put16(22, static_cast<std::uint16_t>(m_channels));
        put32(24, static_cast<std::uint32_t>(m_rate));
        put32(28, static_cast<std::uint32_t>(m_rate * m_channels * 2));
        put16(32, static_cast<std::uint16_t>(m_channels * 2));
        put16(34, 16);
        std::memcpy(h + 36, "data", 4);
        put32(40, data);
        std::fseek(m_wav.get(), 0, SEEK_SET);
        std::fwrite(h, 1, sizeof h, m_wav.get());
    }

    Target m_target;
    FilePtr m_wav;
    std::uint64_t m_dataBytes = 0;
    CodecPtr m_encoder;
    OutputPtr m_mux;
    FifoPtr m_fifo;
    FramePtr m_frame;
    PacketPtr m_packet;
    AVSampleFormat m_format = AV_SAMPLE_FMT_S16;
    int m_rate = 44100;
    int m_channels = 2;
    int m_frameSize = 1024;
    std::int64_t m_samplesOut = 0;
};

void transcode(const Options& o) {
    const Target target = targetFor(o);
    PartFile part(o.output);
    // The stretch in samples of the input, found once its rate is known.
    Input in = openInput(o, 0);
    const int inRate = in.decoder->sample_rate;
    const std::int64_t start = std::llround(o.startSeconds.value_or(0) * inRate);
    const std::int64_t end = o.lengthSeconds ? start + std::llround(*o.lengthSeconds * inRate)
                                             : std::numeric_limits<std::int64_t>::max();
    if (start > 0)
        in = openInput(o, start);
    AVStream* st = in.format->streams[in.stream];

    Sink sink(target, part.path());
    SwrContext* rawSwr = nullptr;
    AVChannelLayout outLayout{};
    av_channel_layout_default(&outLayout, sink.channels());
    swr_alloc_set_opts2(&rawSwr, &outLayout, sink.sampleFormat(), sink.sampleRate(),
                        &in.decoder->ch_layout, in.decoder->sample_fmt, inRate, 0, nullptr);
    SwrPtr swr(rawSwr);
    // A mono input keeps its level in both channels of a stereo output.
    if (swr && in.decoder->ch_layout.nb_channels == 1 && sink.channels() == 2) {
        const double bothAtFullLevel[2] = {1.0, 1.0};
        swr_set_matrix(swr.get(), bothAtFullLevel, 1);
    }
    if (!swr || swr_init(swr.get()) < 0)
        fail("cannot convert the input's samples");

    std::vector<uint8_t*> out(static_cast<std::size_t>(sink.channels()), nullptr);
    int outCapacity = 0;
    const auto convert = [&](const uint8_t** data, int count) {
        const int room = swr_get_out_samples(swr.get(), count);
        if (room > outCapacity) {
            if (out[0])
                av_freep(&out[0]);
            av_samples_alloc(out.data(), nullptr, sink.channels(), room, sink.sampleFormat(), 0);
            outCapacity = room;
        }
        const int got = swr_convert(swr.get(), out.data(), room, data, count);
        if (got < 0)
            fail("cannot convert the input's samples");
        sink.write(out.data(), got);
    };
    struct BufferFreer {
        std::vector<uint8_t*>& b;
        ~BufferFreer() {
            if (b[0])
                av_freep(&b[0]);
        }
    } freeBuffer{out};

    FramePtr frame(av_frame_alloc());
    PacketPtr packet(av_packet_alloc());
    std::int64_t next = 0; // index of the next decoded sample
    bool positioned = !in.seeked;
    bool done = false;
    const int bytesPerSample = av_get_bytes_per_sample(in.decoder->sample_fmt);
    const bool planar = av_sample_fmt_is_planar(in.decoder->sample_fmt);
    const int inChannels = in.decoder->ch_layout.nb_channels;
    std::vector<const uint8_t*> planes(static_cast<std::size_t>(std::max(inChannels, 1)));
    const auto take = [&](AVFrame* f) {
        if (!positioned) {
            if (f->best_effort_timestamp != AV_NOPTS_VALUE)
                next = av_rescale_q(f->best_effort_timestamp -
                                        std::max<std::int64_t>(st->start_time, 0),
                                    st->time_base, {1, inRate});
            positioned = true;
        }
        const std::int64_t first = next;
        next += f->nb_samples;
        if (first >= end) {
            done = true;
            return;
        }
        const std::int64_t from = std::max(first, start);
        const std::int64_t to = std::min(next, end);
        if (to <= from)
            return;
        const auto skip = static_cast<int>(from - first);
        for (int c = 0; c < (planar ? inChannels : 1); ++c)
            planes[c] = f->extended_data[c] + static_cast<std::ptrdiff_t>(skip) * bytesPerSample *
                                                  (planar ? 1 : inChannels);
        convert(planes.data(), static_cast<int>(to - from));
    };
    const auto receive = [&] {
        while (!done) {
            const int e = avcodec_receive_frame(in.decoder.get(), frame.get());
            if (e == AVERROR(EAGAIN) || e == AVERROR_EOF)
                return;
            if (e < 0)
                fail("cannot decode the input: " + avError(e));
            take(frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (!done) {
        const int e = av_read_frame(in.format.get(), packet.get());
        if (e == AVERROR_EOF)
            break;
        if (e < 0)
            fail("cannot read the input: " + avError(e));
        if (packet->stream_index == in.stream) {
            // A damaged packet is skipped, as players do.
            if (avcodec_send_packet(in.decoder.get(), packet.get()) >= 0)
                receive();
        }
        av_packet_unref(packet.get());
    }
    if (!done) {
        avcodec_send_packet(in.decoder.get(), nullptr);
        receive();
    }
    convert(nullptr, 0); // what the resampler still holds
    sink.finish();
    part.commit();
}

} // namespace

int main(int argc, char* argv[]) {
    av_log_set_level(AV_LOG_QUIET);
    const std::vector<std::string> arguments(argv + 1, argv + argc);
    const codec::Parsed parsed = codec::parseArguments(arguments);
    if (!parsed.error.empty()) {
        note(parsed.error);
        return 2;
    }
    try {
        transcode(parsed.options);
    } catch (const Failure& failure) {
        note(failure.what());
        return 1;
    } catch (const std::exception& error) {
        note(std::string("unexpected failure: ") + error.what());
        return 1;
    }
    return 0;
}
