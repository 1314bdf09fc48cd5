#pragma once

#include "tags/TagImage.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The APEv2 tag some MP3 files carry at their end (ReplayGain tools, some
// players): items of a key and a value between an optional 32-byte header and
// a 32-byte footer "APETAGEX", in front of an ID3v1 trailer when there is one.
// It is read only; every write of the other tags keeps its bytes, and it can
// be cut off as a whole (or put back) by a change that holds it
// (tags/TagImage.h).
namespace tags {

constexpr std::size_t ApeFooterSize = 32;
// A tag larger than this is located (and kept) but its items are not loaded.
constexpr std::uint64_t MaxApeTag = 16u << 20;

struct ApeItem {
    std::string key;         // ASCII, 2 to 255 characters
    std::string value;       // UTF-8 text, or the bytes of a binary item
    std::uint32_t flags = 0; // as stored

    // Bits 1-2: 0 UTF-8 text, 1 binary, 2 a link (text), 3 reserved.
    std::uint32_t kind() const { return (flags >> 1) & 3u; }
    bool binary() const { return kind() == 1 || kind() == 3; }
    bool readOnly() const { return (flags & 1u) != 0; }
};

// What a footer (or header) says, once its fields make sense.
struct ApeFooter {
    std::uint32_t version = 0; // 1000 or 2000
    std::uint32_t size = 0;    // items and footer, not the header
    std::uint32_t itemCount = 0;
    std::uint32_t flags = 0;
    bool hasHeader() const { return (flags & 0x80000000u) != 0; }
};

// The 32 bytes as a footer: "APETAGEX", version 1000 or 2000, a size that
// holds at least the footer and the declared items, the "this is the
// header" bit clear, the reserved bytes zero. nullopt for anything else.
std::optional<ApeFooter> parseApeFooter(std::string_view bytes);

struct ApeTag {
    std::uint64_t offset = 0; // of its first byte in the file, header included
    std::uint64_t size = 0;   // header, items and footer
    ApeFooter footer;
    std::string bytes; // the whole tag as stored; empty when over MaxApeTag
    std::vector<ApeItem> items;
    // Every declared item was read, and they fill the tag exactly. False for
    // a tag too large to load, or whose items overrun it.
    bool itemsWhole = false;
};

// Where the tag of an open file of `fileSize` bytes is: its footer is the
// file's last 32 bytes, or the 32 before an ID3v1 trailer; the tag lies
// wholly behind the first `headEnd` bytes (the ID3v2 tag). Items are read
// from the loaded bytes, never beyond the tag. nullopt for none, or when
// the file cannot be read.
std::optional<ApeTag> findApeTag(int fd, std::uint64_t fileSize, std::uint64_t headEnd = 0);
// The same for a file by name.
std::optional<ApeTag> readApeTag(const std::string& path);

// Whether the file's last 32 bytes are an APEv2 footer: then its last 128
// bytes are the end of that tag, not an ID3v1 trailer, whatever they begin with.
bool endsWithApeFooter(int fd, std::uint64_t fileSize);

// Cuts the file's APEv2 tag out of it, through a copy (tags/TagImage.h):
// the file without those bytes, the ID3v1 trailer behind them kept. `removed`,
// when given, gets the tag that went (its bytes put it back with
// spliceStaged). Written with nothing to do when there is none; Failed
// (EFBIG) for a tag too large to load.
WriteOutcome removeApeTag(const std::string& path, ApeTag* removed = nullptr);

// The items stored between header and footer; `whole` tells whether every
// one of the `count` declared was there and they fill the bytes exactly.
std::vector<ApeItem> parseApeItems(std::string_view itemBytes, std::uint32_t count, bool& whole);

} // namespace tags
