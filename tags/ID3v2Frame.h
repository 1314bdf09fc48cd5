#pragma once

#include "tags/Text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The ID3v2 tag as stored: header, tag bytes read on demand, the walk over
// the frames, and frames in the one form this program writes (version 2.3).
namespace tags::id3v2 {

constexpr std::size_t HeaderSize = 10;
// The largest frame read as text; anything larger is skipped by position.
constexpr std::uint32_t MaxTextFrame = 1u << 20;

struct Header {
    std::uint8_t major = 0;
    std::uint8_t flags = 0;
    std::uint64_t declared = 0; // size after the header, each size byte counted whole

    bool unsynchronised() const { return (flags & 0x80) != 0; }
    bool extended() const { return major != 2 && (flags & 0x40) != 0; }
    // The frames of versions 2.2 to 2.4; a v2.2 tag marked compressed has no
    // defined compression and is not read.
    bool readable() const { return major >= 2 && major <= 4 && !(major == 2 && (flags & 0x40)); }
};

// The header of the file's first bytes (at least 10), or nullopt without "ID3".
std::optional<Header> parseHeader(std::string_view first);

// The tag's size in the file, the header (and a v2.4 footer) included; 0 when
// that reaches beyond the end of the file.
std::uint64_t tagSize(const Header& header, std::uint64_t fileSize);

// Undoes unsynchronisation: 0xFF 0x00 becomes 0xFF.
std::string resynchronised(std::string_view bytes);

// The bytes of one tag, offset 0 being the "I" of "ID3": either held whole
// (a resynchronised tag), or read from the file on demand in chunks.
class TagBytes {
public:
    explicit TagBytes(std::string whole);
    TagBytes(int fd, std::string first, std::uint64_t end);

    // The bytes [offset, offset + length), or nullptr when they reach beyond
    // the end or cannot be read. Valid until the next call.
    const char* view(std::uint64_t offset, std::size_t length);
    std::uint64_t end() const { return end_; }

private:
    int fd_ = -1;
    std::string buffer_;
    std::uint64_t base_ = 0;
    std::uint64_t end_ = 0;
};

// The tag's bytes for the walk. v2.2 and v2.3 unsynchronise the tag as a
// whole and count frame sizes after restoring it, so such a tag is read and
// restored whole; others are read on demand (fd -1: `first` holds them all).
// nullopt when reading fails.
std::optional<TagBytes> openTag(int fd, std::string first, const Header& header);

// Where the frames begin, after an extended header. A header whose flag
// announces an extended header where a frame or only padding follows is read
// as the bytes say, with the frames at 10; nullopt when neither the extended
// header nor the bytes at 10 make sense.
std::optional<std::uint64_t> framesBegin(TagBytes& bytes, const Header& header);

struct StoredFrame {
    std::string id;           // three letters (v2.2) or four
    std::uint16_t flags = 0;  // as stored (none in v2.2)
    std::uint64_t offset = 0; // of the data
    std::uint32_t size = 0;   // of the data as stored
};

// Walks frame headers; stops at padding, at a header that is no frame header,
// and at a frame that reaches beyond the end.
class FrameWalker {
public:
    FrameWalker(TagBytes& bytes, std::uint8_t major, std::uint64_t begin);
    bool next(StoredFrame& frame);
    // Where the next frame is due; once next() failed, where the walk stopped.
    std::uint64_t position() const { return pos_; }

private:
    TagBytes& bytes_;
    std::uint8_t major_;
    std::uint64_t pos_;
};

// Whether the bytes from pos, where a walk stopped, to the tag's end hold no
// frame: they are padding, or junk an old tagger left in it. They do hold one
// when a frame ID stands at pos, where the next frame was due, or a whole
// frame header (an ID and a size that fits in the tag) stands anywhere in
// them. Bytes that cannot be read count as a frame.
bool holdsNoFrame(TagBytes& bytes, std::uint8_t major, std::uint64_t pos);

// A frame in version 2.3 form. The text encodings of a frame from a v2.4 tag
// stay as they were until reencodedForV23.
struct Frame {
    std::string id;
    std::uint16_t flags = 0;
    std::string data;

    bool compressed() const { return (flags & 0x0080) != 0; }
    bool encrypted() const { return (flags & 0x0040) != 0; }
    bool grouped() const { return (flags & 0x0020) != 0; }
};

// The version 2.3 ID of a stored frame ID (the v2.4 one for a v2.2 frame only
// v2.4 or iTunes has); empty for a v2.2 frame no later version has.
std::string v23Id(std::string_view storedId, std::uint8_t major);

// The frame in version 2.3 form; nullopt when it cannot be carried over (a
// v2.2 frame that no later version has, data that cannot be converted).
std::optional<Frame> toV23Form(const StoredFrame& stored, std::string_view data,
                               const Header& header);

// Texts in UTF-8 or UTF-16BE, which version 2.3 lacks, become UTF-16 with a
// byte-order mark, in the frames whose layout is known. UTF-8 bytes that are
// no UTF-8 are kept under encoding 0x00, as the legacy bytes they are read as.
Frame reencodedForV23(Frame frame);

// A text frame, encoding 0x00 and the bytes as they are.
Frame textFrame(std::string_view id, std::string_view text);
// A text frame of a field, the text written as encodedStrings writes it;
// nullopt for Unicode that is not UTF-8.
std::optional<Frame> fieldFrame(std::string_view id, const Text& text);
// A comment: "eng", an empty description, the text, written the same way.
std::optional<Frame> commentFrame(const Text& text);
// A comment or lyrics frame ("COMM", "USLT") of a language (three bytes;
// "XXX" for any other), a description and a text, in the text's encoding.
// nullopt for Unicode that is not UTF-8, and for a description that is not
// ASCII in the other kind of text than the text's.
std::optional<Frame> describedFrame(std::string_view id, std::string_view language,
                                    const Text& description, const Text& text);

// Header and data as stored in a version 2.3 tag.
std::string serialized(const Frame& frame);
// Four size bytes of 7 bits each.
std::string syncsafe(std::uint32_t value);

} // namespace tags::id3v2
