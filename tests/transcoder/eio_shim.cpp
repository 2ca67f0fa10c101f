// Preloaded into the transcoder by the tests to cause faults no real file gives: read() on a file
// whose name holds ".eio." fails with EIO past its first 64 KiB, as a failing disk or a dropped
// network share would; pwrite() on a file whose name holds ".full." fails with ENOSPC, as on a
// full disk.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

namespace {
bool named(int fd, const char* mark) {
    char link[32], path[4096] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    return readlink(link, path, sizeof path - 1) > 0 && std::strstr(path, mark);
}
} // namespace

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    static const auto realRead = reinterpret_cast<decltype(&read)>(dlsym(RTLD_NEXT, "read"));
    constexpr off_t kGoodBytes = 64 * 1024;
    const off_t at = named(fd, ".eio.") ? lseek(fd, 0, SEEK_CUR) : -1;
    if (at >= kGoodBytes) {
        errno = EIO;
        return -1;
    }
    return realRead(fd, buffer, at >= 0 ? std::min(count, size_t(kGoodBytes - at)) : count);
}

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    static const auto realWrite = reinterpret_cast<decltype(&pwrite)>(dlsym(RTLD_NEXT, "pwrite"));
    if (named(fd, ".full.")) {
        errno = ENOSPC;
        return -1;
    }
    return realWrite(fd, buffer, count, offset);
}

extern "C" ssize_t pwrite64(int fd, const void* buffer, size_t count, off_t offset) {
    return pwrite(fd, buffer, count, offset);
}
