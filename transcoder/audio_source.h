// The input side of a run: opens a file, picks its best audio stream, decodes it frame by frame
// and tells where each frame starts, in samples of the stream's rate. Errors are thrown as
// Failure (transcoder/failure.h) with a message that names the file and the problem.
#pragma once

#include "transcoder/av_handles.h"
#include "transcoder/parallel_decoder.h"

#include <cstdint>
#include <memory>
#include <string>

namespace transcoder {

class AudioSource {
public:
    explicit AudioSource(const std::string& path);

    int sampleRate() const; // Hz, as the decoder reports it
    int channels() const;

    // True when a seek lands on the exact sample (PCM inputs such as WAV); other inputs are
    // decoded from their start, which is exact too but costs the time of what comes before.
    bool seeksExactly() const;
    // Moves to startSample; frames returned afterwards may begin a little before it.
    void seek(std::int64_t startSample);

    // The demuxer and the audio stream's index, for what the file holds besides its audio.
    const AVFormatContext* container() const { return format_.get(); }
    int streamIndex() const { return streamIndex_; }

    // The share of the file read so far, from 0 to 1 (0 when its size is unknown).
    double readFraction() const;

    // The next decoded frame, or nullptr at the end. firstSample receives the index of the
    // frame's first sample. The frame stays valid until the next call.
    const AVFrame* next(std::int64_t& firstSample);

private:
    bool receive();
    // Decodes on every core from here on when the codec allows it exactly; true then.
    bool startParallel();

    std::string path_;
    InputFormatPtr format_;
    CodecContextPtr decoder_;
    PacketPtr packet_;
    FramePtr frame_;
    int streamIndex_ = -1;
    bool draining_ = false;
    bool positionFromPts_ = false;
    std::int64_t position_ = 0; // first sample of the next frame
    std::int64_t fileBytes_ = 0;
    bool started_ = false; // a frame was asked for: the choice of decoding is made
    bool sought_ = false;
    std::unique_ptr<ParallelDecoder> parallel_; // destroyed first: its threads read format_
};

} // namespace transcoder
