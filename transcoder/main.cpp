// codec.dll: Quillet's command-line transcoder. Converts any input FFmpeg decodes to the WAV
// the window program reads, and cuts stretches of it into MP3, WMA, WAV or AMR files.
#include "transcoder/failure.h"
#include "transcoder/options.h"
#include "transcoder/output_file.h"
#include "transcoder/transcode.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <exception>
#include <iostream>

extern "C" {
#include <libavutil/log.h>
}

namespace {

int exitWith(transcoder::ExitCode code, const std::string& words) {
    std::cerr << "codec: " << words << std::endl;
    return static_cast<int>(code);
}

void onSignal(int signalNumber) {
    transcoder::removeTemporaryOnSignal();
    std::signal(signalNumber, SIG_DFL);
    std::raise(signalNumber);
}

} // namespace

int main(int argc, char** argv) {
    av_log_set_level(AV_LOG_QUIET);
    for (int s : {SIGINT, SIGTERM, SIGHUP})
        std::signal(s, onSignal);

    const std::vector<std::string> args(argv + 1, argv + argc);
    const transcoder::ParseResult parsed = transcoder::parseArguments(args);
    if (!parsed.request)
        return exitWith(transcoder::ExitCode::BadOption, parsed.error);
    if (parsed.request->help) {
        std::cout << transcoder::usageText();
        return 0;
    }
    // Progress goes to standard output as "progress 0.370" lines, at most ten a second, for the
    // window's status bar; a finished run always ends with "progress 1.000".
    auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
    const auto print = [](double fraction) {
        std::printf("progress %.3f\n", std::clamp(fraction, 0.0, 1.0));
        std::fflush(stdout);
    };
    const auto report = [&last, &print](double fraction) {
        const auto now = std::chrono::steady_clock::now();
        if (now - last < std::chrono::milliseconds(100))
            return;
        last = now;
        print(fraction);
    };
    // Each kind of failure has its exit code, the window's only clue to what went wrong; the
    // line on standard error is the detail it shows after its own sentence.
    try {
        if (transcoder::transcode(*parsed.request, std::cout, report))
            std::printf("%s\n", transcoder::kCopiedLine);
        print(1.0);
    } catch (const transcoder::Failure& failure) {
        return exitWith(failure.code(), failure.what());
    } catch (const std::bad_alloc&) {
        return exitWith(transcoder::ExitCode::OutOfMemory, "there is not enough memory");
    } catch (const std::exception& e) {
        return exitWith(transcoder::ExitCode::Unexpected, e.what());
    }
    return 0;
}
