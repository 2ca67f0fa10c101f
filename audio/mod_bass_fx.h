// The tempo-stream calls of the audio layer. The tempo stream is a pass-through wrapper over a
// decoding stream; no tempo is ever changed.
#pragma once

#include "audio/mod_bass.h"

inline constexpr DWORD BASS_FX_FREESOURCE = 0x10000;

// Version 2.4 in the high word.
DWORD BASS_FX_GetVersion();
// A playable stream over the decoding stream chan; with BASS_FX_FREESOURCE it frees chan with
// itself. 0 when chan is not a decoding stream.
HSTREAM BASS_FX_TempoCreate(DWORD chan, DWORD flags);
