#include "transcoder/source_record.h"

#include "transcoder/output_file.h"
#include "transcoder/platform.h"

#include <charconv>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <system_error>
#include <vector>

namespace transcoder {

namespace {

constexpr std::string_view kSignature = "Quillet source 1\n";
constexpr std::size_t kHashedWavBytes = 1 << 20;
constexpr std::size_t kMaxRecordBytes = 64 * 1024;

std::uint64_t fnv1a(std::string_view bytes, std::uint64_t hash = 14695981039346656037ull) {
    for (unsigned char c : bytes)
        hash = (hash ^ c) * 1099511628211ull;
    return hash;
}

std::string hex16(std::uint64_t value) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
    return text;
}

// Reads fields off the front of a record; any surprise fails the whole parse.
class Fields {
public:
    explicit Fields(std::string_view text) : rest_(text) {}
    bool literal(std::string_view word) {
        if (rest_.substr(0, word.size()) != word)
            return false;
        rest_.remove_prefix(word.size());
        return true;
    }
    template <typename T> bool number(T& value, char after) {
        const auto [end, error] = std::from_chars(rest_.data(), rest_.data() + rest_.size(), value);
        if (error != std::errc() || end == rest_.data() || end == rest_.data() + rest_.size() ||
            *end != after)
            return false;
        rest_.remove_prefix(std::size_t(end - rest_.data()) + 1);
        return true;
    }
    bool bytes(std::size_t count, std::string& out) {
        if (rest_.size() < count + 1 || rest_[count] != '\n')
            return false;
        out.assign(rest_.substr(0, count));
        rest_.remove_prefix(count + 1);
        return true;
    }
    std::size_t left() const { return rest_.size(); }

private:
    std::string_view rest_;
};

std::optional<std::string> readSmallFile(const std::string& path, std::size_t limit) {
    std::ifstream in(nativePath(path), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string bytes(limit + 1, '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    bytes.resize(std::size_t(in.gcount()));
    if (bytes.size() > limit || in.bad())
        return std::nullopt;
    return bytes;
}

} // namespace

std::filesystem::path nativePath(const std::string& path) {
#ifdef _WIN32
    return std::filesystem::path(std::u8string(path.begin(), path.end()));
#else
    return std::filesystem::path(path);
#endif
}

std::string absolutePath(const std::string& path) {
    if (!path.empty() && path[0] == '/')
        return path;
#ifdef _WIN32
    std::error_code error;
    const std::u8string text = std::filesystem::absolute(nativePath(path), error).u8string();
    return error ? path : std::string(text.begin(), text.end());
#else
    std::error_code error;
    const std::string folder = std::filesystem::current_path(error).native();
    return error ? path : folder + "/" + path;
#endif
}

std::string sourceRecordPath(const std::string& wavPath) {
    return wavPath + ".source";
}

std::string encodeSourceRecord(const SourceRecord& r) {
    std::string text(kSignature);
    text += "path " + std::to_string(r.path.size()) + "\n" + r.path + "\n";
    text += "size " + std::to_string(r.size) + "\n";
    text += "mtime " + std::to_string(r.mtimeNs) + "\n";
    text += "mpeg " + std::to_string(r.bitRate) + " " + std::to_string(r.sampleRate) + " " +
            std::to_string(r.channels) + "\n";
    text += "wav " + std::to_string(r.wavBytes) + " " + hex16(r.wavHash) + "\n";
    return text + "check " + hex16(fnv1a(text)) + "\n";
}

std::optional<SourceRecord> decodeSourceRecord(std::string_view bytes) {
    const auto check = bytes.rfind("check ");
    if (check == std::string_view::npos || bytes.size() != check + 6 + 16 + 1 ||
        bytes.substr(check + 6) != hex16(fnv1a(bytes.substr(0, check))) + "\n")
        return std::nullopt;
    Fields f(bytes.substr(0, check));
    SourceRecord r;
    std::size_t pathBytes = 0;
    std::string wavHash;
    if (!f.literal(kSignature) || !f.literal("path ") || !f.number(pathBytes, '\n') ||
        !f.bytes(pathBytes, r.path) || !f.literal("size ") || !f.number(r.size, '\n') ||
        !f.literal("mtime ") || !f.number(r.mtimeNs, '\n') || !f.literal("mpeg ") ||
        !f.number(r.bitRate, ' ') || !f.number(r.sampleRate, ' ') || !f.number(r.channels, '\n') ||
        !f.literal("wav ") || !f.number(r.wavBytes, ' ') || !f.bytes(16, wavHash) || f.left() != 0)
        return std::nullopt;
    const auto [end, error] =
        std::from_chars(wavHash.data(), wavHash.data() + wavHash.size(), r.wavHash, 16);
    if (error != std::errc() || end != wavHash.data() + wavHash.size() || r.path.empty())
        return std::nullopt;
    return r;
}

std::optional<FileStamp> fileStamp(const std::string& path) {
    std::error_code error;
    const auto file = nativePath(path);
    const auto size = std::filesystem::file_size(file, error);
    if (error)
        return std::nullopt;
    const auto time = std::filesystem::last_write_time(file, error);
    if (error)
        return std::nullopt;
    return FileStamp{
        std::int64_t(size),
        std::chrono::duration_cast<std::chrono::nanoseconds>(time.time_since_epoch()).count()};
}

std::optional<std::pair<std::int64_t, std::uint64_t>> wavIdentity(const std::string& wavPath) {
    std::ifstream in(nativePath(wavPath), std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string head(kHashedWavBytes, '\0');
    in.read(head.data(), std::streamsize(head.size()));
    head.resize(std::size_t(in.gcount()));
    const auto stamp = fileStamp(wavPath);
    if (in.bad() || !stamp)
        return std::nullopt;
    return std::pair{stamp->size, fnv1a(head)};
}

bool writeSourceRecord(const std::string& wavPath, const SourceRecord& record) {
    try {
        TemporaryOutput temporary(sourceRecordPath(wavPath));
        const std::string text = encodeSourceRecord(record);
        if (!platform::writeAt(temporary.descriptor(), text.data(), text.size(), 0))
            return false;
        temporary.commit();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

void removeSourceRecord(const std::string& wavPath) {
    platform::removeFile(sourceRecordPath(wavPath).c_str());
}

std::optional<SourceRecord> readSourceRecord(const std::string& wavPath) {
    const auto bytes = readSmallFile(sourceRecordPath(wavPath), kMaxRecordBytes);
    return bytes ? decodeSourceRecord(*bytes) : std::nullopt;
}

} // namespace transcoder
