#include "transcoder/tags.h"

#include "transcoder/failure.h"
#include "transcoder/platform.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace transcoder {

namespace {

constexpr std::string_view kSignature{"QTAGS\x01\r\n", 8};
constexpr std::string_view kEndMark{"QTAGSEND", 8};
constexpr std::string_view kCoverMimeName = "cover_mime";
constexpr std::string_view kCoverName = "cover";
constexpr std::uint32_t kMaxEntries = 64;
constexpr std::size_t kMaxMimeBytes = 64;

constexpr std::array<TagField, kTagFieldCount> kFields{
    TagField::Title, TagField::Artist, TagField::Album, TagField::AlbumArtist, TagField::Date,
    TagField::Track, TagField::Disc,   TagField::Genre, TagField::Comment,     TagField::Composer};

// The code points of valid UTF-8, or nothing.
std::optional<std::u32string> decodeUtf8(std::string_view text) {
    std::u32string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80                   ? 0
                          : lead >= 0xC2 && lead < 0xE0 ? 1
                          : lead >= 0xE0 && lead < 0xF0 ? 2
                          : lead >= 0xF0 && lead < 0xF5 ? 3
                                                        : -1;
        if (extra < 0 || text.size() - i <= static_cast<std::size_t>(extra))
            return std::nullopt;
        char32_t c = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            if ((next & 0xC0) != 0x80)
                return std::nullopt;
            c = (c << 6) | (next & 0x3F);
        }
        // Overlong forms, surrogates and code points past Unicode's end are not text.
        constexpr char32_t kLeast[] = {0, 0x80, 0x800, 0x10000};
        if (c < kLeast[extra] || (c >= 0xD800 && c < 0xE000) || c > 0x10FFFF)
            return std::nullopt;
        out.push_back(c);
        i += extra + 1;
    }
    return out;
}

void put32le(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}

void put32be(std::string& out, std::uint32_t v) {
    for (int i = 3; i >= 0; --i)
        out.push_back(static_cast<char>(v >> (8 * i)));
}

// A text in one of ID3v2.3's two encodings, with the byte that names it: ISO-8859-1 (0) where
// every letter fits, else UTF-16 with a byte-order mark (1).
struct Id3Text {
    char encoding;
    std::string bytes;
};
Id3Text id3Text(std::string_view utf8) {
    const std::u32string points = decodeUtf8(utf8).value_or(std::u32string());
    if (std::all_of(points.begin(), points.end(), [](char32_t c) { return c < 0x100; }))
        return {0, std::string(points.begin(), points.end())};
    std::string bytes("\xFF\xFE", 2);
    const auto unit = [&bytes](char32_t u) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    };
    for (char32_t c : points) {
        if (c < 0x10000) {
            unit(c);
        } else {
            unit(0xD800 + ((c - 0x10000) >> 10));
            unit(0xDC00 + ((c - 0x10000) & 0x3FF));
        }
    }
    return {1, bytes};
}

// The frame's header; its body of bodyBytes follows.
void id3Frame(std::string& out, const char* id, std::size_t bodyBytes) {
    out.append(id, 4);
    put32be(out, static_cast<std::uint32_t>(bodyBytes));
    out.append(2, '\0'); // no flags
}

void id3TextFrame(std::string& out, const char* id, std::string_view text) {
    if (text.empty())
        return;
    const Id3Text t = id3Text(text);
    id3Frame(out, id, 1 + t.bytes.size());
    out += t.encoding + t.bytes;
}

bool isDigits(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

void riffText(std::string& out, const char* id, std::string_view text) {
    if (text.empty())
        return;
    out.append(id, 4);
    put32le(out, static_cast<std::uint32_t>(text.size() + 1));
    out += text;
    out.push_back('\0');
    if ((text.size() + 1) % 2)
        out.push_back('\0');
}

// Reads little-endian integers and sized strings, failing on anything past the end.
class Reader {
public:
    explicit Reader(std::string_view bytes) : bytes_(bytes) {}
    std::optional<std::string_view> take(std::size_t n) {
        if (n > bytes_.size() - at_)
            return std::nullopt;
        at_ += n;
        return bytes_.substr(at_ - n, n);
    }
    std::optional<std::uint32_t> u32() {
        const auto b = take(4);
        if (!b)
            return std::nullopt;
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i)
            v = (v << 8) | static_cast<unsigned char>((*b)[i]);
        return v;
    }
    std::optional<std::string_view> string() {
        const auto n = u32();
        return n ? take(*n) : std::nullopt;
    }
    bool atEnd() const { return at_ == bytes_.size(); }

private:
    std::string_view bytes_;
    std::size_t at_ = 0;
};

// A picture's MIME type from its first bytes; empty when it is none of the usual kinds.
std::string imageMimeType(std::string_view data) {
    const auto starts = [data](std::string_view magic) {
        return data.substr(0, magic.size()) == magic;
    };
    if (starts("\xFF\xD8\xFF"))
        return "image/jpeg";
    if (starts("\x89PNG\r\n\x1A\n"))
        return "image/png";
    if (starts("GIF87a") || starts("GIF89a"))
        return "image/gif";
    if (starts("BM"))
        return "image/bmp";
    if (starts("RIFF") && data.substr(8, 4) == "WEBP")
        return "image/webp";
    return {};
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

constexpr std::size_t kApeFooterBytes = 32;
constexpr std::uint32_t kApeIsBinary = 1u << 1;
constexpr std::uint32_t kApeTypeMask = 3u << 1;

// Where the APE footer lies in fileEnd: at its end, or before an ID3v1 tag.
std::optional<std::size_t> apeFooterAt(std::string_view fileEnd) {
    for (std::size_t after : {std::size_t{0}, std::size_t{128}}) {
        if (fileEnd.size() < kApeFooterBytes + after)
            break;
        const std::size_t at = fileEnd.size() - after - kApeFooterBytes;
        if (after && fileEnd.substr(fileEnd.size() - 128, 3) != "TAG")
            continue;
        if (fileEnd.substr(at, 8) == "APETAGEX")
            return at;
    }
    return std::nullopt;
}

} // namespace

std::size_t apeTagBytes(std::string_view fileEnd) {
    const auto at = apeFooterAt(fileEnd);
    if (!at)
        return 0;
    Reader footer(fileEnd.substr(*at + 8));
    const auto version = footer.u32(), size = footer.u32();
    if (!version || *version > 2000 || !size || *size < kApeFooterBytes ||
        *size > kMaxCoverBytes + kApeFooterBytes + 64 * kMaxTagBytes)
        return 0;
    return *size + (fileEnd.size() - *at - kApeFooterBytes);
}

Tags apeTags(std::string_view fileEnd) {
    Tags tags;
    const auto at = apeFooterAt(fileEnd);
    if (!at)
        return tags;
    Reader footer(fileEnd.substr(*at + 12));
    const auto size = footer.u32(), count = footer.u32();
    if (!size || !count || *size < kApeFooterBytes || *size - kApeFooterBytes > *at)
        return tags;
    Reader items(fileEnd.substr(*at - (*size - kApeFooterBytes), *size - kApeFooterBytes));
    for (std::uint32_t i = 0; i < std::min(*count, kMaxEntries); ++i) {
        const auto valueBytes = items.u32(), flags = items.u32();
        if (!flags)
            break;
        std::string key;
        for (auto c = items.take(1); c && (*c)[0] != '\0'; c = items.take(1))
            key += (*c)[0];
        const auto value = items.take(*valueBytes);
        if (!value)
            break; // the rest is damaged; what was read stays
        if ((*flags & kApeTypeMask) == kApeIsBinary) {
            // A cover item holds a file name, a NUL and the picture.
            const std::size_t nul = value->find('\0');
            const bool front = sameName(key, "Cover Art (Front)");
            if (nul == std::string_view::npos || !sameName(key.substr(0, 9), "Cover Art") ||
                (!tags.cover.empty() && !front))
                continue;
            const std::string_view picture = value->substr(nul + 1);
            if (const std::string mime = imageMimeType(picture);
                !mime.empty() && picture.size() <= kMaxCoverBytes) {
                tags.coverMimeType = mime;
                tags.cover = picture;
            }
            continue;
        }
        for (TagField f : kFields)
            for (std::string_view name : tagNames(f))
                if (tags[f].empty() && sameName(key, name))
                    tags[f] = keptText(*value).value_or(std::string());
    }
    return tags;
}

bool Tags::empty() const {
    return cover.empty() && std::all_of(fields.begin(), fields.end(),
                                        [](const std::string& f) { return f.empty(); });
}

const std::vector<std::string_view>& tagNames(TagField field) {
    static const std::array<std::vector<std::string_view>, kTagFieldCount> names{{
        {"title"},
        {"artist", "author"},
        {"album", "WM/AlbumTitle"},
        {"album_artist", "album artist", "albumartist", "WM/AlbumArtist"},
        {"date", "year", "WM/Year", "TYER"},
        {"track", "tracknumber", "WM/TrackNumber"},
        {"disc", "discnumber", "WM/PartOfSet", "TPA"},
        {"genre", "WM/Genre"},
        {"comment", "description"},
        {"composer", "WM/Composer", "TCM"},
    }};
    return names[static_cast<std::size_t>(field)];
}

std::optional<std::string> keptText(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    const auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!value.empty() && isBlank(value.front()))
        value.remove_prefix(1);
    while (!value.empty() && isBlank(value.back()))
        value.remove_suffix(1);
    if (value.empty() || value.size() > kMaxTagBytes)
        return std::nullopt;
    const auto points = decodeUtf8(value);
    if (!points || std::any_of(points->begin(), points->end(), [](char32_t c) {
            return (c < 0x20 && c != '\t' && c != '\n' && c != '\r') || c == 0x7F;
        }))
        return std::nullopt;
    return std::string(value);
}

std::string companionPath(const std::string& wavPath) {
    return wavPath + ".tags";
}

std::string encodeCompanion(const Tags& tags) {
    std::vector<std::pair<std::string_view, std::string_view>> entries;
    for (TagField f : kFields)
        if (!tags[f].empty())
            entries.emplace_back(tagNames(f)[0], tags[f]);
    if (!tags.cover.empty()) {
        entries.emplace_back(kCoverMimeName, tags.coverMimeType);
        entries.emplace_back(kCoverName, tags.cover);
    }
    std::string out(kSignature);
    put32le(out, static_cast<std::uint32_t>(entries.size()));
    for (const auto& [name, value] : entries) {
        put32le(out, static_cast<std::uint32_t>(name.size()));
        out += name;
        put32le(out, static_cast<std::uint32_t>(value.size()));
        out += value;
    }
    return out += kEndMark;
}

std::optional<Tags> decodeCompanion(std::string_view bytes) {
    Reader in(bytes);
    const auto count = in.take(kSignature.size()) == kSignature ? in.u32() : std::nullopt;
    if (!count || *count > kMaxEntries)
        return std::nullopt;
    Tags tags;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto name = in.string();
        const auto value = name ? in.string() : std::nullopt;
        if (!value)
            return std::nullopt;
        if (*name == kCoverMimeName)
            tags.coverMimeType = *value;
        else if (*name == kCoverName)
            tags.cover = *value;
        for (TagField f : kFields)
            if (*name == tagNames(f)[0])
                tags[f] = keptText(*value).value_or(std::string());
    }
    if (in.take(kEndMark.size()) != kEndMark || !in.atEnd())
        return std::nullopt;
    const bool mimeIsText = std::all_of(tags.coverMimeType.begin(), tags.coverMimeType.end(),
                                        [](char c) { return c > ' ' && c < 0x7F; });
    if (tags.coverMimeType.empty() || tags.coverMimeType.size() > kMaxMimeBytes || !mimeIsText ||
        tags.cover.size() > kMaxCoverBytes) {
        tags.cover.clear();
        tags.coverMimeType.clear();
    }
    return tags;
}

std::string id3v23Tag(const Tags& tags) {
    constexpr std::size_t kHeaderBytes = 10;
    std::string frames(kHeaderBytes, '\0'); // the tag's header, filled in last
    frames.reserve(kHeaderBytes + 4096 + tags.cover.size());
    id3TextFrame(frames, "TIT2", tags[TagField::Title]);
    id3TextFrame(frames, "TPE1", tags[TagField::Artist]);
    id3TextFrame(frames, "TALB", tags[TagField::Album]);
    id3TextFrame(frames, "TPE2", tags[TagField::AlbumArtist]);
    // ID3v2.3 has no full date: the year goes to TYER and a day of "YYYY-MM-DD" to TDAT (DDMM).
    const std::string& date = tags[TagField::Date];
    if (date.size() >= 4 && isDigits(date.substr(0, 4))) {
        id3TextFrame(frames, "TYER", date.substr(0, 4));
        if (date.size() == 10 && date[4] == '-' && date[7] == '-' && isDigits(date.substr(5, 2)) &&
            isDigits(date.substr(8, 2)))
            id3TextFrame(frames, "TDAT", date.substr(8, 2) + date.substr(5, 2));
    } else {
        id3TextFrame(frames, "TYER", date);
    }
    id3TextFrame(frames, "TRCK", tags[TagField::Track]);
    id3TextFrame(frames, "TPOS", tags[TagField::Disc]);
    id3TextFrame(frames, "TCON", tags[TagField::Genre]);
    id3TextFrame(frames, "TCOM", tags[TagField::Composer]);
    if (const std::string& comment = tags[TagField::Comment]; !comment.empty()) {
        // Language, then an empty description in the text's own encoding, then the text.
        const Id3Text t = id3Text(comment);
        const std::string description =
            t.encoding == 0 ? std::string(1, '\0') : std::string("\xFF\xFE\0\0", 4);
        const std::string body = t.encoding + std::string("eng") + description + t.bytes;
        id3Frame(frames, "COMM", body.size());
        frames += body;
    }
    if (!tags.cover.empty()) {
        // Latin-1, the MIME type, picture type 3 (front cover), an empty description, the bytes.
        const std::string head =
            std::string(1, '\0') + tags.coverMimeType + std::string("\0\x03\0", 3);
        id3Frame(frames, "APIC", head.size() + tags.cover.size());
        frames += head;
        frames += tags.cover;
    }
    if (frames.size() == kHeaderBytes)
        return {};
    const auto size = static_cast<std::uint32_t>(frames.size() - kHeaderBytes); // 7 bits a byte
    std::string header("ID3\x03\0\0", 6); // version 2.3, no flags
    for (int shift : {21, 14, 7, 0})
        header.push_back(static_cast<char>((size >> shift) & 0x7F));
    frames.replace(0, kHeaderBytes, header);
    return frames;
}

std::string riffInfoChunk(const Tags& tags) {
    std::string body;
    riffText(body, "INAM", tags[TagField::Title]);
    riffText(body, "IART", tags[TagField::Artist]);
    riffText(body, "IPRD", tags[TagField::Album]);
    riffText(body, "ICRD", tags[TagField::Date]);
    riffText(body, "IGNR", tags[TagField::Genre]);
    riffText(body, "ICMT", tags[TagField::Comment]);
    riffText(body, "ITRK", tags[TagField::Track]);
    if (body.empty())
        return {};
    std::string chunk("LIST");
    put32le(chunk, static_cast<std::uint32_t>(body.size() + 4));
    return chunk + "INFO" + body;
}

std::vector<std::pair<std::string, std::string>> asfAttributes(const Tags& tags) {
    std::vector<std::pair<std::string, std::string>> out;
    for (TagField f : kFields)
        if (!tags[f].empty())
            // FFmpeg renames every common name but the date to its ASF attribute.
            out.emplace_back(f == TagField::Date ? "WM/Year" : tagNames(f)[0], tags[f]);
    return out;
}

CompanionOutput::CompanionOutput(const std::string& wavPath, const Tags& tags)
    : target_(companionPath(wavPath)) {
    if (tags.empty())
        return;
    temporary_.emplace(target_);
    const std::string bytes = encodeCompanion(tags);
    if (!platform::writeAt(temporary_->descriptor(), bytes.data(), bytes.size(), 0)) {
        const int error = errno;
        throw Failure(writeFailureCode(error),
                      "cannot write '" + temporary_->path() + "': " + systemErrorWords(error));
    }
}

void CompanionOutput::commit() {
    if (temporary_) {
        temporary_->commit();
        return;
    }
    bool folder = false;
    if (platform::inspect(target_, &folder) == 0 && !folder &&
        !platform::removeFile(target_.c_str())) {
        const int error = errno;
        throw Failure(ExitCode::WriteFailed,
                      "cannot remove '" + target_ + "': " + systemErrorWords(error));
    }
}

void CompanionOutput::withdraw() {
    platform::removeFile(target_.c_str());
}

} // namespace transcoder
