#include "transcoder/output_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace transcoder {

namespace {

// The temporary of the run, for the signal handler; one output per process.
char gTemporaryPath[4096] = {};

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

} // namespace

TemporaryOutput::TemporaryOutput(const std::string& target) : target_(target) {
    const std::string folder = folderOf(target);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        throw std::runtime_error("output folder '" + folder + "' does not exist");
    if (::access(folder.c_str(), W_OK | X_OK) != 0)
        throw std::runtime_error("output folder '" + folder + "' is not writable");
    const std::string name = nameOf(target);
    if (name.empty())
        throw std::runtime_error("output '" + target + "' names a folder, not a file");
    if (::stat(target.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
        throw std::runtime_error("output '" + target + "' is a folder");

    std::string pattern = (folder == "/" ? "" : folder) + "/." + name + ".part-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    const int fd = ::mkstemp(buffer.data());
    if (fd < 0)
        throw std::runtime_error("cannot create a file in '" + folder +
                                 "': " + std::strerror(errno));
    // mkstemp makes the file private; give it the permissions a new file normally gets.
    const mode_t mask = ::umask(0);
    ::umask(mask);
    ::fchmod(fd, 0666 & ~mask);
    ::close(fd);
    path_ = buffer.data();
    if (path_.size() < sizeof gTemporaryPath)
        std::memcpy(gTemporaryPath, path_.c_str(), path_.size() + 1);
}

TemporaryOutput::~TemporaryOutput() {
    if (!committed_)
        ::unlink(path_.c_str());
    gTemporaryPath[0] = '\0';
}

void TemporaryOutput::commit() {
    if (std::rename(path_.c_str(), target_.c_str()) != 0)
        throw std::runtime_error("cannot replace '" + target_ + "': " + std::strerror(errno));
    committed_ = true;
    gTemporaryPath[0] = '\0';
}

void removeTemporaryOnSignal() {
    if (gTemporaryPath[0] != '\0')
        ::unlink(gTemporaryPath);
}

} // namespace transcoder
