// The audio layer's call surface: a small stand-in for the BASS 2.4 and BASS_FX 2.4 calls the
// window uses. Streams play 16-bit PCM from a WAV file, streamed from disk, to the default output
// device. Positions and lengths are bytes of that PCM. Everything runs on the window thread.
#pragma once

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class AudioOutput;

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using HSTREAM = DWORD;
using HMUSIC = DWORD;

inline constexpr DWORD BASS_POS_BYTE = 0;
inline constexpr DWORD BASS_SAMPLE_LOOP = 0x4;
inline constexpr DWORD BASS_MUSIC_RAMP = 0x200;
inline constexpr DWORD BASS_MUSIC_PRESCAN = 0x20000;
inline constexpr DWORD BASS_STREAM_DECODE = 0x200000;
inline constexpr DWORD BASS_MUSIC_DECODE = BASS_STREAM_DECODE;
inline constexpr DWORD BASS_UNICODE = 0x80000000;

inline constexpr DWORD BASS_ACTIVE_STOPPED = 0;
inline constexpr DWORD BASS_ACTIVE_PLAYING = 1;
inline constexpr DWORD BASS_ACTIVE_STALLED = 2;
inline constexpr DWORD BASS_ACTIVE_PAUSED = 3;

// Version 2.4 in the high word.
DWORD BASS_GetVersion();

// Opens the output device (-1: the default one). Returns false when there is no output device.
bool BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* clsid);
// Releases the output and every stream.
bool BASS_Free();

// A decoding stream over a WAV file of 16-bit PCM; 0 when the file cannot be opened as such.
HSTREAM BASS_StreamCreateFile(bool mem, const QString& file, QWORD offset, QWORD length,
                              DWORD flags);
// Tracker modules are not supported: always 0.
HMUSIC BASS_MusicLoad(bool mem, const QString& file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq);
bool BASS_StreamFree(HSTREAM handle);
bool BASS_MusicFree(HMUSIC handle);

bool BASS_ChannelPlay(DWORD handle, bool restart);
bool BASS_ChannelPause(DWORD handle);
bool BASS_ChannelStop(DWORD handle);
// BASS_ACTIVE_*; BASS_ACTIVE_STOPPED for an unknown handle.
DWORD BASS_ChannelIsActive(DWORD handle);
// Bytes; (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelGetLength(DWORD handle, DWORD mode);
// The byte position being heard; (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
// False (and nothing moves) for a position past the end or an unknown handle.
bool BASS_ChannelSetPosition(DWORD handle, QWORD pos, DWORD mode);
// Playback stops by itself once the byte `pos` is reached, as at the end of the data, and Play
// from there starts again at 0; a position at or past the end ((QWORD)-1) plays to the end again.
// Play Selection's end mark, exact to the sample.
bool BASS_ChannelSetEndPosition(DWORD handle, QWORD pos);
// Seconds; negative for an unknown handle.
double BASS_ChannelBytes2Seconds(DWORD handle, QWORD pos);
// Bytes, rounded down to a whole frame; (QWORD)-1 for an unknown handle.
QWORD BASS_ChannelSeconds2Bytes(DWORD handle, double secs);

// For tests: the factory that BASS_Init uses to make the output (by default a QAudioSink on the
// default device). Returning nullptr makes BASS_Init fail. An empty function restores the default.
using AudioOutputFactory = std::function<std::unique_ptr<AudioOutput>()>;
void setAudioOutputFactory(AudioOutputFactory factory);
