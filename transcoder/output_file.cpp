#include "transcoder/output_file.h"

#include "transcoder/failure.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <vector>

namespace transcoder {

namespace {

// The temporaries of the run, for the signal handler: the output and, for a conversion, the
// companion beside it.
constexpr int kSlots = 2;
volatile std::sig_atomic_t gTemporaryFd[kSlots] = {-1, -1};
char gTemporaryPath[kSlots][4096] = {};

constexpr char kPartSuffix[] = ".part-XXXXXX";

// Takes a free slot (-1 when none is, or the path is too long to keep).
int announce(int fd, const std::string& path) {
    for (int slot = 0; slot < kSlots; ++slot) {
        if (gTemporaryFd[slot] >= 0)
            continue;
        if (path.size() >= sizeof gTemporaryPath[slot])
            return -1;
        std::memcpy(gTemporaryPath[slot], path.c_str(), path.size() + 1);
        gTemporaryFd[slot] = fd;
        return slot;
    }
    return -1;
}

void withdraw(int& slot) {
    if (slot >= 0)
        gTemporaryFd[slot] = -1;
    slot = -1;
}

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

Failure writeError(const std::string& path, int error) {
    return Failure(writeFailureCode(error),
                   "cannot write '" + path + "': " + systemErrorWords(error));
}

} // namespace

std::string temporaryName(const std::string& name, std::size_t maxNameBytes) {
    const std::size_t extra = 1 + sizeof kPartSuffix - 1;
    std::size_t keep = name.size();
    if (keep + extra > maxNameBytes) {
        keep = maxNameBytes > extra ? maxNameBytes - extra : 0;
        // Never split a character: back off over UTF-8 continuation bytes.
        while (keep > 0 && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
            --keep;
    }
    return "." + name.substr(0, keep) + kPartSuffix;
}

TemporaryOutput::TemporaryOutput(const std::string& target) : target_(target) {
    const std::string folder = folderOf(target);
    bool isFolder = false;
    if (platform::inspect(folder, &isFolder) != 0 || !isFolder)
        throw Failure(ExitCode::OutputFolderMissing,
                      "output folder '" + folder + "' does not exist");
    if (platform::writableFolderError(folder) != 0)
        throw Failure(ExitCode::OutputFolderNotWritable,
                      "output folder '" + folder + "' is not writable");
    const std::string name = nameOf(target);
    if (name.empty())
        throw Failure(ExitCode::BadOption, "output '" + target + "' names a folder, not a file");
    if (platform::inspect(target, &isFolder) == 0 && isFolder)
        throw Failure(ExitCode::WriteFailed, "output '" + target + "' is a folder");
    // Refused before anything is encoded: the rename at the end would fail.
    if (const std::size_t most = platform::maxNameBytes(folder); name.size() > most)
        throw Failure(ExitCode::NameTooLong, "the name of '" + target + "' is longer than the " +
                                                 std::to_string(most) + " bytes its folder takes");

    pattern_ =
        (folder == "/" ? "" : folder) + "/" + temporaryName(name, platform::maxNameBytes(folder));
    create();
}

TemporaryOutput::~TemporaryOutput() {
    withdraw(slot_);
    // Only our own file: whatever else took the name is not ours to remove.
    if (!committed_ && file_.valid() && platform::sameFile(file_.get(), path_.c_str()))
        platform::removeFile(path_.c_str());
}

void TemporaryOutput::create() {
    std::string path = pattern_;
    platform::FileDescriptor file = platform::createUniqueFile(path);
    if (!file.valid()) {
        const int error = errno;
        throw Failure(writeFailureCode(error), "cannot create a file in '" + folderOf(target_) +
                                                   "': " + systemErrorWords(error));
    }
    file_ = std::move(file);
    path_ = path;
    withdraw(slot_);
    slot_ = announce(file_.get(), path_);
}

// Something else was put under the temporary's name (our file is then nameless): carry our
// bytes over to a new temporary instead of renaming the stranger onto the target.
void TemporaryOutput::reclaim() {
    platform::FileDescriptor old = std::move(file_);
    create();
    std::vector<char> buffer(1 << 20);
    std::int64_t offset = 0;
    while (true) {
        const std::int64_t n = platform::readAt(old.get(), buffer.data(), buffer.size(), offset);
        if (n < 0)
            throw writeError(path_, errno);
        if (n == 0)
            break;
        if (!platform::writeAt(file_.get(), buffer.data(), static_cast<std::size_t>(n), offset))
            throw writeError(path_, errno);
        offset += n;
    }
}

void TemporaryOutput::commit() {
    if (!platform::sameFile(file_.get(), path_.c_str()))
        reclaim();
    withdraw(slot_);
    // Closed before the rename: a late write error must fail the run, and Windows cannot
    // rename an open file.
    if (!file_.close()) {
        const Failure error = writeError(path_, errno);
        platform::removeFile(path_.c_str());
        throw error;
    }
    if (!platform::replaceFile(path_, target_)) {
        const int error = errno;
        platform::removeFile(path_.c_str());
        throw Failure(writeFailureCode(error),
                      "cannot replace '" + target_ + "': " + systemErrorWords(error));
    }
    committed_ = true;
}

void removeTemporaryOnSignal() {
    for (int slot = 0; slot < kSlots; ++slot) {
        const int fd = gTemporaryFd[slot];
        if (fd >= 0 && platform::sameFile(fd, gTemporaryPath[slot]))
            platform::removeFile(gTemporaryPath[slot]);
    }
}

} // namespace transcoder
