#include "transcoder/platform.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

namespace transcoder::platform {

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

bool FileDescriptor::close() {
    // close() releases the descriptor even when it reports an error; never retry it.
    return ::close(release()) == 0;
}

FileDescriptor createUniqueFile(std::string& pathTemplate) {
    FileDescriptor fd(::mkstemp(pathTemplate.data()));
    if (!fd.valid())
        return fd;
    // mkstemp makes the file private to its owner; a saved file should read like any other.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd.get(), 0666 & ~mask);
    return fd;
}

bool writeAt(int fd, const void* data, std::size_t bytes, std::int64_t offset) {
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const ssize_t n = ::pwrite(fd, next, bytes, static_cast<off_t>(offset));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        next += n;
        bytes -= static_cast<std::size_t>(n);
        offset += n;
    }
    return true;
}

std::int64_t readAt(int fd, void* data, std::size_t bytes, std::int64_t offset) {
    while (true) {
        const ssize_t n = ::pread(fd, data, bytes, static_cast<off_t>(offset));
        if (n >= 0 || errno != EINTR)
            return n;
    }
}

std::int64_t fileSize(int fd) {
    struct stat info {};
    if (::fstat(fd, &info) != 0)
        return -1;
    return info.st_size;
}

bool sameFile(int fd, const char* path) noexcept {
    struct stat open {};
    struct stat named {};
    return ::fstat(fd, &open) == 0 && ::lstat(path, &named) == 0 && open.st_dev == named.st_dev &&
           open.st_ino == named.st_ino;
}

bool removeFile(const char* path) noexcept {
    return ::unlink(path) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
    return ::rename(from.c_str(), to.c_str()) == 0;
}

int inspect(const std::string& path, bool* folder) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0)
        return errno;
    *folder = S_ISDIR(info.st_mode);
    return 0;
}

int readableError(const std::string& path) {
    return ::access(path.c_str(), R_OK) == 0 ? 0 : errno;
}

int writableFolderError(const std::string& folder) {
    return ::access(folder.c_str(), W_OK | X_OK) == 0 ? 0 : errno;
}

std::size_t maxNameBytes(const std::string& folder) {
    const long limit = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    return limit > 0 ? static_cast<std::size_t>(limit) : NAME_MAX;
}

int availableCores() {
#ifdef __linux__
    cpu_set_t set;
    if (::sched_getaffinity(0, sizeof set, &set) == 0)
        return std::max(1, CPU_COUNT(&set));
#endif
    const long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    return online > 0 ? static_cast<int>(std::min<long>(online, INT_MAX)) : 1;
}

} // namespace transcoder::platform
