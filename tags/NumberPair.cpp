#include "tags/NumberPair.h"

namespace tags {

namespace {

constexpr std::size_t MaxDigits = 9; // stays below 2^32

std::string_view trimmedSpaces(std::string_view s)
{
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

// A positive number of digits only.
std::optional<std::uint32_t> positive(std::string_view s)
{
    s = trimmedSpaces(s);
    if (s.empty() || s.size() > MaxDigits)
        return std::nullopt;
    std::uint32_t n = 0;
    for (const char c : s) {
        if (c < '0' || c > '9')
            return std::nullopt;
        n = n * 10 + std::uint32_t(c - '0');
    }
    if (n == 0)
        return std::nullopt;
    return n;
}

} // namespace

std::optional<NumberPair> parseNumberPair(std::string_view text)
{
    const std::size_t slash = text.find('/');
    const auto number = positive(text.substr(0, slash));
    if (!number)
        return std::nullopt;
    if (slash == std::string_view::npos)
        return NumberPair{*number, std::nullopt};
    const auto total = positive(text.substr(slash + 1));
    if (!total)
        return std::nullopt;
    return NumberPair{*number, total};
}

std::string formatNumberPair(const NumberPair& pair)
{
    std::string out = std::to_string(pair.number);
    if (pair.total)
        out += "/" + std::to_string(*pair.total);
    return out;
}

std::uint8_t id3v1TrackOf(std::string_view text)
{
    const auto pair = parseNumberPair(text);
    return pair && pair->number <= 255 ? static_cast<std::uint8_t>(pair->number) : 0;
}

} // namespace tags
