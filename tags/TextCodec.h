#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The text encodings of ID3v2 frames, and the one conversion this library
// does: between them and the code page (GB18030). Conversion never fails:
// what cannot be converted becomes "?".
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

// Code-page bytes of text in an ID3v2 encoding; terminators between strings
// become single 0x00 bytes. Latin-1 and unknown encodings stay as they are.
std::string toCodePage(std::string_view bytes, std::uint8_t encoding);

// One string (no terminator) of UTF-8 or UTF-16BE as UTF-16 with a byte-order
// mark, the only Unicode form ID3v2.3 knows. Empty text gives empty bytes.
std::string toUtf16WithBom(std::string_view bytes, std::uint8_t encoding);

} // namespace tags
