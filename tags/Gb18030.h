#pragma once

#include <cstddef>
#include <string_view>

// Character boundaries of the code page, GB18030: a character is one byte
// (below 0x81), two bytes (lead 0x81..0xFE, trail 0x40..0x7E or 0x80..0xFE) or
// four bytes (lead, 0x30..0x39, 0x81..0xFE, 0x30..0x39). A byte that starts no
// valid sequence counts as a character of its own, so that any bytes can be cut.
namespace tags {

// Bytes of the character that starts at pos (pos < text.size()).
std::size_t gb18030CharSize(std::string_view text, std::size_t pos);

// Bytes of the longest beginning of text that has at most limit bytes and
// ends on a character boundary.
std::size_t gb18030Cut(std::string_view text, std::size_t limit);

// Bytes of the first count characters of text (all of it when it is shorter).
std::size_t gb18030Chars(std::string_view text, std::size_t count);

} // namespace tags
