#include "transcoder/tags_av.h"

#include "transcoder/av_handles.h"

#include <algorithm>
#include <stdexcept>

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/dict.h>
#include <libavutil/opt.h>
}

namespace transcoder {

namespace {

// The picture types an ID3 APIC frame names by MIME type.
const char* mimeTypeOf(AVCodecID codec) {
    switch (codec) {
    case AV_CODEC_ID_MJPEG:
        return "image/jpeg";
    case AV_CODEC_ID_PNG:
        return "image/png";
    case AV_CODEC_ID_GIF:
        return "image/gif";
    case AV_CODEC_ID_BMP:
        return "image/bmp";
    case AV_CODEC_ID_WEBP:
        return "image/webp";
    case AV_CODEC_ID_TIFF:
        return "image/tiff";
    default:
        return nullptr;
    }
}

// The first value of any of the field's names, in the file's tags and then the audio stream's
// (Ogg keeps them there), that reads as text.
std::string fieldOf(const AVFormatContext* format, int audioStream, TagField field) {
    const AVDictionary* dictionaries[] = {format->metadata, format->streams[audioStream]->metadata};
    for (const AVDictionary* dictionary : dictionaries)
        for (std::string_view name : tagNames(field)) {
            const AVDictionaryEntry* entry =
                av_dict_get(dictionary, std::string(name).c_str(), nullptr, 0);
            if (const auto text = entry ? keptText(entry->value) : std::nullopt)
                return *text;
        }
    // An ID3 comment with a description is named "comment-<description>".
    if (field == TagField::Comment)
        if (const AVDictionaryEntry* entry =
                av_dict_get(format->metadata, "comment-", nullptr, AV_DICT_IGNORE_SUFFIX))
            return keptText(entry->value).value_or(std::string());
    return {};
}

// The front cover, else the first picture the file holds.
void readCover(const AVFormatContext* format, Tags& tags) {
    const AVStream* chosen = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* stream = format->streams[i];
        if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) ||
            stream->attached_pic.size <= 0 || !mimeTypeOf(stream->codecpar->codec_id) ||
            static_cast<std::size_t>(stream->attached_pic.size) > kMaxCoverBytes)
            continue;
        const AVDictionaryEntry* type = av_dict_get(stream->metadata, "comment", nullptr, 0);
        const bool front = type && std::string_view(type->value) == "Cover (front)";
        if (!chosen || front)
            chosen = stream;
        if (front)
            break;
    }
    if (!chosen)
        return;
    tags.coverMimeType = mimeTypeOf(chosen->codecpar->codec_id);
    tags.cover.assign(reinterpret_cast<const char*>(chosen->attached_pic.data),
                      static_cast<std::size_t>(chosen->attached_pic.size));
}

// A file opened for reading through FFmpeg, which takes UTF-8 names on every platform.
class ReadFile {
public:
    explicit ReadFile(const std::string& path) {
        if (avio_open(&io_, path.c_str(), AVIO_FLAG_READ) < 0)
            io_ = nullptr;
    }
    ~ReadFile() { avio_closep(&io_); }
    ReadFile(const ReadFile&) = delete;
    ReadFile& operator=(const ReadFile&) = delete;

    std::int64_t size() const { return io_ ? avio_size(io_) : -1; }
    // The last `bytes` of the file (its whole when shorter); nothing on a failed read.
    std::optional<std::string> last(std::int64_t bytes) {
        const std::int64_t total = size();
        bytes = std::min(bytes, total);
        if (bytes < 0 || avio_seek(io_, total - bytes, SEEK_SET) < 0)
            return std::nullopt;
        std::string data(static_cast<std::size_t>(bytes), '\0');
        if (avio_read(io_, reinterpret_cast<unsigned char*>(data.data()),
                      static_cast<int>(bytes)) != bytes)
            return std::nullopt;
        return data;
    }

private:
    AVIOContext* io_ = nullptr;
};

constexpr std::int64_t kMaxTagFileBytes = kMaxCoverBytes + 64 * kMaxTagBytes;

// The whole companion, or nothing when there is none, it cannot be read or is too large.
std::optional<std::string> readCompanion(const std::string& path) {
    ReadFile file(path);
    const std::int64_t size = file.size();
    if (size <= 0 || size > kMaxTagFileBytes)
        return std::nullopt;
    return file.last(size);
}

// The APEv2 tag at the end of an MP3, which FFmpeg's MP3 demuxer does not read.
Tags apeTagsOf(const std::string& path) {
    ReadFile file(path);
    const auto probe = file.last(kApeProbeBytes);
    const std::size_t bytes = probe ? apeTagBytes(*probe) : 0;
    const auto tail = bytes ? file.last(static_cast<std::int64_t>(bytes)) : std::nullopt;
    return tail ? apeTags(*tail) : Tags{};
}

} // namespace

Tags sourceTags(const std::string& input, const AVFormatContext* format, int audioStream) {
    if (const auto bytes = readCompanion(companionPath(input)))
        if (const auto tags = decodeCompanion(*bytes))
            return std::move(*tags);
    Tags tags;
    for (std::size_t f = 0; f < kTagFieldCount; ++f)
        tags.fields[f] = fieldOf(format, audioStream, static_cast<TagField>(f));
    readCover(format, tags);
    if (std::string_view(format->iformat->name) == "mp3" && format->pb &&
        (format->pb->seekable & AVIO_SEEKABLE_NORMAL)) {
        // What the ID3 tags lack, an APEv2 tag may hold.
        const Tags ape = apeTagsOf(input);
        for (std::size_t f = 0; f < kTagFieldCount; ++f)
            if (tags.fields[f].empty())
                tags.fields[f] = ape.fields[f];
        if (tags.cover.empty()) {
            tags.cover = ape.cover;
            tags.coverMimeType = ape.coverMimeType;
        }
    }
    return tags;
}

void addTags(AVFormatContext* muxer, Container container, const Tags& tags) {
    if (container == Container::Mp3) {
        // The muxer's own ID3v2 is off; ours goes first, and the muxer's Xing frame after it
        // (it keeps the offsets it writes at, so the frame is patched where it lies).
        if (av_opt_set_int(muxer->priv_data, "id3v2_version", 0, 0) < 0)
            throw std::logic_error("the mp3 muxer has no id3v2_version option");
        const std::string tag = id3v23Tag(tags);
        avio_write(muxer->pb, reinterpret_cast<const unsigned char*>(tag.data()),
                   static_cast<int>(tag.size()));
    } else if (container == Container::Wma) {
        for (const auto& [name, value] : asfAttributes(tags))
            if (av_dict_set(&muxer->metadata, name.c_str(), value.c_str(), 0) < 0)
                throw std::bad_alloc();
    }
}

} // namespace transcoder
