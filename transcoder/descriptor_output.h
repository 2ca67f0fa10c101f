// The muxer's file: an FFmpeg I/O context that writes and seeks through a descriptor it was
// given (never opening the file again by name). The ASF muxer seeks back to patch its header,
// the MP3 muxer to put its Xing/LAME frame first.
#pragma once

#include "transcoder/av_handles.h"

#include <cstdint>

namespace transcoder {

class DescriptorOutput {
public:
    // fd: an empty file open for writing, which stays the caller's to close.
    explicit DescriptorOutput(int fd);
    DescriptorOutput(const DescriptorOutput&) = delete; // the I/O context holds this
    DescriptorOutput& operator=(const DescriptorOutput&) = delete;

    AVIOContext* get() const { return io_.get(); }

private:
    static int write(void* opaque, std::uint8_t* data, int bytes);
    static std::int64_t seek(void* opaque, std::int64_t offset, int whence);

    int fd_;
    std::int64_t position_ = 0;
    std::int64_t size_ = 0; // the file starts empty
    IoContextPtr io_;
};

} // namespace transcoder
