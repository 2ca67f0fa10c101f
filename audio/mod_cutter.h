// Turns any input file into a WAV file by a run of the shipped transcoder (cutter/coder_run.h):
// the WAV file and the companions the transcoder keeps beside it (audio/converted_files.h).
#pragma once

#include "cutter/mod_shell32.h"

#include <QString>

#include <cstdint>

// Runs the transcoder on inputPath and writes outputPath as 16-bit PCM WAV. Returns the
// transcoder's exit code (0 on success) and puts its last line of standard error into errorLine;
// a run that did not succeed leaves no temporary behind.
// Throws std::runtime_error before anything runs when a path cannot be passed on or codec.dll
// is missing, and when coder.exe cannot be removed afterwards.
std::int32_t ConvertToWav(QString inputPath, QString outputPath, QString* errorLine = nullptr,
                          const ShellProgress& onProgress = {});
