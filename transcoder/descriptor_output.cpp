#include "transcoder/descriptor_output.h"

#include "transcoder/platform.h"

#include <algorithm>
#include <cerrno>
#include <new>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
#include <libavutil/mem.h>
}

namespace transcoder {

DescriptorOutput::DescriptorOutput(int fd) : fd_(fd) {
    constexpr int kBufferBytes = 1 << 16;
    AvBufferPtr buffer(static_cast<unsigned char*>(av_malloc(kBufferBytes)));
    if (!buffer)
        throw std::bad_alloc();
    io_.reset(avio_alloc_context(buffer.get(), kBufferBytes, 1, this, nullptr, &write, &seek));
    if (!io_)
        throw std::bad_alloc();
    buffer.release(); // io_ owns it now
}

int DescriptorOutput::write(void* opaque, std::uint8_t* data, int bytes) {
    auto* self = static_cast<DescriptorOutput*>(opaque);
    if (!platform::writeAt(self->fd_, data, static_cast<std::size_t>(bytes), self->position_))
        return AVERROR(errno);
    self->position_ += bytes;
    self->size_ = std::max(self->size_, self->position_);
    return bytes;
}

std::int64_t DescriptorOutput::seek(void* opaque, std::int64_t offset, int whence) {
    auto* self = static_cast<DescriptorOutput*>(opaque);
    std::int64_t position = 0;
    switch (whence & ~AVSEEK_FORCE) {
    case AVSEEK_SIZE:
        return self->size_;
    case SEEK_SET:
        position = offset;
        break;
    case SEEK_CUR:
        position = self->position_ + offset;
        break;
    case SEEK_END:
        position = self->size_ + offset;
        break;
    default:
        return AVERROR(EINVAL);
    }
    if (position < 0)
        return AVERROR(EINVAL);
    self->position_ = position;
    return position;
}

} // namespace transcoder
