// The record a conversion leaves beside its WAV output ("temp.wav" -> "temp.wav.source") when
// its input is a constant-bit-rate MP3: where that file is, how it was when converted, what its
// stream is, and which WAV it belongs to. An export of that WAV reads it to cut the MP3's own
// frames instead of encoding again; a record that is missing, damaged or out of date means the
// export encodes as usual.
//
// The file is text, one field a line, numbers in decimal:
//   Quillet source 1
//   path N              then the N bytes of the absolute path (any bytes) and a line break
//   size BYTES          the source's size at the conversion
//   mtime NS            its modification time, nanoseconds on the file system's clock
//   mpeg BITS RATE CH   bit rate (bit/s), sample rate (Hz), channels
//   wav BYTES HASH      the WAV's size and a hash of its first MiB
//   check HASH          FNV-1a 64 of every byte before this line, 16 hex digits
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace transcoder {

struct SourceRecord {
    std::string path;
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    int bitRate = 0;
    int sampleRate = 0;
    int channels = 0;
    std::int64_t wavBytes = 0;
    std::uint64_t wavHash = 0;
    bool operator==(const SourceRecord&) const = default;
};

// "temp.wav" -> "temp.wav.source"
std::string sourceRecordPath(const std::string& wavPath);

std::string encodeSourceRecord(const SourceRecord& record);
// Nothing unless the bytes are one whole, undamaged record.
std::optional<SourceRecord> decodeSourceRecord(std::string_view bytes);

// A file's size and modification time; nothing when it cannot be looked at.
struct FileStamp {
    std::int64_t size = 0;
    std::int64_t mtimeNs = 0;
    bool operator==(const FileStamp&) const = default;
};
std::optional<FileStamp> fileStamp(const std::string& path);
// The WAV's size and the hash of its first MiB; nothing when it cannot be read.
std::optional<std::pair<std::int64_t, std::uint64_t>> wavIdentity(const std::string& wavPath);

// Writes the record beside the WAV through a temporary renamed into place; false on failure
// (nothing is left then).
bool writeSourceRecord(const std::string& wavPath, const SourceRecord& record);
// Removes the record beside the WAV, if any.
void removeSourceRecord(const std::string& wavPath);
// The record beside the WAV, when there is a sound one.
std::optional<SourceRecord> readSourceRecord(const std::string& wavPath);

// Makes a path absolute against the current folder, byte for byte.
std::string absolutePath(const std::string& path);
// The path as the standard library opens it (the transcoder's paths are UTF-8 on Windows).
std::filesystem::path nativePath(const std::string& path);

} // namespace transcoder
