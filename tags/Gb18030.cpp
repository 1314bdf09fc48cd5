#include "tags/Gb18030.h"

namespace tags {

namespace {
bool inRange(unsigned char b, unsigned char low, unsigned char high)
{
    return b >= low && b <= high;
}
} // namespace

std::size_t gb18030CharSize(std::string_view text, std::size_t pos)
{
    const auto at = [&](std::size_t i) {
        return static_cast<unsigned char>(text[pos + i]);
    };
    const std::size_t left = text.size() - pos;
    if (!inRange(at(0), 0x81, 0xFE) || left < 2)
        return 1;
    if (inRange(at(1), 0x40, 0x7E) || inRange(at(1), 0x80, 0xFE))
        return 2;
    if (left >= 4 && inRange(at(1), 0x30, 0x39) && inRange(at(2), 0x81, 0xFE) &&
        inRange(at(3), 0x30, 0x39))
        return 4;
    return 1;
}

std::size_t gb18030Cut(std::string_view text, std::size_t limit)
{
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t next = pos + gb18030CharSize(text, pos);
        if (next > limit)
            break;
        pos = next;
    }
    return pos;
}

std::size_t gb18030Chars(std::string_view text, std::size_t count)
{
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n)
        pos += gb18030CharSize(text, pos);
    return pos;
}

} // namespace tags
