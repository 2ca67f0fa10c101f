#include "transcoder/platform.h"

#include <cerrno>
#include <fcntl.h>
#include <io.h>
#include <random>
#include <share.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <windows.h>

namespace transcoder::platform {

namespace {

std::wstring wide(const std::string& utf8) {
    if (utf8.empty())
        return {};
    const int size = static_cast<int>(utf8.size());
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, out.data(), n);
    return out;
}

int errnoFromLastError() {
    switch (::GetLastError()) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    default:
        return EIO;
    }
}

bool identity(HANDLE file, BY_HANDLE_FILE_INFORMATION* info) {
    return file != INVALID_HANDLE_VALUE && ::GetFileInformationByHandle(file, info) != 0;
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (fd_ >= 0)
        ::_close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::_close(fd_);
        fd_ = other.release();
    }
    return *this;
}

bool FileDescriptor::close() {
    return ::_close(release()) == 0;
}

FileDescriptor createUniqueFile(std::string& pathTemplate) {
    static constexpr char kLetters[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    const std::size_t tail = pathTemplate.size() - 6;
    // _O_EXCL makes the creation fail rather than open a file someone else made meanwhile.
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = tail; i < pathTemplate.size(); ++i)
            pathTemplate[i] = kLetters[pick(random)];
        int fd = -1;
        const errno_t rc = ::_wsopen_s(&fd, wide(pathTemplate).c_str(),
                                       _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_NOINHERIT,
                                       _SH_DENYNO, _S_IREAD | _S_IWRITE);
        if (rc == 0)
            return FileDescriptor(fd);
        if (rc != EEXIST) {
            errno = rc;
            return {};
        }
    }
    errno = EEXIST;
    return {};
}

bool writeAt(int fd, const void* data, std::size_t bytes, std::int64_t offset) {
    if (::_lseeki64(fd, offset, SEEK_SET) < 0)
        return false;
    const char* next = static_cast<const char*>(data);
    while (bytes > 0) {
        const unsigned chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<unsigned>(bytes);
        const int n = ::_write(fd, next, chunk);
        if (n < 0)
            return false;
        next += n;
        bytes -= static_cast<std::size_t>(n);
    }
    return true;
}

std::int64_t readAt(int fd, void* data, std::size_t bytes, std::int64_t offset) {
    if (::_lseeki64(fd, offset, SEEK_SET) < 0)
        return -1;
    const unsigned chunk = bytes > (1u << 30) ? (1u << 30) : static_cast<unsigned>(bytes);
    return ::_read(fd, data, chunk);
}

std::int64_t fileSize(int fd) {
    return ::_filelengthi64(fd);
}

bool sameFile(int fd, const char* path) noexcept {
    wchar_t name[MAX_PATH * 4];
    if (::MultiByteToWideChar(CP_UTF8, 0, path, -1, name, MAX_PATH * 4) == 0)
        return false;
    BY_HANDLE_FILE_INFORMATION open{};
    BY_HANDLE_FILE_INFORMATION named{};
    if (!identity(reinterpret_cast<HANDLE>(::_get_osfhandle(fd)), &open))
        return false;
    // The link itself, not what it points to.
    const HANDLE handle = ::CreateFileW(
        name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
        FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    const bool known = identity(handle, &named);
    if (handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
    return known && open.dwVolumeSerialNumber == named.dwVolumeSerialNumber &&
           open.nFileIndexHigh == named.nFileIndexHigh && open.nFileIndexLow == named.nFileIndexLow;
}

bool removeFile(const char* path) noexcept {
    wchar_t name[MAX_PATH * 4];
    return ::MultiByteToWideChar(CP_UTF8, 0, path, -1, name, MAX_PATH * 4) != 0 &&
           ::_wunlink(name) == 0;
}

bool replaceFile(const std::string& from, const std::string& to) {
    if (::MoveFileExW(wide(from).c_str(), wide(to).c_str(),
                      MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0)
        return true;
    errno = errnoFromLastError();
    return false;
}

int inspect(const std::string& path, bool* folder) {
    struct _stat64 info {};
    if (::_wstat64(wide(path).c_str(), &info) != 0)
        return errno;
    *folder = (info.st_mode & _S_IFDIR) != 0;
    return 0;
}

int readableError(const std::string& path) {
    return ::_waccess(wide(path).c_str(), 4) == 0 ? 0 : errno;
}

int writableFolderError(const std::string& folder) {
    return ::_waccess(wide(folder).c_str(), 2) == 0 ? 0 : errno;
}

std::size_t maxNameBytes(const std::string&) {
    // NTFS counts 255 UTF-16 units; a name's UTF-8 bytes are never fewer than those.
    return 255;
}

int availableCores() {
    DWORD_PTR process = 0;
    DWORD_PTR system = 0;
    if (::GetProcessAffinityMask(::GetCurrentProcess(), &process, &system) && process != 0) {
        int count = 0;
        for (; process != 0; process &= process - 1)
            ++count;
        return count;
    }
    return 1;
}

} // namespace transcoder::platform
