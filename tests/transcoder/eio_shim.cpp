// Preloaded into the transcoder by the read-error test: read() on a file whose name holds ".eio."
// fails with EIO past its first 64 KiB, as a failing disk or a dropped network share would.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const auto realRead = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    constexpr off_t kGoodBytes = 64 * 1024;
    char link[32], path[4096] = {};
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const off_t at = readlink(link, path, sizeof path - 1) > 0 && std::strstr(path, ".eio.")
                         ? lseek(fd, 0, SEEK_CUR)
                         : -1;
    if (at >= kGoodBytes) {
        errno = EIO;
        return -1;
    }
    return realRead(fd, buffer, at >= 0 ? std::min(count, size_t(kGoodBytes - at)) : count);
}
