#include "tags/TextCodec.h"

#include <algorithm>

namespace tags {

namespace {

constexpr std::string_view BomLE("\xFF\xFE", 2);
constexpr std::string_view BomBE("\xFE\xFF", 2);
constexpr std::string_view BomUtf8("\xEF\xBB\xBF", 3);

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

unsigned byteAt(std::string_view s, std::size_t i)
{
    return static_cast<unsigned char>(s[i]);
}

bool isHighSurrogate(char32_t c)
{
    return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char32_t c)
{
    return c >= 0xDC00 && c <= 0xDFFF;
}

// The character of well-formed UTF-8 at pos, pos moved past it; nullopt (pos
// unchanged) for a sequence that is not.
std::optional<char32_t> nextUtf8(std::string_view s, std::size_t& pos)
{
    const unsigned lead = byteAt(s, pos);
    if (lead < 0x80)
        return char32_t(s[pos++]);
    std::size_t trail = 0;
    char32_t c = 0;
    char32_t least = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        trail = 1, c = lead & 0x1F, least = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        trail = 2, c = lead & 0x0F, least = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        trail = 3, c = lead & 0x07, least = 0x10000;
    } else {
        return std::nullopt;
    }
    if (s.size() - pos <= trail)
        return std::nullopt;
    for (std::size_t i = 1; i <= trail; ++i) {
        const unsigned b = byteAt(s, pos + i);
        if ((b & 0xC0) != 0x80)
            return std::nullopt;
        c = (c << 6) | (b & 0x3F);
    }
    if (c < least || c > 0x10FFFF || isHighSurrogate(c) || isLowSurrogate(c))
        return std::nullopt;
    pos += trail + 1;
    return c;
}

void appendUtf8(std::string& out, char32_t c)
{
    const auto put = [&](unsigned v) {
        out += static_cast<char>(v);
    };
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

void appendUtf16LE(std::string& out, char32_t c)
{
    const auto unit = [&](char32_t u) {
        out += static_cast<char>(u & 0xFF);
        out += static_cast<char>(u >> 8);
    };
    if (c < 0x10000) {
        unit(c);
        return;
    }
    c -= 0x10000;
    unit(0xD800 + (c >> 10));
    unit(0xDC00 + (c & 0x3FF));
}

// One string of UTF-16 as UTF-8. What is no character (a lone surrogate, an
// odd last byte) is left out rather than replaced: a replacement character
// would become part of the text when it is saved again.
std::string utf16ToUtf8(std::string_view s, bool bigEndian)
{
    if (startsWith(s, BomLE) || startsWith(s, BomBE)) {
        bigEndian = s[0] == BomBE[0];
        s.remove_prefix(2);
    }
    const std::size_t units = s.size() / 2;
    const auto unitAt = [&](std::size_t i) {
        const unsigned a = byteAt(s, 2 * i);
        const unsigned b = byteAt(s, 2 * i + 1);
        return char32_t(bigEndian ? (a << 8) | b : (b << 8) | a);
    };
    std::string out;
    out.reserve(s.size() * 3 / 2);
    for (std::size_t i = 0; i < units; ++i) {
        const char32_t u = unitAt(i);
        if (isHighSurrogate(u) && i + 1 < units && isLowSurrogate(unitAt(i + 1))) {
            appendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
            ++i;
        } else if (!isHighSurrogate(u) && !isLowSurrogate(u)) {
            appendUtf8(out, u);
        }
    }
    return out;
}

std::string_view withoutUtf8Bom(std::string_view s)
{
    return startsWith(s, BomUtf8) ? s.substr(BomUtf8.size()) : s;
}

// UTF-16LE of UTF-8, without a byte-order mark; nullopt for bytes that are
// not UTF-8.
std::optional<std::string> utf8ToUtf16LE(std::string_view s)
{
    std::string out;
    out.reserve(s.size() * 2);
    for (std::size_t pos = 0; pos < s.size();) {
        const auto c = nextUtf8(s, pos);
        if (!c)
            return std::nullopt;
        appendUtf16LE(out, *c);
    }
    return out;
}

} // namespace

std::size_t terminatorSize(std::uint8_t encoding)
{
    return encoding == Utf16 || encoding == Utf16BE ? 2 : 1;
}

std::size_t findTerminator(std::string_view bytes, std::size_t pos, std::uint8_t encoding)
{
    if (terminatorSize(encoding) == 1)
        return bytes.find('\0', pos);
    for (std::size_t i = pos; i + 1 < bytes.size(); i += 2) {
        if (bytes[i] == '\0' && bytes[i + 1] == '\0')
            return i;
    }
    return std::string_view::npos;
}

std::vector<std::string_view> splitStrings(std::string_view bytes, std::uint8_t encoding)
{
    std::vector<std::string_view> pieces;
    std::size_t pos = 0;
    for (;;) {
        const std::size_t end = findTerminator(bytes, pos, encoding);
        if (end == std::string_view::npos) {
            pieces.push_back(bytes.substr(pos));
            return pieces;
        }
        pieces.push_back(bytes.substr(pos, end - pos));
        pos = end + terminatorSize(encoding);
    }
}

bool isUtf8(std::string_view bytes)
{
    for (std::size_t pos = 0; pos < bytes.size();) {
        if (!nextUtf8(bytes, pos))
            return false;
    }
    return true;
}

bool isAscii(std::string_view bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

std::size_t utf8Chars(std::string_view text, std::size_t count)
{
    std::size_t pos = 0;
    for (std::size_t n = 0; n < count && pos < text.size(); ++n) {
        if (!nextUtf8(text, pos))
            ++pos;
    }
    return pos;
}

std::uint8_t readEncoding(std::string_view bytes, std::uint8_t declared)
{
    if (declared == Utf16 || declared == Utf16BE || (declared == Utf8 && isUtf8(bytes)))
        return declared;
    return Latin1;
}

Text decodedText(std::string_view bytes, std::uint8_t declared)
{
    const std::uint8_t encoding = readEncoding(bytes, declared);
    if (encoding == Latin1)
        return legacyText(std::string(bytes));
    std::string out;
    bool first = true;
    for (const std::string_view piece : splitStrings(bytes, encoding)) {
        if (!first)
            out += '\0';
        first = false;
        if (encoding == Utf8)
            out += withoutUtf8Bom(piece);
        else
            out += utf16ToUtf8(piece, true);
    }
    return unicodeText(std::move(out));
}

std::optional<EncodedStrings> encodedStrings(const std::vector<std::string>& strings, bool unicode)
{
    const bool ascii = std::all_of(strings.begin(), strings.end(),
                                   [](const std::string& s) { return isAscii(s); });
    EncodedStrings out;
    if (!unicode || ascii) {
        for (std::size_t i = 0; i < strings.size(); ++i)
            out.bytes += (i ? std::string(1, '\0') : std::string()) + strings[i];
        return out;
    }
    out.encoding = Utf16;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const bool last = i + 1 == strings.size();
        if (i)
            out.bytes += std::string(2, '\0');
        if (last && strings[i].empty())
            break;
        const auto utf16 = utf8ToUtf16LE(strings[i]);
        if (!utf16)
            return std::nullopt;
        out.bytes += std::string(BomLE) + *utf16;
    }
    return out;
}

std::optional<std::string> toUtf16WithBom(std::string_view bytes, std::uint8_t encoding)
{
    if (encoding == Utf16BE) {
        if (bytes.empty())
            return std::string();
        const std::string_view even = bytes.substr(0, bytes.size() & ~std::size_t(1));
        const bool hasBom = startsWith(even, BomLE) || startsWith(even, BomBE);
        // Appended rather than added: GCC 12 at -O3 warns falsely (-Wrestrict)
        // on a sum of two temporary strings.
        std::string out = hasBom ? std::string() : std::string(BomBE);
        out.append(even);
        return out;
    }
    // Reading drops a UTF-8 byte-order mark, so the UTF-16 one stands for it.
    const std::string_view text = withoutUtf8Bom(bytes);
    if (text.empty())
        return std::string();
    const auto utf16 = utf8ToUtf16LE(text);
    if (!utf16)
        return std::nullopt;
    return std::string(BomLE) + *utf16;
}

} // namespace tags
