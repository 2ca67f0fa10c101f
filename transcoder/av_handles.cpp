#include "transcoder/av_handles.h"

#include <new>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/mem.h>
#include <libswresample/swresample.h>
}

namespace transcoder {

void InputFormatDeleter::operator()(AVFormatContext* p) const {
    avformat_close_input(&p);
}

void OutputFormatDeleter::operator()(AVFormatContext* p) const {
    if (p->pb && !(p->oformat->flags & AVFMT_NOFILE) && !(p->flags & AVFMT_FLAG_CUSTOM_IO))
        avio_closep(&p->pb);
    avformat_free_context(p);
}

void IoContextDeleter::operator()(AVIOContext* p) const {
    av_freep(&p->buffer);
    avio_context_free(&p);
}

void CodecContextDeleter::operator()(AVCodecContext* p) const {
    avcodec_free_context(&p);
}
void FrameDeleter::operator()(AVFrame* p) const {
    av_frame_free(&p);
}
void PacketDeleter::operator()(AVPacket* p) const {
    av_packet_free(&p);
}
void SwrDeleter::operator()(SwrContext* p) const {
    swr_free(&p);
}
void FifoDeleter::operator()(AVAudioFifo* p) const {
    av_audio_fifo_free(p);
}
void AvFreeDeleter::operator()(void* p) const {
    av_free(p);
}

FramePtr makeFrame() {
    FramePtr frame(av_frame_alloc());
    if (!frame)
        throw std::bad_alloc();
    return frame;
}

PacketPtr makePacket() {
    PacketPtr packet(av_packet_alloc());
    if (!packet)
        throw std::bad_alloc();
    return packet;
}

} // namespace transcoder
