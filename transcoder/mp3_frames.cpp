#include "transcoder/mp3_frames.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>

namespace transcoder::mp3 {

namespace {

constexpr std::array<int, 16> kMpeg1Kbits{0,   32,  40,  48,  56,  64,  80,  96,
                                          112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> kMpeg2Kbits{0,  8,  16, 24,  32,  40,  48,  56,
                                          64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<int, 3> kMpeg1Rates{44100, 48000, 32000};

// Where FFmpeg's reader looks for "Xing"/"Info" after the header: by version and channels only.
int infoTagOffset(const FrameHeader& h) {
    return 4 + (h.mpeg1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17));
}

std::uint32_t bigEndian(const std::uint8_t* p, int bytes) {
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

bool startsWith(const std::uint8_t* p, std::size_t available, const char* text) {
    const std::size_t n = std::strlen(text);
    return available >= n && std::memcmp(p, text, n) == 0;
}

bool sameStream(const FrameHeader& a, const FrameHeader& b) {
    return a.mpeg1 == b.mpeg1 && a.bitRate == b.bitRate && a.sampleRate == b.sampleRate &&
           a.channels == b.channels;
}

// A window of the file held in memory, refilled as the scan moves on.
class Reader {
public:
    Reader(std::int64_t fileBytes, const ReadAt& read) : fileBytes_(fileBytes), read_(read) {}

    // The bytes [offset, offset + bytes), or nullptr when they are not all in the file.
    const std::uint8_t* at(std::int64_t offset, std::size_t bytes) {
        if (offset < 0 || offset + std::int64_t(bytes) > fileBytes_)
            return nullptr;
        if (offset < base_ || offset + std::int64_t(bytes) > base_ + std::int64_t(size_)) {
            const std::size_t want = std::max(bytes, kChunk);
            buffer_.resize(want);
            const std::int64_t got = read_(offset, buffer_.data(), want);
            if (got < std::int64_t(bytes))
                return nullptr;
            base_ = offset;
            size_ = std::size_t(got);
        }
        return buffer_.data() + (offset - base_);
    }
    std::size_t availableAt(std::int64_t offset) const {
        return std::size_t(std::max<std::int64_t>(0, fileBytes_ - offset));
    }

private:
    static constexpr std::size_t kChunk = 1 << 20;
    std::int64_t fileBytes_;
    const ReadAt& read_;
    std::vector<std::uint8_t> buffer_;
    std::int64_t base_ = 0;
    std::size_t size_ = 0;
};

} // namespace

std::optional<FrameHeader> parseHeader(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0)
        return std::nullopt;
    const int version = (b[1] >> 3) & 3; // 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
    const int layer = (b[1] >> 1) & 3;   // 1: Layer III
    const int bitIndex = b[2] >> 4;
    const int rateIndex = (b[2] >> 2) & 3;
    if (version == 1 || layer != 1 || bitIndex == 0 || bitIndex == 15 || rateIndex == 3)
        return std::nullopt;
    FrameHeader h;
    h.mpeg1 = version == 3;
    h.bitRate = (h.mpeg1 ? kMpeg1Kbits : kMpeg2Kbits)[bitIndex] * 1000;
    h.sampleRate = kMpeg1Rates[rateIndex] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    h.channels = (b[3] >> 6) == 3 ? 1 : 2;
    h.crc = (b[1] & 1) == 0;
    const int padding = (b[2] >> 1) & 1;
    h.bytes = (h.mpeg1 ? 144 : 72) * h.bitRate / h.sampleRate + padding;
    return h;
}

int mainDataBegin(const std::uint8_t* bytes, const FrameHeader& h) {
    const std::uint8_t* side = bytes + 4 + (h.crc ? 2 : 0);
    return h.mpeg1 ? (side[0] << 1 | side[1] >> 7) : side[0];
}

InfoTag parseInfoTag(std::span<const std::uint8_t> frame, const FrameHeader& h) {
    InfoTag tag;
    std::size_t at = std::size_t(infoTagOffset(h));
    const auto take = [&](std::size_t bytes) -> const std::uint8_t* {
        if (at + bytes > frame.size())
            return nullptr;
        const std::uint8_t* p = frame.data() + at;
        at += bytes;
        return p;
    };
    const std::uint8_t* id = take(8);
    if (!id || (std::memcmp(id, "Xing", 4) != 0 && std::memcmp(id, "Info", 4) != 0))
        return tag;
    tag.vbr = std::memcmp(id, "Xing", 4) == 0;
    const std::uint32_t flags = bigEndian(id + 4, 4);
    if (flags & 1)
        if (const auto* p = take(4))
            tag.frames = bigEndian(p, 4);
    if (flags & 2)
        if (const auto* p = take(4))
            tag.bytes = bigEndian(p, 4);
    // The reader skips the frame only when it counts frames or bytes.
    tag.present = tag.frames != 0 || tag.bytes != 0;
    if (flags & 4)
        take(100); // table of contents
    if (flags & 8)
        take(4); // quality
    const std::uint8_t* version = take(9);
    take(12); // revision, low-pass, replay gain, flags, bit rate
    const std::uint8_t* delays = take(3);
    if (!version || !delays)
        return tag;
    tag.gapless = std::memcmp(version, "LAME", 4) == 0 || std::memcmp(version, "Lavf", 4) == 0 ||
                  std::memcmp(version, "Lavc", 4) == 0;
    const std::uint32_t v = bigEndian(delays, 3);
    tag.delay = int(v >> 12);
    tag.padding = int(v & 0xFFF);
    return tag;
}

std::size_t id3v2Size(std::span<const std::uint8_t> head) {
    if (head.size() < 10 || std::memcmp(head.data(), "ID3", 3) != 0 || head[3] == 0xFF ||
        head[4] == 0xFF || ((head[6] | head[7] | head[8] | head[9]) & 0x80))
        return 0;
    const std::size_t body = std::size_t(head[6]) << 21 | std::size_t(head[7]) << 14 |
                             std::size_t(head[8]) << 7 | head[9];
    return 10 + body + ((head[5] & 0x10) ? 10 : 0);
}

std::optional<Layout> scanConstantBitRate(std::int64_t fileBytes, const ReadAt& read) {
    Reader reader(fileBytes, read);
    std::int64_t pos = 0;
    while (const std::uint8_t* head = reader.at(pos, 10)) {
        const std::size_t tag = id3v2Size({head, 10});
        if (tag == 0)
            break;
        pos += std::int64_t(tag);
    }
    const std::uint8_t* first = reader.at(pos, 4);
    const auto format = first ? parseHeader(first) : std::nullopt;
    if (!format)
        return std::nullopt;
    Layout layout;
    layout.format = *format;
    const std::uint8_t* firstFrame = reader.at(pos, std::size_t(format->bytes));
    if (!firstFrame)
        return std::nullopt;
    layout.info = parseInfoTag({firstFrame, std::size_t(format->bytes)}, *format);
    const InfoTag& info = layout.info;
    if (format->bytes >= 40 && std::memcmp(firstFrame + 36, "VBRI", 4) == 0)
        return std::nullopt;
    if (info.present) {
        // The reader ignores the frame count of a tag whose byte count is far from the file's.
        const std::int64_t after = fileBytes - pos - 4;
        if (info.bytes != 0 && std::abs(after - std::int64_t(info.bytes)) >
                                   std::min<std::int64_t>(after, info.bytes) / 16)
            return std::nullopt;
        pos += format->bytes;
        // The info frame may have a higher bit rate than the audio, to hold its fields.
        const std::uint8_t* audio = reader.at(pos, 4);
        const auto audioFormat = audio ? parseHeader(audio) : std::nullopt;
        if (!audioFormat)
            return std::nullopt;
        layout.format = *audioFormat;
    }

    while (pos < fileBytes) {
        const std::uint8_t* p = reader.at(pos, 4);
        const auto h = p ? parseHeader(p) : std::nullopt;
        if (!h) {
            p = reader.at(pos, std::min<std::size_t>(reader.availableAt(pos), 11));
            const std::size_t left = reader.availableAt(pos);
            if (p && (startsWith(p, left, "TAG") || startsWith(p, left, "APETAGEX") ||
                      startsWith(p, left, "LYRICSBEGIN")))
                break;
            return std::nullopt; // junk, damage or a truncated frame
        }
        if (!sameStream(*h, layout.format))
            return std::nullopt;
        p = reader.at(pos, std::size_t(h->bytes));
        if (!p || h->bytes < h->mainDataOffset())
            return std::nullopt;
        // An info frame in the middle (files joined byte by byte) is dropped by the reader.
        const int tagAt = infoTagOffset(*h);
        if (tagAt + 4 <= h->bytes &&
            (std::memcmp(p + tagAt, "Xing", 4) == 0 || std::memcmp(p + tagAt, "Info", 4) == 0))
            return std::nullopt;
        layout.frames.push_back(
            {pos, h->bytes, mainDataBegin(p, *h), h->bytes - h->mainDataOffset()});
        pos += h->bytes;
    }
    if (layout.frames.empty())
        return std::nullopt;

    const std::int64_t spf = layout.format.samples();
    const std::int64_t total = std::int64_t(layout.frames.size()) * spf;
    layout.startSkip = info.gapless ? info.delay + kDecoderDelay : 0;
    layout.decodedEnd = total;
    if (info.gapless && info.frames != 0)
        layout.decodedEnd =
            std::min(total, std::int64_t(info.frames) * spf - info.padding + kDecoderDelay);
    if (layout.decodedEnd <= layout.startSkip)
        return std::nullopt;
    return layout;
}

std::vector<std::uint8_t> silentFrame(const std::uint8_t* first4) {
    // No CRC and no padding byte; the rest of the header as the stream's.
    std::vector<std::uint8_t> header{first4[0], std::uint8_t(first4[1] | 1),
                                     std::uint8_t(first4[2] & ~2), first4[3]};
    const auto h = parseHeader(header.data());
    header.resize(h ? std::size_t(h->bytes) : 0, 0);
    return header;
}

std::optional<CopyPlan> planCopy(const Layout& layout, std::int64_t beginSample,
                                 std::int64_t endSample) {
    const std::int64_t spf = layout.format.samples();
    beginSample = std::max<std::int64_t>(beginSample, 0);
    endSample = std::min(endSample, layout.decodedSamples());
    if (endSample <= beginSample)
        return std::nullopt;
    const std::int64_t from = beginSample + layout.startSkip; // in the raw decode
    const std::int64_t to = endSample + layout.startSkip;
    const std::size_t holdsFirst = std::size_t(from / spf);
    std::size_t first = holdsFirst;
    // The decode of a granule adds the second half of the previous granule's transform, and
    // its synthesis filter holds the last 16 of that granule's 18 subband samples: the two
    // granules before the first one must come out as in the whole stream. They are the frame
    // before in MPEG-1 (two granules a frame) and the two frames before in MPEG-2 and 2.5.
    const std::size_t overlap = layout.format.mpeg1 ? 1 : 2;
    if (holdsFirst > 0) {
        // The first of them, and the frames its main data begins in.
        first = holdsFirst > overlap ? holdsFirst - overlap : 0;
        int reach = layout.frames[first].mainDataBegin;
        while (reach > 0 && first > 0) {
            --first;
            reach -= layout.frames[first].mainDataBytes;
        }
    }
    CopyPlan plan;
    plan.first = first;
    plan.end = std::size_t((to - 1) / spf) + 1;
    plan.skip = int(from - std::int64_t(first) * spf);
    plan.padding = int(std::int64_t(plan.end) * spf - to);
    if (first == 0 && plan.skip < kDecoderDelay) {
        plan.silentFrame = true;
        plan.skip += int(spf);
    }
    if (plan.tagDelay() < 0 || plan.tagDelay() > kMaxTagField || plan.tagPadding() > kMaxTagField)
        return std::nullopt;
    return plan;
}

} // namespace transcoder::mp3
