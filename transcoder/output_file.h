// A temporary file beside the target that becomes the target only when commit() is called, so
// a failed run never leaves a half-written output and never touches an existing file.
#pragma once

#include <string>

namespace transcoder {

class TemporaryOutput {
public:
    // Checks that the target's folder exists and is writable, and creates
    // "<folder>/.<name>.part-XXXXXX". Throws std::runtime_error with a readable message.
    explicit TemporaryOutput(const std::string& target);
    ~TemporaryOutput(); // removes the temporary unless committed
    TemporaryOutput(const TemporaryOutput&) = delete;
    TemporaryOutput& operator=(const TemporaryOutput&) = delete;

    const std::string& path() const { return path_; }
    // Renames the temporary onto the target (replacing it atomically); throws on failure.
    void commit();

private:
    std::string target_;
    std::string path_;
    bool committed_ = false;
};

// Removes the temporary of the run in progress, if any; safe to call from a signal handler.
void removeTemporaryOnSignal();

} // namespace transcoder
