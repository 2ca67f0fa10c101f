// The transcoder's few calls into the operating system, with one source file per platform
// (platform_posix.cpp, platform_windows.cpp). Paths are UTF-8. Failures return false, -1 or an
// invalid descriptor and leave the reason in errno, so callers word the message themselves.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace transcoder::platform {

// An open file descriptor (a CRT descriptor on Windows), closed when the object goes.
class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now so that a late write error (a full disk over NFS) is seen; false on failure.
    bool close();

private:
    int fd_ = -1;
};

// Creates a new file, never an existing one, for reading and writing: the last six characters
// of pathTemplate ("XXXXXX") are replaced by a name nobody holds. The file gets the permissions
// a new file normally gets.
FileDescriptor createUniqueFile(std::string& pathTemplate);

// Writes all bytes at the byte offset, leaving the descriptor's own position alone.
bool writeAt(int fd, const void* data, std::size_t bytes, std::int64_t offset);
// Reads up to bytes at the offset; the count read, 0 at the end, -1 on failure.
std::int64_t readAt(int fd, void* data, std::size_t bytes, std::int64_t offset);
// The file's size in bytes, -1 on failure.
std::int64_t fileSize(int fd);

// True when path itself (not what a link there points to) is the file open as fd. Safe in a
// signal handler.
bool sameFile(int fd, const char* path) noexcept;
// Removes the name; safe in a signal handler.
bool removeFile(const char* path) noexcept;
// Renames from onto to, replacing to in one step.
bool replaceFile(const std::string& from, const std::string& to);

// 0 when path exists (following links), else the reason; folder tells whether it is one.
int inspect(const std::string& path, bool* folder);
// 0 when the file can be read, else the reason.
int readableError(const std::string& path);
// 0 when files can be made in the folder, else the reason.
int writableFolderError(const std::string& folder);
// The longest file name in bytes the folder's file system takes.
std::size_t maxNameBytes(const std::string& folder);
// The processors this process may run on (its affinity, not the machine's count).
int availableCores();

} // namespace transcoder::platform
