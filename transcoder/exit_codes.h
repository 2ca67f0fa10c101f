// The transcoder's exit codes: 0 for success and one code per kind of failure, 2 and up. The
// transcoder exits with them and the window, which links this header too, turns each into its
// own sentence, so no one ever reads the words of the line on standard error to tell the kind.
// A code keeps its meaning for good: new kinds take new numbers.
#pragma once

namespace transcoder {

enum class ExitCode : int {
    Success = 0,
    BadOption = 2,                // a command line the transcoder does not take
    InputMissing = 3,             // no file under the input's name
    InputNotReadable = 4,         // the file is there but may not be read
    NotAudio = 5,                 // not a media file FFmpeg knows
    NoAudioStream = 6,            // a media file without sound (a picture, a silent video)
    NoDecoder = 7,                // sound in a coding this FFmpeg does not decode
    DamagedHeader = 8,            // a header that declares values no audio has
    NoSound = 9,                  // an audio stream of which not one frame decodes
    ReadFailed = 10,              // the disk or the share failed while the input was read
    TooLong = 11,                 // more audio than a WAV file the window opens may hold
    OutputFolderMissing = 12,     // the output's folder is not there
    OutputFolderNotWritable = 13, // files may not be made in it
    DiskFull = 14,                // the output's disk (or the user's quota) is full
    NameTooLong = 15,             // the output's name is longer than its folder takes
    EmptyStretch = 16,            // -t 00:00:00
    StartPastEnd = 17,            // -ss at or past the end of the input
    WriteFailed = 18,             // writing the output failed otherwise
    NoEncoder = 19,               // this FFmpeg cannot write the format with these settings
    OutOfMemory = 20,             // the system refused memory
    Unexpected = 21,              // a fault of the transcoder itself
};

// What the transcoder writes on standard output besides "progress 0.370": one line per setting
// it had to replace, "substituted <setting> <asked> <used>" with the setting "rate" (Hz),
// "bitrate" (bit/s) or "channels"; and "copied" when an MP3 cut was made from the source's
// frames, without encoding.
inline constexpr char kSubstitutedPrefix[] = "substituted ";
inline constexpr char kCopiedLine[] = "copied";

} // namespace transcoder
