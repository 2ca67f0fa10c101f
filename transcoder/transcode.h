// One run of the transcoder: decode the input, keep the asked-for stretch, convert it to the
// output's rate, channels and sample format, and write it through a temporary file.
#pragma once

#include "transcoder/options.h"

#include <iosfwd>

namespace transcoder {

// Carries out the request. Notes on changed values go to `notes`, one line each. Throws
// std::runtime_error with the one-line reason when the run fails; no output is left then.
void transcode(const Request& request, std::ostream& notes);

} // namespace transcoder
