#include "transcoder/av_error_words.h"

extern "C" {
#include <libavutil/error.h>
}

namespace transcoder {

std::string avErrorWords(int avError) {
    switch (avError) {
    case AVERROR_INVALIDDATA:
        return "its data are damaged";
    case AVERROR_EOF:
        return "it ends too early";
    case AVERROR_PATCHWELCOME:
    case AVERROR(ENOSYS):
        return "it uses a feature this decoder lacks";
    case AVERROR_DECODER_NOT_FOUND:
        return "there is no decoder for its sound";
    case AVERROR_ENCODER_NOT_FOUND:
        return "there is no encoder for this format";
    case AVERROR_DEMUXER_NOT_FOUND:
        return "its format is not one Quillet reads";
    case AVERROR_MUXER_NOT_FOUND:
        return "there is no writer for this format";
    case AVERROR_BUG:
    case AVERROR_BUG2:
    case AVERROR_BUFFER_TOO_SMALL:
        return "the transcoder met a fault of its own";
    default:
        break;
    }
    // FFmpeg's other codes are the system's error numbers, negated.
    if (avError < 0 && AVUNERROR(avError) < 4096)
        return systemErrorWords(AVUNERROR(avError));
    return "an unknown fault";
}

Failure avWriteFailure(const std::string& path, int avError) {
    const int error = avError < 0 && AVUNERROR(avError) < 4096 ? AVUNERROR(avError) : EIO;
    return Failure(writeFailureCode(error),
                   "cannot write '" + path + "': " + avErrorWords(avError));
}

} // namespace transcoder
