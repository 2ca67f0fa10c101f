// MPEG audio Layer III as it lies in a file: frame headers, the side information's
// main_data_begin, the Xing/Info frame with its LAME delay and padding, and the plan of a cut
// made of whole frames that a gapless decoder trims to the exact samples. Pure functions, no
// FFmpeg; the rules for the info frame are those of FFmpeg's MP3 reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

namespace transcoder::mp3 {

// What a gapless decoder adds to the LAME tag's delay: the decoder's own delay of 528 samples
// plus one.
inline constexpr int kDecoderDelay = 529;
// The LAME tag's delay and padding fields are 12 bits each.
inline constexpr int kMaxTagField = 4095;

struct FrameHeader {
    bool mpeg1 = true; // otherwise MPEG-2 or 2.5 (576 samples per frame)
    int bitRate = 0;   // bit/s
    int sampleRate = 0;
    int channels = 0;
    bool crc = false;
    int bytes = 0; // the whole frame, header included

    int samples() const { return mpeg1 ? 1152 : 576; }
    int sideInfoBytes() const {
        return mpeg1 ? (channels == 1 ? 17 : 32) : (channels == 1 ? 9 : 17);
    }
    // Where the frame's main data starts, from its first byte.
    int mainDataOffset() const { return 4 + (crc ? 2 : 0) + sideInfoBytes(); }
};

// The header in the first four bytes when they start a Layer III frame of a known bit rate
// (free format is not taken).
std::optional<FrameHeader> parseHeader(const std::uint8_t* bytes);

// main_data_begin: how many bytes of the frame's main data lie in the frames before it. bytes
// holds at least header.mainDataOffset() bytes.
int mainDataBegin(const std::uint8_t* bytes, const FrameHeader& header);

// The Xing/Info frame at the start of a stream, read as FFmpeg's MP3 reader reads it.
struct InfoTag {
    bool present = false; // a "Xing" or "Info" frame that the reader skips
    bool vbr = false;     // "Xing" rather than "Info"
    std::uint32_t frames = 0;
    std::uint32_t bytes = 0;
    bool gapless = false; // a LAME/Lavf/Lavc tag whose delay and padding count
    int delay = 0;
    int padding = 0;
};
InfoTag parseInfoTag(std::span<const std::uint8_t> frame, const FrameHeader& header);

// The size of the ID3v2 tag at the start of head (header, footer included), 0 when none.
std::size_t id3v2Size(std::span<const std::uint8_t> head);

struct Frame {
    std::int64_t offset = 0;
    int bytes = 0;
    int mainDataBegin = 0;
    int mainDataBytes = 0; // the frame's bytes after its header and side information
};

// A constant-bit-rate Layer III stream: every audio frame with the same version, bit rate,
// sample rate and channel count.
struct Layout {
    FrameHeader format;
    std::vector<Frame> frames; // the audio frames, the info frame left out
    InfoTag info;
    std::int64_t startSkip = 0;  // samples of the raw decode a gapless decoder drops first
    std::int64_t decodedEnd = 0; // the raw decode's index past the last sample it keeps

    std::int64_t decodedSamples() const { return decodedEnd - startSkip; }
};

// Reads up to `bytes` at `offset`; the count read, 0 at the end, -1 on failure.
using ReadAt =
    std::function<std::int64_t(std::int64_t offset, std::uint8_t* to, std::size_t bytes)>;

// The layout of the file, or nothing when it is not one clean CBR Layer III stream: ID3v2 tags
// in front, an optional info frame, the frames back to back, then only ID3v1, APE or Lyrics3
// tags. Anything else (VBR, a damaged or truncated frame, junk, a VBRI header) gives nothing.
std::optional<Layout> scanConstantBitRate(std::int64_t fileBytes, const ReadAt& read);

// A frame of the stream's kind that decodes to silence and leaves a decoder as it found a fresh
// one: no main data, every side information field 0. first4 is the header of a frame of the
// stream.
std::vector<std::uint8_t> silentFrame(const std::uint8_t* first4);

// Frames [first, end) of a layout that decode, in a gapless decoder, to exactly the samples
// [begin, end) of the stream's own decode.
struct CopyPlan {
    std::size_t first = 0;
    std::size_t end = 0;
    bool silentFrame = false; // a silent frame goes in front of the first one
    int skip = 0;             // samples the decoder drops at the start, its own delay included
    int padding = 0;          // samples after the stretch in the last frame
    int tagDelay() const { return skip - kDecoderDelay; }
    int tagPadding() const { return padding + kDecoderDelay; }
};

// In front of the frame holding the first sample: the granules before it whose overlap and
// subband samples its decode needs (one frame in MPEG-1, two in MPEG-2), and the frames their
// bit reservoir reaches back into. A decoder always drops its own delay of 529 samples: a
// stretch that starts closer than that to the start of a stream without a LAME tag gets a
// silent frame in front. Nothing when the stretch is empty after clamping to the stream, or
// when its delay does not fit the tag.
std::optional<CopyPlan> planCopy(const Layout& layout, std::int64_t beginSample,
                                 std::int64_t endSample);

} // namespace transcoder::mp3
