#pragma once

#include <string>
#include <utility>

namespace tags {

// A text of a tag: the bytes of a legacy text (an ID3v2 frame declaring
// ISO-8859-1, in practice some code page), or UTF-8 for a text the tag
// declares Unicode (UTF-16, UTF-16BE, UTF-8).
struct Text {
    std::string bytes;
    bool unicode = false;

    bool operator==(const Text&) const = default;
    bool empty() const { return bytes.empty(); }
};

inline Text legacyText(std::string bytes)
{
    return {std::move(bytes), false};
}

inline Text unicodeText(std::string utf8)
{
    return {std::move(utf8), true};
}

// One legacy string of a tag's frame, as the tag stores it; which code page
// it is in is for the caller to find out.
struct LegacyFrameText {
    std::string frameId;
    std::string bytes;

    bool operator==(const LegacyFrameText&) const = default;
};

} // namespace tags
