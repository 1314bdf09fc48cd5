#pragma once

#include "tags/ID3v2Frame.h"
#include "tags/Text.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The texts of the tag fields, and which frame each one comes from. Reading
// and saving both use this, so that saving knows exactly which texts a caller
// left as they were read.
namespace tags::id3v2 {

// The first seven are the fields every saved tag has a frame for, in that
// order; the others get a frame only when they have a text.
enum class Field {
    Title,
    Artist,
    Album,
    Track,
    Year,
    Genre,
    Comment,
    Disc,
    AlbumArtist,
    Composer,
    Lyrics,
};
constexpr std::size_t FieldCount = 11;

// Leading and trailing bytes of 0x20 and below removed. In UTF-8 these are
// ASCII characters only, so the same cut serves both kinds of text.
std::string trimmed(std::string_view text);
Text trimmed(const Text& text);

// The genre a TCON text names: "(17)" gives "Rock", "(17)Rock" gives "Rock",
// a bare "17" in a v2.4 tag gives "Rock"; any other text stays as it is.
// Names and references are ASCII, the same in legacy bytes and in UTF-8.
std::string genreName(std::string_view text, std::uint8_t major);

// The whole text of a text frame (see decodedText); nullopt for a frame whose
// data is compressed or encrypted.
std::optional<Text> textOf(const Frame& frame);

// A v2.4 genre frame for a v2.3 tag: a bare genre number gets its
// parentheses, "17" becomes "(17)" in ISO-8859-1; other frames stay as they
// are, their encodings too (see reencodedForV23).
Frame genreFrameForV23(Frame tcon);

// A comment ("COMM") or lyrics ("USLT"): encoding byte, language, a
// description and the text.
struct CommentParts {
    Text description;
    Text text;
    std::string language; // the three bytes as stored
};
std::optional<CommentParts> commentOf(const Frame& frame);

// Frames whose texts are legacy texts of the tag when they declare ISO-8859-1:
// the text frames, "TXXX" among them, comments and lyrics.
bool holdsListedTexts(std::string_view id);

// The strings of such a frame when they are legacy bytes, where they stand:
// the data is `head`, the encoding byte, `language` and the strings separated
// by 0x00; a text frame whose first byte is above 3 has no encoding byte, its
// data being all strings. nullopt for other frames, for Unicode, and for data
// we cannot read.
struct LegacyStrings {
    std::string_view head; // the group byte of a grouped frame
    std::string_view language;
    std::vector<std::string_view> strings;
};
std::optional<LegacyStrings> legacyStringsOf(const Frame& frame);

// Fed a tag's frames in order, picks the frame of each field: the first
// readable one of its ID; the year from "TDRC" (its first four characters)
// in a v2.4 tag, else from "TYER"; the comment from the first "COMM" with an
// empty description, failing that from the first "COMM"; the lyrics alike
// from "USLT".
class FieldCollector {
public:
    explicit FieldCollector(std::uint8_t major = 3) : major_(major) {}

    // Whether a frame of this (v2.3) ID may give a field its text.
    static bool isCandidate(std::string_view id);
    void add(const Frame& frame, std::size_t index);

    Text text(Field field) const;
    std::optional<std::size_t> source(Field field) const;
    // The comment comes from a frame with a description (another program's
    // data, which stays as it is).
    bool commentIsDescribed() const;
    // The language and description of the lyrics' frame (empty without one).
    std::string lyricsLanguage() const;
    Text lyricsDescription() const;

private:
    struct Found {
        std::size_t index;
        Text text;
        std::string language;
        Text description;
    };
    const std::optional<Found>& found(Field field) const;
    void addDescribed(Field field, const Frame& frame, std::size_t index);

    std::uint8_t major_;
    std::array<std::optional<Found>, FieldCount> first_;
    std::optional<Found> recorded_;         // TDRC
    std::optional<Found> describedComment_; // first COMM with a description
    std::optional<Found> describedLyrics_;  // first USLT with a description
};

} // namespace tags::id3v2
