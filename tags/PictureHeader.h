#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// What a cover picture's own structure says of it, read without decoding its
// pixels: the size it declares, and whether it is whole. The bytes come from
// any file a user picks, so every length in them is checked against what is
// there; nothing is allocated and the walk is linear in the bytes.
namespace tags {

struct PictureSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    bool operator==(const PictureSize&) const = default;
};

// A JPEG: its segments from the start through a frame header to the scans and
// the end marker. nullopt when any of them is cut short or malformed, or the
// frame declares no pixels. Bytes after the end marker are ignored.
std::optional<PictureSize> jpegSize(std::string_view bytes);

// A PNG: its chunks from the header through the image data to the end chunk,
// each with a matching checksum. nullopt when any is cut short or damaged, or
// the header declares no pixels. Bytes after the end chunk are ignored.
std::optional<PictureSize> pngSize(std::string_view bytes);

} // namespace tags
