#include "tags/PictureHeader.h"

#include <array>
#include <cstddef>

namespace tags {

namespace {

std::uint32_t bigEndian16(std::string_view bytes, std::size_t at)
{
    return std::uint32_t(std::uint8_t(bytes[at])) << 8 | std::uint8_t(bytes[at + 1]);
}

std::uint32_t bigEndian32(std::string_view bytes, std::size_t at)
{
    return bigEndian16(bytes, at) << 16 | bigEndian16(bytes, at + 2);
}

// JPEG markers without a length: the restart markers and TEM.
bool standalone(std::uint8_t marker)
{
    return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7);
}

// The frame headers of every coding process; C4, C8 and CC share the range
// but are tables and a reserved code.
bool frameHeader(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// A frame header's body: precision, height, width, components and three
// bytes per component.
std::optional<PictureSize> frameSize(std::string_view body)
{
    if (body.size() < 6)
        return std::nullopt;
    const PictureSize size{bigEndian16(body, 3), bigEndian16(body, 1)};
    const std::size_t components = std::uint8_t(body[5]);
    if (components == 0 || body.size() < 6 + 3 * components || size.width == 0 || size.height == 0)
        return std::nullopt;
    return size;
}

// Past a scan's entropy-coded bytes, where a stuffed 0xFF 0x00 or a restart
// marker is data: the position of the next marker's 0xFF, or npos at the end.
std::size_t afterScan(std::string_view bytes, std::size_t at)
{
    for (; at + 1 < bytes.size(); ++at) {
        if (std::uint8_t(bytes[at]) != 0xFF)
            continue;
        const auto next = std::uint8_t(bytes[at + 1]);
        if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7))
            return at;
    }
    return std::string_view::npos;
}

std::uint32_t crc32(std::string_view bytes)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t n = 0; n < 256; ++n) {
            std::uint32_t c = n;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) != 0 ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    std::uint32_t c = 0xFFFFFFFFU;
    for (const char byte : bytes)
        c = table[(c ^ std::uint8_t(byte)) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

// The PNG header's body: the size, then bit depth, colour type, compression,
// filter and interlace method, each one of the values the format defines.
std::optional<PictureSize> headerSize(std::string_view body)
{
    if (body.size() != 13)
        return std::nullopt;
    const PictureSize size{bigEndian32(body, 0), bigEndian32(body, 4)};
    const auto depth = std::uint8_t(body[8]);
    const auto colour = std::uint8_t(body[9]);
    const bool depthFits = colour == 0
                               ? depth == 1 || depth == 2 || depth == 4 || depth == 8 || depth == 16
                           : colour == 3 ? depth == 1 || depth == 2 || depth == 4 || depth == 8
                           : colour == 2 || colour == 4 || colour == 6 ? depth == 8 || depth == 16
                                                                       : false;
    constexpr std::uint32_t kLargest = 0x7FFFFFFF;
    if (size.width == 0 || size.height == 0 || size.width > kLargest || size.height > kLargest ||
        !depthFits || body[10] != 0 || body[11] != 0 || std::uint8_t(body[12]) > 1)
        return std::nullopt;
    return size;
}

} // namespace

std::optional<PictureSize> jpegSize(std::string_view bytes)
{
    if (bytes.size() < 2 || std::uint8_t(bytes[0]) != 0xFF || std::uint8_t(bytes[1]) != 0xD8)
        return std::nullopt;
    std::optional<PictureSize> size;
    bool scanned = false;
    std::size_t at = 2;
    while (at < bytes.size()) {
        if (std::uint8_t(bytes[at]) != 0xFF)
            return std::nullopt;
        // Any number of 0xFF may fill before a marker.
        while (at < bytes.size() && std::uint8_t(bytes[at]) == 0xFF)
            ++at;
        if (at == bytes.size())
            return std::nullopt;
        const auto marker = std::uint8_t(bytes[at++]);
        if (marker == 0xD9)
            return scanned ? size : std::nullopt;
        if (standalone(marker))
            continue;
        if (marker == 0x00 || marker == 0xD8 || at + 2 > bytes.size())
            return std::nullopt;
        const std::size_t length = bigEndian16(bytes, at);
        if (length < 2 || length > bytes.size() - at)
            return std::nullopt;
        const std::string_view body = bytes.substr(at + 2, length - 2);
        at += length;
        if (frameHeader(marker)) {
            if (size || !(size = frameSize(body)))
                return std::nullopt;
        } else if (marker == 0xDA) {
            if (!size)
                return std::nullopt;
            scanned = true;
            at = afterScan(bytes, at);
        }
    }
    return std::nullopt;
}

std::optional<PictureSize> pngSize(std::string_view bytes)
{
    constexpr std::string_view kSignature("\x89PNG\r\n\x1A\n", 8);
    if (!bytes.starts_with(kSignature))
        return std::nullopt;
    std::optional<PictureSize> size;
    bool data = false;
    std::size_t at = kSignature.size();
    // Each chunk: its length, its type, the body, a checksum of type and body.
    while (bytes.size() - at >= 12) {
        const std::size_t length = bigEndian32(bytes, at);
        if (length > 0x7FFFFFFF || length > bytes.size() - at - 12)
            return std::nullopt;
        const std::string_view typed = bytes.substr(at + 4, 4 + length);
        if (crc32(typed) != bigEndian32(bytes, at + 8 + length))
            return std::nullopt;
        const std::string_view type = typed.substr(0, 4);
        const std::string_view body = typed.substr(4);
        at += 12 + length;
        if (!size) {
            // The header comes first, and once.
            if (type != "IHDR" || !(size = headerSize(body)))
                return std::nullopt;
        } else if (type == "IHDR") {
            return std::nullopt;
        } else if (type == "IDAT") {
            data = true;
        } else if (type == "IEND") {
            return data ? size : std::nullopt;
        }
    }
    return std::nullopt;
}

} // namespace tags
