// Owning handles for the FFmpeg objects the transcoder uses: each a std::unique_ptr whose
// deleter calls the object's own free function. FFmpeg's headers stay in the .cpp files.
#pragma once

#include <memory>
#include <string>

struct AVAudioFifo;
struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace transcoder {

struct InputFormatDeleter {
    void operator()(AVFormatContext* p) const;
};
struct OutputFormatDeleter { // closes the file too, unless the caller supplied it
    void operator()(AVFormatContext* p) const;
};
struct IoContextDeleter { // one from avio_alloc_context, with its buffer
    void operator()(AVIOContext* p) const;
};
struct CodecContextDeleter {
    void operator()(AVCodecContext* p) const;
};
struct FrameDeleter {
    void operator()(AVFrame* p) const;
};
struct PacketDeleter {
    void operator()(AVPacket* p) const;
};
struct SwrDeleter {
    void operator()(SwrContext* p) const;
};
struct FifoDeleter {
    void operator()(AVAudioFifo* p) const;
};
struct AvFreeDeleter { // memory from av_malloc and friends
    void operator()(void* p) const;
};

using InputFormatPtr = std::unique_ptr<AVFormatContext, InputFormatDeleter>;
using OutputFormatPtr = std::unique_ptr<AVFormatContext, OutputFormatDeleter>;
using IoContextPtr = std::unique_ptr<AVIOContext, IoContextDeleter>;
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextDeleter>;
using FramePtr = std::unique_ptr<AVFrame, FrameDeleter>;
using PacketPtr = std::unique_ptr<AVPacket, PacketDeleter>;
using SwrPtr = std::unique_ptr<SwrContext, SwrDeleter>;
using FifoPtr = std::unique_ptr<AVAudioFifo, FifoDeleter>;
using AvBufferPtr = std::unique_ptr<unsigned char, AvFreeDeleter>;

FramePtr makeFrame();   // throws std::bad_alloc
PacketPtr makePacket(); // throws std::bad_alloc

} // namespace transcoder
