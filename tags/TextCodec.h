#pragma once

#include "tags/Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The text encodings of ID3v2 frames. Unicode is converted here, between
// UTF-16 and UTF-8; legacy bytes stay as they are, the code page being the
// caller's business.
namespace tags {

enum TextEncoding : std::uint8_t {
    Latin1 = 0,  // kept as bytes: in practice these are code-page bytes
    Utf16 = 1,   // with a byte-order mark; big endian without one
    Utf16BE = 2, // v2.4 only
    Utf8 = 3,    // v2.4 only
};

// Size of the 0x00 terminator of a string in that encoding (1 or 2).
std::size_t terminatorSize(std::uint8_t encoding);

// Position of the terminator of the string that starts at pos, or npos.
std::size_t findTerminator(std::string_view bytes, std::size_t pos, std::uint8_t encoding);

// The strings of a list separated by terminators (one piece when there is none).
std::vector<std::string_view> splitStrings(std::string_view bytes, std::uint8_t encoding);

// Well-formed UTF-8: no overlong form, no surrogate, nothing beyond U+10FFFF.
bool isUtf8(std::string_view bytes);
bool isAscii(std::string_view bytes);

// Bytes of the first count characters of UTF-8 text (all of it when shorter).
std::size_t utf8Chars(std::string_view text, std::size_t count);

// The encoding strings declared in `declared` are read in: UTF-8 bytes that
// are no UTF-8 (some programs write code-page bytes there) and unknown
// encodings are legacy bytes.
std::uint8_t readEncoding(std::string_view bytes, std::uint8_t declared);

// The text of a list of strings, the strings separated by single 0x00 bytes.
// Legacy bytes (see readEncoding) stay as they are; UTF-16 and UTF-16BE give
// UTF-8, each string's byte-order mark heeded and dropped, a lone surrogate
// and an odd last byte left out; UTF-8 gives itself less byte-order marks.
Text decodedText(std::string_view bytes, std::uint8_t declared);

struct EncodedStrings {
    std::uint8_t encoding = Latin1;
    std::string bytes;
};

// Strings in the one encoding a frame gives them all, as this program writes
// them: legacy bytes, and Unicode that is ASCII throughout, under 0x00 as they
// are, separated by 0x00; other Unicode under 0x01 as UTF-16LE, each string
// with a byte-order mark, separated by 00 00 (an empty last string is its
// terminator only). nullopt for Unicode that is not UTF-8.
std::optional<EncodedStrings> encodedStrings(const std::vector<std::string>& strings, bool unicode);

// One string (no terminator) of UTF-8 or UTF-16BE as UTF-16 with a byte-order
// mark, the only Unicode form ID3v2.3 knows. Empty text gives empty bytes;
// nullopt for UTF-8 that is not.
std::optional<std::string> toUtf16WithBom(std::string_view bytes, std::uint8_t encoding);

} // namespace tags
