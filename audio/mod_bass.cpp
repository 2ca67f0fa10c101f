#include "audio/mod_bass.h"

#include "audio/audio_output.h"
#include "audio/mod_bass_fx.h"
#include "audio/position_clock.h"
#include "audio/wav_file.h"

#include <QFile>

#include <cmath>
#include <map>

namespace {
constexpr DWORD kVersion = 0x02040000;
constexpr QWORD kInvalid = ~QWORD(0);

// Hands the PCM of the data chunk to the output, from the read position on.
class PcmSource final : public QIODevice {
public:
    PcmSource(const QString& path, const WavInfo& info) : m_file(path), m_info(info) {
        m_file.open(QIODevice::ReadOnly);
        // Unbuffered: QIODevice's own read-ahead would count bytes as handed over that the output
        // never took, and hand out stale data after a seek.
        open(QIODevice::ReadOnly | QIODevice::Unbuffered);
    }
    qint64 readBytes() const { return m_readBytes; }
    void setReadBytes(qint64 bytes) { m_readBytes = bytes; }
    // Nothing at or after this byte of the data is handed out.
    qint64 endBytes() const { return m_endBytes; }
    void setEndBytes(qint64 bytes) {
        m_endBytes = std::clamp<qint64>(bytes, 0, m_info.dataLengthBytes);
    }
    bool atData() const { return m_file.isOpen(); }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override {
        return std::max<qint64>(m_endBytes - m_readBytes, 0) + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        const qint64 want = std::min(maxSize, m_endBytes - m_readBytes);
        if (want <= 0 || !m_file.seek(m_info.dataOffsetBytes + m_readBytes))
            return 0;
        const qint64 got = m_file.read(data, want);
        if (got > 0)
            m_readBytes += got;
        return std::max<qint64>(got, 0);
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QFile m_file;
    WavInfo m_info;
    qint64 m_readBytes = 0;
    qint64 m_endBytes = m_info.dataLengthBytes;
};

struct Channel {
    WavInfo info;
    std::unique_ptr<PcmSource> source;
    DWORD state = BASS_ACTIVE_STOPPED;
    // Where playback stands while not playing, and where the current run started.
    qint64 positionBytes = 0;
    bool playable = false;
    DWORD sourceHandle = 0;
    PositionClock clock;
};

struct Layer {
    std::unique_ptr<AudioOutput> output;
    std::map<DWORD, std::shared_ptr<Channel>> channels;
    DWORD nextHandle = 1;
    AudioOutputFactory factory;
    DWORD playing = 0;
};

Layer& layer() {
    static Layer l;
    return l;
}

std::shared_ptr<Channel> find(DWORD handle) {
    auto it = layer().channels.find(handle);
    return it == layer().channels.end() ? nullptr : it->second;
}

QAudioFormat formatOf(const WavInfo& info) {
    QAudioFormat format;
    format.setSampleRate(info.sampleRate);
    format.setChannelCount(info.channels);
    format.setSampleFormat(QAudioFormat::Int16);
    return format;
}

qint64 heardBytes(Channel& channel) {
    if (channel.state != BASS_ACTIVE_PLAYING || !layer().output)
        return channel.positionBytes; // stopped, or held exactly where Pause found it
    const AudioOutput& output = *layer().output;
    const qint64 read = channel.source->readBytes();
    const qint64 outputBytes = std::clamp<qint64>(
        read - output.bufferedBytes(), channel.positionBytes, channel.info.dataLengthBytes);
    return channel.clock.heard(outputBytes, std::min<qint64>(read, channel.info.dataLengthBytes),
                               output.clockNs(),
                               qint64(channel.info.sampleRate) * channel.info.bytesPerFrame(),
                               channel.info.bytesPerFrame());
}

// Starts the clock afresh from the position the channel stands at.
void restartClock(Channel& channel) {
    channel.clock.restart(channel.positionBytes);
}

void stopOutput(Channel& channel) {
    if (layer().output && channel.state != BASS_ACTIVE_STOPPED)
        layer().output->stop();
    channel.state = BASS_ACTIVE_STOPPED;
    layer().playing = 0;
}

// The end of the data, or the end position set on the channel: everything up to it was handed
// over and nothing is left to be heard.
void noticeEnd(Channel& channel) {
    if (channel.state != BASS_ACTIVE_PLAYING)
        return;
    const qint64 end = channel.source->endBytes();
    if (channel.source->readBytes() >= end && layer().output->bufferedBytes() == 0) {
        channel.positionBytes = end;
        stopOutput(channel);
    }
}

void startAt(DWORD handle, Channel& channel, qint64 bytes) {
    if (layer().playing && layer().playing != handle)
        if (auto other = find(layer().playing))
            BASS_ChannelStop(layer().playing);
    channel.positionBytes = bytes;
    restartClock(channel);
    channel.source->setReadBytes(bytes);
    layer().output->start(channel.source.get(), formatOf(channel.info));
    channel.state = BASS_ACTIVE_PLAYING;
    layer().playing = handle;
}
} // namespace

DWORD BASS_GetVersion() {
    return kVersion;
}
DWORD BASS_FX_GetVersion() {
    return kVersion;
}

void setAudioOutputFactory(AudioOutputFactory factory) {
    layer().factory = std::move(factory);
}

bool BASS_Init(int, DWORD, DWORD, void*, const void*) {
    BASS_Free();
    layer().output = layer().factory ? layer().factory() : makeDefaultAudioOutput();
    return layer().output != nullptr;
}

bool BASS_Free() {
    if (layer().output)
        layer().output->stop();
    layer().channels.clear();
    layer().playing = 0;
    const bool wasOpen = layer().output != nullptr;
    layer().output.reset();
    return wasOpen;
}

HSTREAM BASS_StreamCreateFile(bool, const QString& file, QWORD, QWORD, DWORD flags) {
    if (!layer().output)
        return 0;
    const auto info = readWavInfo(file);
    if (!info)
        return 0;
    auto channel = std::make_shared<Channel>();
    channel->info = *info;
    channel->source = std::make_unique<PcmSource>(file, *info);
    if (!channel->source->atData())
        return 0;
    channel->playable = (flags & BASS_STREAM_DECODE) == 0;
    const DWORD handle = layer().nextHandle++;
    layer().channels[handle] = std::move(channel);
    return handle;
}

HMUSIC BASS_MusicLoad(bool, const QString&, QWORD, DWORD, DWORD, DWORD) {
    return 0;
}

HSTREAM BASS_FX_TempoCreate(DWORD chan, DWORD flags) {
    auto source = find(chan);
    // A decoding stream feeds one wrapper only: its data went to the first one.
    if (!source || source->playable || !source->source)
        return 0;
    auto tempo = std::make_shared<Channel>();
    tempo->info = source->info;
    tempo->source = std::move(source->source);
    tempo->playable = true;
    tempo->sourceHandle = (flags & BASS_FX_FREESOURCE) ? chan : 0;
    const DWORD handle = layer().nextHandle++;
    layer().channels[handle] = std::move(tempo);
    return handle;
}

bool BASS_StreamFree(HSTREAM handle) {
    auto channel = find(handle);
    if (!channel)
        return false;
    stopOutput(*channel);
    if (channel->sourceHandle)
        layer().channels.erase(channel->sourceHandle);
    layer().channels.erase(handle);
    return true;
}

bool BASS_MusicFree(HMUSIC) {
    return false;
}

bool BASS_ChannelPlay(DWORD handle, bool restart) {
    auto channel = find(handle);
    if (!channel || !channel->playable || !layer().output)
        return false;
    noticeEnd(*channel);
    if (restart) {
        stopOutput(*channel);
        startAt(handle, *channel, 0);
    } else if (channel->state == BASS_ACTIVE_PAUSED) {
        layer().output->resume();
        restartClock(*channel);
        channel->state = BASS_ACTIVE_PLAYING;
    } else if (channel->state == BASS_ACTIVE_STOPPED) {
        // A stream that played to its end starts again from the beginning.
        const qint64 from =
            channel->positionBytes >= channel->source->endBytes() ? 0 : channel->positionBytes;
        startAt(handle, *channel, from);
    }
    return true;
}

bool BASS_ChannelPause(DWORD handle) {
    auto channel = find(handle);
    if (!channel || channel->state != BASS_ACTIVE_PLAYING)
        return false;
    channel->positionBytes = heardBytes(*channel);
    layer().output->suspend();
    channel->state = BASS_ACTIVE_PAUSED;
    return true;
}

bool BASS_ChannelStop(DWORD handle) {
    auto channel = find(handle);
    if (!channel)
        return false;
    channel->positionBytes = heardBytes(*channel);
    stopOutput(*channel);
    return true;
}

DWORD BASS_ChannelIsActive(DWORD handle) {
    auto channel = find(handle);
    if (!channel)
        return BASS_ACTIVE_STOPPED;
    noticeEnd(*channel);
    return channel->state;
}

QWORD BASS_ChannelGetLength(DWORD handle, DWORD) {
    auto channel = find(handle);
    return channel ? QWORD(channel->info.dataLengthBytes) : kInvalid;
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD) {
    auto channel = find(handle);
    if (!channel)
        return kInvalid;
    noticeEnd(*channel);
    return QWORD(heardBytes(*channel));
}

bool BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD) {
    auto channel = find(handle);
    if (!channel || pos > QWORD(channel->info.dataLengthBytes))
        return false;
    const qint64 bytes = qint64(pos) - qint64(pos) % channel->info.bytesPerFrame();
    if (channel->state == BASS_ACTIVE_STOPPED) {
        channel->positionBytes = bytes;
        return true;
    }
    const bool paused = channel->state == BASS_ACTIVE_PAUSED;
    layer().output->stop();
    startAt(handle, *channel, bytes);
    if (paused) {
        layer().output->suspend();
        channel->state = BASS_ACTIVE_PAUSED;
    }
    return true;
}

bool BASS_ChannelSetEndPosition(DWORD handle, QWORD pos) {
    auto channel = find(handle);
    if (!channel || !channel->source)
        return false;
    // An output that found the old end has stopped asking for data: it starts again where it is.
    const bool ranDry = channel->state != BASS_ACTIVE_STOPPED &&
                        channel->source->readBytes() >= channel->source->endBytes();
    const qint64 length = channel->info.dataLengthBytes;
    const qint64 bytes = pos >= QWORD(length) ? length : qint64(pos);
    channel->source->setEndBytes(bytes - bytes % channel->info.bytesPerFrame());
    if (ranDry)
        BASS_ChannelSetPosition(handle, QWORD(heardBytes(*channel)), BASS_POS_BYTE);
    return true;
}

double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos) {
    auto channel = find(handle);
    if (!channel)
        return -1.0;
    return double(pos) / (double(channel->info.sampleRate) * channel->info.bytesPerFrame());
}

QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double secs) {
    auto channel = find(handle);
    if (!channel || secs < 0)
        return kInvalid;
    const QWORD frames = QWORD(std::floor(secs * channel->info.sampleRate + 1e-9));
    return frames * QWORD(channel->info.bytesPerFrame());
}
