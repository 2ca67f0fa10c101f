// A temporary file beside the target that becomes the target only when commit() is called, so
// a failed run never leaves a half-written output and never touches an existing file. The file
// is written through the descriptor that created it, never opened again by name, so a link
// put in its place meanwhile receives nothing.
#pragma once

#include "transcoder/platform.h"

#include <cstddef>
#include <string>

namespace transcoder {

// The temporary's name for an output named name: ".<name>.part-XXXXXX", with name cut short
// on a UTF-8 character boundary when the whole would exceed maxNameBytes.
std::string temporaryName(const std::string& name, std::size_t maxNameBytes);

class TemporaryOutput {
public:
    // Checks that the target's folder exists and is writable, and creates the temporary in it.
    // Throws Failure (transcoder/failure.h) with a readable message; a name longer than the
    // folder takes is refused here, before anything is written.
    explicit TemporaryOutput(const std::string& target);
    ~TemporaryOutput(); // removes the temporary unless committed
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    // The open temporary, for reading and writing at any offset.
    int descriptor() const { return file_.get(); }
    const std::string& path() const { return path_; }
    // Renames the temporary onto the target (replacing it atomically); throws on failure.
    void commit();

private:
    void create();
    void reclaim();

    std::string target_;
    std::string pattern_;
    std::string path_;
    platform::FileDescriptor file_;
    int slot_ = -1; // in the signal handler's list
    bool committed_ = false;
};

// Removes the temporaries of the run in progress, if any; safe to call from a signal handler.
void removeTemporaryOnSignal();

} // namespace transcoder
