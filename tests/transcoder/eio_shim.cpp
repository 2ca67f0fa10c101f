// Preloaded into the transcoder by the read-error test: read() on a file whose name holds ".eio."
// fails with EIO past its first 64 KiB, as a failing disk or a dropped network share would.
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

extern "C" ssize_t read(int fd, void* buffer, size_t count) {
    using Read = ssize_t (*)(int, void*, size_t);
    static const auto realRead = reinterpret_cast<Read>(dlsym(RTLD_NEXT, "read"));
    constexpr off_t kGoodBytes = 64 * 1024;
    char link[32], path[4096];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = readlink(link, path, sizeof path - 1);
    if (length > 0) {
        path[length] = '\0';
        const off_t at = std::strstr(path, ".eio.") ? lseek(fd, 0, SEEK_CUR) : -1;
        if (at >= kGoodBytes) {
            errno = EIO;
            return -1;
        }
        if (at >= 0 && at + off_t(count) > kGoodBytes)
            count = size_t(kGoodBytes - at);
    }
    return realRead(fd, buffer, count);
}
