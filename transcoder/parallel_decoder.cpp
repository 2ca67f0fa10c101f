#include "transcoder/parallel_decoder.h"

#include "transcoder/av_error_words.h"
#include "transcoder/failure.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

namespace transcoder {

namespace {

// A chunk ends after 300 packets (about eight seconds of MP3) or six seconds of sound, whichever
// comes first: a FLAC packet holds 4096 samples or more, and 24-bit samples decode to four bytes.
constexpr std::size_t kChunkPackets = 300;
constexpr int kChunkSeconds = 6;

} // namespace

std::optional<int> parallelPreroll(int codecId) {
    switch (codecId) {
    case AV_CODEC_ID_MP3: // the bit reservoir reaches back at most 511 bytes, some frames
        return 16;
    case AV_CODEC_ID_FLAC: // every frame stands on its own
        return 0;
    default:
        return std::nullopt;
    }
}

ParallelDecoder::ParallelDecoder(AVFormatContext* format, int streamIndex, int preroll, int threads)
    : format_(format), streamIndex_(streamIndex), preroll_(preroll),
      maxChunks_(static_cast<std::size_t>(threads) + 1), view_(makeFrame()) {
    threads_.emplace_back([this] { readAll(); });
    for (int i = 0; i < threads; ++i)
        threads_.emplace_back([this] { decodeChunks(); });
}

ParallelDecoder::~ParallelDecoder() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void ParallelDecoder::readAll() {
    std::vector<PacketPtr> tail; // the last packets of the chunk before, for the next preroll
    auto chunk = spareChunk();
    const auto hand = [&] {
        std::unique_lock lock(mutex_);
        // The chunk being handed out stays in the queue: one more than the threads keeps every
        // thread decoding while the caller writes.
        changed_.wait(lock, [&] { return stopping_ || chunks_.size() < maxChunks_; });
        if (stopping_)
            return false;
        chunks_.push_back(std::move(chunk));
        changed_.notify_all();
        lock.unlock();
        chunk = spareChunk();
        return true;
    };
    std::string error;
    const AVStream* stream = format_->streams[streamIndex_];
    const int rate = stream->codecpar->sample_rate;
    const std::int64_t chunkLimit = rate > 0 ? std::int64_t{kChunkSeconds} * rate : INT64_MAX;
    std::int64_t chunkSamples = 0;
    while (true) {
        PacketPtr packet = makePacket();
        const int rc = av_read_frame(format_, packet.get());
        if (rc < 0) {
            const int ioError = format_->pb ? format_->pb->error : 0;
            if (ioError < 0 && ioError != AVERROR_EOF)
                error = avErrorWords(ioError);
            else if (rc == AVERROR(EIO))
                error = avErrorWords(rc);
            break;
        }
        if (packet->stream_index != streamIndex_)
            continue;
        if (chunk->packets.empty()) {
            chunkSamples = 0;
            chunk->position = packet->pos;
            chunk->preroll = static_cast<int>(tail.size());
            for (const PacketPtr& earlier : tail)
                chunk->packets.push_back(PacketPtr(av_packet_clone(earlier.get())));
        }
        if (preroll_ > 0) {
            tail.push_back(PacketPtr(av_packet_clone(packet.get())));
            if (tail.size() > static_cast<std::size_t>(preroll_))
                tail.erase(tail.begin());
        }
        if (packet->duration > 0 && rate > 0)
            chunkSamples += av_rescale_q(packet->duration, stream->time_base, AVRational{1, rate});
        chunk->packets.push_back(std::move(packet));
        const bool full =
            chunk->packets.size() - chunk->preroll >= kChunkPackets || chunkSamples >= chunkLimit;
        if (full && !hand())
            return;
    }
    if (!chunk->packets.empty() && !hand())
        return;
    const std::lock_guard lock(mutex_);
    readDone_ = true;
    readError_ = error;
    changed_.notify_all();
}

void ParallelDecoder::decodeChunks() {
    // One decoder a thread, flushed between chunks: a flushed decoder is a fresh one.
    const AVStream* stream = format_->streams[streamIndex_];
    const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
    CodecContextPtr decoder(avcodec_alloc_context3(codec));
    // A decoder that cannot be set up fails the run: its chunks would otherwise come back empty.
    std::string failure;
    int rc =
        decoder ? avcodec_parameters_to_context(decoder.get(), stream->codecpar) : AVERROR(ENOMEM);
    if (rc >= 0) {
        decoder->pkt_timebase = stream->time_base;
        decoder->thread_count = 1;
        rc = avcodec_open2(decoder.get(), codec, nullptr);
    }
    if (rc < 0)
        failure = "cannot decode its audio (" + avErrorWords(rc) + ")";
    FramePtr frame = makeFrame();
    while (true) {
        std::shared_ptr<Chunk> chunk;
        {
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || nextToDecode_ < chunks_.size(); });
            if (stopping_)
                return;
            chunk = chunks_[nextToDecode_++];
        }
        if (failure.empty()) {
            decode(*chunk, decoder.get(), frame.get());
            avcodec_flush_buffers(decoder.get());
        }
        const std::lock_guard lock(mutex_);
        chunk->error = failure;
        chunk->decoded = true;
        changed_.notify_all();
    }
}

void ParallelDecoder::decode(Chunk& chunk, AVCodecContext* decoder, AVFrame* frame) {
    // What the preroll packets give is dropped: frames are told apart by the packet they
    // came from, which the decoder hands on as the frame's pts.
    for (std::size_t i = 0; i < chunk.packets.size(); ++i)
        chunk.packets[i]->pts = static_cast<std::int64_t>(i);
    const auto receive = [&] {
        while (avcodec_receive_frame(decoder, frame) >= 0) {
            if (frame->pts >= chunk.preroll)
                append(chunk, frame);
            av_frame_unref(frame);
        }
    };
    for (const PacketPtr& packet : chunk.packets) {
        avcodec_send_packet(decoder, packet.get()); // damaged data is skipped, as players do
        receive();
    }
    avcodec_send_packet(decoder, nullptr);
    receive();
    chunk.packets.clear();
}

std::shared_ptr<ParallelDecoder::Chunk> ParallelDecoder::spareChunk() {
    const std::lock_guard lock(mutex_);
    if (spare_.empty())
        return std::make_shared<Chunk>();
    std::shared_ptr<Chunk> chunk = std::move(spare_.back());
    spare_.pop_back();
    chunk->packets.clear();
    chunk->preroll = 0;
    chunk->usedPieces = 0;
    chunk->decoded = false;
    chunk->error.clear();
    return chunk;
}

void ParallelDecoder::append(Chunk& chunk, const AVFrame* frame) {
    const int channels = frame->ch_layout.nb_channels;
    const std::uint64_t mask =
        frame->ch_layout.order == AV_CHANNEL_ORDER_NATIVE ? frame->ch_layout.u.mask : 0;
    Piece* piece = chunk.usedPieces ? &chunk.pieces[chunk.usedPieces - 1] : nullptr;
    if (!piece || piece->format != frame->format || piece->rate != frame->sample_rate ||
        piece->channels != channels || piece->layoutMask != mask) {
        if (chunk.usedPieces == static_cast<int>(chunk.pieces.size()))
            chunk.pieces.emplace_back();
        piece = &chunk.pieces[chunk.usedPieces++];
        piece->format = frame->format;
        piece->rate = frame->sample_rate;
        piece->channels = channels;
        piece->layoutMask = mask;
        piece->samples = 0;
    }
    const auto format = static_cast<AVSampleFormat>(frame->format);
    const bool planar = av_sample_fmt_is_planar(format);
    const std::size_t planes = planar ? channels : 1;
    const std::size_t step = av_get_bytes_per_sample(format) * (planar ? 1 : channels);
    piece->planes.resize(planes);
    for (std::size_t p = 0; p < planes; ++p) {
        std::vector<std::uint8_t>& block = piece->planes[p];
        const std::size_t at = piece->samples * step;
        const std::size_t need = at + frame->nb_samples * step;
        // The block keeps its size from earlier use: grown only when short, never cleared.
        if (block.size() < need)
            block.resize(need);
        std::memcpy(block.data() + at, frame->extended_data[p], frame->nb_samples * step);
    }
    piece->samples += frame->nb_samples;
}

const AVFrame* ParallelDecoder::next() {
    while (true) {
        if (current_ && currentPiece_ < current_->usedPieces) {
            Piece& piece = current_->pieces[currentPiece_++];
            AVFrame* view = view_.get();
            av_frame_unref(view);
            view->format = piece.format;
            view->sample_rate = piece.rate;
            view->nb_samples = piece.samples;
            if (piece.layoutMask)
                av_channel_layout_from_mask(&view->ch_layout, piece.layoutMask);
            else
                av_channel_layout_default(&view->ch_layout, piece.channels);
            if (piece.planes.size() > AV_NUM_DATA_POINTERS)
                throw Failure(ExitCode::NoDecoder, "it has more channels than Quillet takes");
            for (std::size_t p = 0; p < piece.planes.size(); ++p)
                view->data[p] = piece.planes[p].data();
            view->extended_data = view->data;
            return view;
        }
        std::unique_lock lock(mutex_);
        if (current_) {
            chunks_.pop_front();
            --nextToDecode_;
            spare_.push_back(std::move(current_));
            changed_.notify_all();
        }
        changed_.wait(lock, [&] {
            return (!chunks_.empty() && chunks_.front()->decoded) || (readDone_ && chunks_.empty());
        });
        if (chunks_.empty()) {
            if (!readError_.empty())
                throw Failure(ExitCode::ReadFailed, readError_);
            return nullptr;
        }
        if (!chunks_.front()->error.empty())
            throw Failure(ExitCode::DamagedHeader, chunks_.front()->error);
        current_ = chunks_.front();
        currentPiece_ = 0;
        position_ = current_->position;
    }
}

} // namespace transcoder
