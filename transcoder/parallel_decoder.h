// Decodes one audio stream on several threads with output identical, sample for sample, to one
// decoder run over the whole stream. The stream is read once, in order, by a reader thread that
// cuts it into chunks of packets; each chunk is decoded by a decoder of its own that starts a few
// packets early (enough to fill an MP3 bit reservoir and the filter bank's overlap) and drops
// what those packets give. The frames come out in order, with a bounded number of chunks in
// memory. Only codecs for which that is proven exact use it (see parallelPreroll()).
#pragma once

#include "transcoder/av_handles.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct AVCodecParameters;

namespace transcoder {

// Packets a chunk's decoder must see before the chunk for its output to be exact, or nothing
// when the codec must stay on one thread.
std::optional<int> parallelPreroll(int codecId);

class ParallelDecoder {
public:
    // format is read by the decoder's own thread from here on, and must not be used by the
    // caller until the decoder is destroyed. threads >= 1 decoding threads.
    ParallelDecoder(AVFormatContext* format, int streamIndex, int preroll, int threads);
    ~ParallelDecoder();
    ParallelDecoder(const ParallelDecoder&) = delete;
    ParallelDecoder& operator=(const ParallelDecoder&) = delete;

    // The next frame in stream order, or nullptr at the end; valid until the next call. Throws
    // Failure when reading the file failed.
    const AVFrame* next();
    // File position (bytes) of the chunk being handed out.
    std::int64_t position() const { return position_; }

private:
    // A run of decoded samples with the same format, rate and channels, in one block per plane
    // that keeps its capacity when the chunk is used again.
    struct Piece {
        int format = -1;
        int rate = 0;
        int channels = 0;
        std::uint64_t layoutMask = 0;
        int samples = 0;
        std::vector<std::vector<std::uint8_t>> planes;
    };
    struct Chunk {
        std::vector<PacketPtr> packets; // the preroll first
        int preroll = 0;
        std::vector<Piece> pieces;
        int usedPieces = 0;
        std::int64_t position = 0;
        bool decoded = false;
        std::string error; // why it could not be decoded
    };

    void readAll();
    void decodeChunks();
    static void decode(Chunk& chunk, AVCodecContext* decoder, AVFrame* frame);
    static void append(Chunk& chunk, const AVFrame* frame);
    std::shared_ptr<Chunk> spareChunk();

    AVFormatContext* format_;
    int streamIndex_;
    int preroll_;
    std::size_t maxChunks_; // in the queue, the one being handed out included
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::shared_ptr<Chunk>> chunks_; // in stream order, oldest first
    std::size_t nextToDecode_ = 0;              // index into chunks_
    bool readDone_ = false;
    bool stopping_ = false;
    std::string readError_;
    std::vector<std::shared_ptr<Chunk>> spare_; // handed out before, kept for their blocks
    std::shared_ptr<Chunk> current_;            // being handed out
    int currentPiece_ = 0;
    FramePtr view_; // the piece handed out, pointing into its blocks
    std::int64_t position_ = 0;
    std::vector<std::thread> threads_;
};

} // namespace transcoder
