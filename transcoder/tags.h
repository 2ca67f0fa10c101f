// The tags and front cover that travel from an opened file into its cuts: the fields kept, the
// companion file a conversion leaves beside its WAV output (the WAV itself holds samples only),
// and the tag blocks each output format holds (ID3v2.3 for MP3, LIST INFO for WAV, ASF
// attributes for WMA). Pure functions and plain files, no FFmpeg.
#pragma once

#include "transcoder/output_file.h"

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace transcoder {

enum class TagField {
    Title,
    Artist,
    Album,
    AlbumArtist,
    Date,
    Track,
    Disc,
    Genre,
    Comment,
    Composer
};
constexpr std::size_t kTagFieldCount = 10;

// What travels: text in UTF-8, and the front cover's bytes exactly as the source holds them.
struct Tags {
    std::array<std::string, kTagFieldCount> fields;
    std::string coverMimeType; // "image/jpeg", "image/png"...
    std::string cover;

    std::string& operator[](TagField f) { return fields[static_cast<std::size_t>(f)]; }
    const std::string& operator[](TagField f) const { return fields[static_cast<std::size_t>(f)]; }
    bool empty() const;
    bool operator==(const Tags&) const = default;
};

// FFmpeg's common name of the field ("album_artist"), then the other names sources give it
// (APEv2's "Year", ASF's "WM/Year", ID3v2.2 frames FFmpeg leaves unnamed...); a demuxer's
// dictionary is searched in this order, letter case aside.
const std::vector<std::string_view>& tagNames(TagField field);

// The value as it is kept: valid UTF-8 without control characters other than line breaks and
// tabs, cut at a NUL, blanks trimmed at both ends, at most kMaxTagBytes; nothing when it holds
// nothing worth keeping or is not text at all (a damaged tag).
constexpr std::size_t kMaxTagBytes = 64 * 1024;
std::optional<std::string> keptText(std::string_view value);

// Covers up to this size are carried (a scan at print resolution); larger ones are dropped.
constexpr std::size_t kMaxCoverBytes = 32 * 1024 * 1024;

// APEv2, which FFmpeg reads for other formats but not for MP3. The tag ends the file or lies
// just before an ID3v1 tag. apeTagBytes takes the file's last kApeProbeBytes (or all of a
// shorter file) and tells how many bytes from the end the tag takes, 0 when there is none or
// it is damaged; apeTags reads the fields and the front cover from that many last bytes.
constexpr std::size_t kApeProbeBytes = 32 + 128;
std::size_t apeTagBytes(std::string_view fileEnd);
Tags apeTags(std::string_view fileEnd);

// The companion's name beside a converted WAV: "temp.wav" -> "temp.wav.tags".
std::string companionPath(const std::string& wavPath);

// The companion file, whole. Layout (integers little-endian):
//   "QTAGS\x01\r\n"                         8-byte signature, version 1
//   count                                   u32, the entries that follow
//   count x { name length u32, name, value length u32, value }
//       names: the fields' common names ("title"...), "cover_mime" and "cover"
//   "QTAGSEND"                              8-byte end mark
// Written through a temporary and renamed into place, so a reader sees it whole or not at all.
std::string encodeCompanion(const Tags& tags);
// Nothing when the bytes are not one whole companion (truncated, damaged, another file): the
// cut then simply carries no tags. Unknown names are skipped, values are checked as on reading.
std::optional<Tags> decodeCompanion(std::string_view bytes);

// The companion of a conversion's WAV output, written through a temporary beside it.
class CompanionOutput {
public:
    // Writes the temporary now; nothing when the tags are empty.
    CompanionOutput(const std::string& wavPath, const Tags& tags);
    // Renames the temporary into place or, with no tags, removes an earlier companion so that
    // the new WAV never meets the last file's tags. Throws std::runtime_error on failure.
    void commit();
    // After commit(), when the WAV itself could not be put in place: removes the companion.
    void withdraw();

private:
    std::string target_;
    std::optional<TemporaryOutput> temporary_;
};

// The ID3v2.3 tag an MP3 output starts with: text frames (Latin-1 where the text allows,
// otherwise UTF-16 with a byte-order mark), COMM for the comment, TYER/TDAT for the date, APIC
// for the cover as the front cover. Empty when there is nothing to write.
std::string id3v23Tag(const Tags& tags);

// The "LIST" chunk of type "INFO" a WAV output ends with (INAM, IART, IPRD, ICRD, IGNR, ICMT,
// ITRK), NUL-terminated UTF-8, padded to even sizes. Empty when none of these fields is set.
std::string riffInfoChunk(const Tags& tags);

// The ASF attributes of a WMA output, under the names FFmpeg's ASF muxer expects (it renames
// the common ones: "artist" becomes "Author", "album" "WM/AlbumTitle"...). The cover is not
// among them: the muxer cannot write WM/Picture.
std::vector<std::pair<std::string, std::string>> asfAttributes(const Tags& tags);

} // namespace transcoder
