#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The texts of a track or disc number: "n" or "n/total".
namespace tags {

struct NumberPair {
    std::uint32_t number = 0;
    std::optional<std::uint32_t> total;

    bool operator==(const NumberPair&) const = default;
};

// "7", "07", " 7 / 12 " and "7/12" are read; spaces around the numbers and
// leading zeros are allowed. Anything else (an empty text, a sign, letters, a
// second slash, a number of more than nine digits, a number or a total of 0)
// is nullopt: the text says no number.
std::optional<NumberPair> parseNumberPair(std::string_view text);

// "n" or "n/total".
std::string formatNumberPair(const NumberPair& pair);

// The ID3v1.1 track byte for a track text: its number when that is 1..255,
// else 0 (none).
std::uint8_t id3v1TrackOf(std::string_view text);

} // namespace tags
