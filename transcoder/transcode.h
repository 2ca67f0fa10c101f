// One run of the transcoder: decode the input, keep the asked-for stretch, convert it to the
// output's rate, channels and sample format, and write it through a temporary file.
#pragma once

#include "transcoder/options.h"

#include <functional>
#include <iosfwd>

namespace transcoder {

// How far a run has come, from 0 to 1; called often (once per decoded frame).
using ProgressFn = std::function<void(double fraction)>;

// Carries out the request. Each setting the encoder could not take goes to `notes` as a line
// "substituted <setting> <asked> <used>" (transcoder/exit_codes.h); progress, when given, hears
// how far the run has come. Returns true when an MP3 cut was copied from the source's own frames
// instead of being encoded. Throws Failure (transcoder/failure.h) with the exit code of its kind
// and the one-line reason when the run fails; no output is left then.
bool transcode(const Request& request, std::ostream& notes, const ProgressFn& progress = {});

} // namespace transcoder
