#include "transcoder/mp3_copy.h"

#include "transcoder/av_error_words.h"
#include "transcoder/av_handles.h"
#include "transcoder/descriptor_output.h"
#include "transcoder/failure.h"
#include "transcoder/mp3_frames.h"
#include "transcoder/output_file.h"
#include "transcoder/settings.h"
#include "transcoder/stretch.h"
#include "transcoder/tags_av.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>
#include <tuple>
#include <vector>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
}

namespace transcoder {

namespace {

// The source file, read at any offset.
class SourceFile {
public:
    explicit SourceFile(const std::string& path) : in_(nativePath(path), std::ios::binary) {}
    bool good() const { return bool(in_); }
    std::int64_t read(std::int64_t offset, std::uint8_t* to, std::size_t bytes) {
        in_.clear();
        if (!in_.seekg(offset))
            return -1;
        in_.read(reinterpret_cast<char*>(to), std::streamsize(bytes));
        return in_.bad() ? -1 : std::int64_t(in_.gcount());
    }
    mp3::ReadAt reader() {
        return [this](std::int64_t offset, std::uint8_t* to, std::size_t bytes) {
            return read(offset, to, bytes);
        };
    }

private:
    std::ifstream in_;
};

std::optional<mp3::Layout> scan(SourceFile& file, std::int64_t size) {
    return file.good() ? mp3::scanConstantBitRate(size, file.reader()) : std::nullopt;
}

void check(int rc, const std::string& path) {
    if (rc < 0)
        throw avWriteFailure(path, rc);
}

// Samples a decoder drops from the packet's decode: at its start and at its end.
void markDiscarded(AVPacket* packet, int start, int end) {
    std::uint8_t* side = av_packet_new_side_data(packet, AV_PKT_DATA_SKIP_SAMPLES, 10);
    if (!side)
        throw std::bad_alloc();
    AV_WL32(side, std::uint32_t(start));
    AV_WL32(side + 4, std::uint32_t(end));
}

// The frames through FFmpeg's MP3 muxer, which writes the Xing/LAME frame in front: it takes
// the delay from the first packet's samples to skip and the padding from the last one's.
void writeFrames(SourceFile& source, const mp3::Layout& layout, const mp3::CopyPlan& plan,
                 const Tags& tags, TemporaryOutput& temporary, const ProgressFn& progress) {
    const std::string& path = temporary.path();
    DescriptorOutput output(temporary.descriptor());
    AVFormatContext* raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mp3", nullptr) < 0 || !raw)
        throw Failure(ExitCode::NoEncoder, "this transcoder cannot write mp3");
    const OutputFormatPtr muxer(raw);
    AVStream* stream = avformat_new_stream(muxer.get(), nullptr);
    if (!stream)
        throw std::bad_alloc();
    const mp3::FrameHeader& format = layout.format;
    AVCodecParameters* par = stream->codecpar;
    par->codec_type = AVMEDIA_TYPE_AUDIO;
    par->codec_id = AV_CODEC_ID_MP3;
    par->sample_rate = format.sampleRate;
    par->bit_rate = format.bitRate;
    par->frame_size = format.samples();
    av_channel_layout_default(&par->ch_layout, format.channels);
    stream->time_base = AVRational{1, format.sampleRate};
    muxer->pb = output.get();
    muxer->flags |= AVFMT_FLAG_CUSTOM_IO;
    addTags(muxer.get(), Container::Mp3, tags);
    check(avformat_write_header(muxer.get(), nullptr), path);

    const PacketPtr packet = makePacket();
    std::int64_t written = 0; // packets
    const auto write = [&](const std::uint8_t* data, int bytes, bool last) {
        if (av_new_packet(packet.get(), bytes) < 0)
            throw std::bad_alloc();
        std::copy_n(data, bytes, packet->data);
        packet->pts = packet->dts = written * format.samples();
        packet->duration = format.samples();
        if (written == 0 || last)
            markDiscarded(packet.get(), written == 0 ? plan.skip : 0, last ? plan.padding : 0);
        check(av_write_frame(muxer.get(), packet.get()), path);
        av_packet_unref(packet.get());
        ++written;
    };
    const std::int64_t from = layout.frames[plan.first].offset;
    std::vector<std::uint8_t> chunk;
    std::int64_t chunkAt = 0;
    for (std::size_t i = plan.first; i < plan.end; ++i) {
        const mp3::Frame& frame = layout.frames[i];
        if (frame.offset + frame.bytes > chunkAt + std::int64_t(chunk.size())) {
            const mp3::Frame& last = layout.frames[plan.end - 1];
            chunk.resize(std::size_t(
                std::min<std::int64_t>(1 << 20, last.offset + last.bytes - frame.offset)));
            chunkAt = frame.offset;
            if (source.read(chunkAt, chunk.data(), chunk.size()) != std::int64_t(chunk.size()))
                throw Failure(ExitCode::ReadFailed, "the source MP3 could not be read again");
        }
        const std::uint8_t* bytes = chunk.data() + (frame.offset - chunkAt);
        if (i == plan.first && plan.silentFrame) {
            const std::vector<std::uint8_t> silence = mp3::silentFrame(bytes);
            write(silence.data(), int(silence.size()), false);
        }
        write(bytes, frame.bytes, i + 1 == plan.end);
        if (progress)
            progress(double(frame.offset - from) /
                     double(std::max<std::int64_t>(1, layout.frames[plan.end - 1].offset - from)));
    }
    check(av_write_trailer(muxer.get()), path);
    avio_flush(muxer->pb);
    check(muxer->pb->error, path);
}

bool sameStream(const mp3::Layout& layout, const SourceRecord& record) {
    return layout.format.bitRate == record.bitRate &&
           layout.format.sampleRate == record.sampleRate &&
           layout.format.channels == record.channels;
}

} // namespace

bool copyMp3Frames(const Request& request, const ProgressFn& progress) {
    if (request.format || containerFromExtension(request.output) != Container::Mp3 ||
        (request.codec && *request.codec != "mp3" && *request.codec != "libmp3lame") ||
        (request.lengthMs && *request.lengthMs == 0))
        return false;
    const std::optional<SourceRecord> record = readSourceRecord(request.input);
    if (!record || request.bitRate != record->bitRate || request.sampleRate != record->sampleRate ||
        request.channels != record->channels)
        return false;
    // The record belongs to this WAV, and its source is as it was when the WAV was made.
    const auto wav = wavIdentity(request.input);
    const FileStamp stamp{record->size, record->mtimeNs};
    if (!wav || *wav != std::pair{record->wavBytes, record->wavHash} ||
        fileStamp(record->path) != stamp)
        return false;
    SourceFile source(record->path);
    const std::optional<mp3::Layout> layout = scan(source, record->size);
    if (!layout || !sameStream(*layout, *record))
        return false;

    const int rate = layout->format.sampleRate;
    const std::int64_t startMs = request.startMs.value_or(0);
    const std::int64_t begin = rescale(startMs, rate, 1000);
    const std::int64_t end =
        request.lengthMs ? rescale(startMs + *request.lengthMs, rate, 1000) : kOpenEnd;
    const std::optional<mp3::CopyPlan> plan = mp3::planCopy(*layout, begin, end);
    if (!plan)
        return false;
    TemporaryOutput temporary(request.output);
    // The opened file's tags, kept beside the WAV, go in front as for any MP3 cut.
    writeFrames(source, *layout, *plan, companionTags(request.input).value_or(Tags{}), temporary,
                progress);
    // A source changed while it was read gives no file at all; the WAV still holds the sound.
    if (fileStamp(record->path) != stamp)
        return false;
    temporary.commit();
    return true;
}

void recordSource(const std::string& input, const std::string& wavPath,
                  const std::optional<FileStamp>& inputStamp) {
    if (!inputStamp)
        return;
    SourceFile source(input);
    const std::optional<mp3::Layout> layout = scan(source, inputStamp->size);
    const auto wav = wavIdentity(wavPath);
    if (!layout || !wav || fileStamp(input) != inputStamp)
        return;
    SourceRecord record;
    record.path = absolutePath(input);
    record.size = inputStamp->size;
    record.mtimeNs = inputStamp->mtimeNs;
    record.bitRate = layout->format.bitRate;
    record.sampleRate = layout->format.sampleRate;
    record.channels = layout->format.channels;
    std::tie(record.wavBytes, record.wavHash) = *wav;
    writeSourceRecord(wavPath, record);
}

} // namespace transcoder
