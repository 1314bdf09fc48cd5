#include "tags/TextCodec.h"

#include <cerrno>
#include <iconv.h>

namespace tags {

namespace {

// One iconv conversion descriptor, closed with its owner.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(::iconv_open(to, from)) {}
    ~Converter()
    {
        if (valid())
            ::iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts the whole input; every input unit that does not convert (or
    // an incomplete one at the end) becomes `replacement`.
    std::string convert(std::string_view in, std::size_t unit, std::string_view replacement)
    {
        std::string out;
        if (!valid()) {
            for (std::size_t i = 0; i < in.size(); i += unit)
                out += replacement;
            return out;
        }
        std::string buf(in.size() * 2 + 16, '\0');
        char* src = const_cast<char*>(in.data()); // iconv does not write through it
        std::size_t srcLeft = in.size();
        while (srcLeft > 0) {
            char* dst = buf.data();
            std::size_t dstLeft = buf.size();
            const std::size_t r = ::iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            const int error = errno;
            out.append(buf.data(), buf.size() - dstLeft);
            if (r != static_cast<std::size_t>(-1) || error == E2BIG)
                continue;
            out += replacement;
            ::iconv(cd_, nullptr, nullptr, nullptr, nullptr);
            if (error == EINVAL || srcLeft <= unit)
                break; // incomplete sequence at the end
            src += unit;
            srcLeft -= unit;
        }
        return out;
    }

private:
    bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t cd_;
};

bool startsWith(std::string_view bytes, std::string_view prefix)
{
    return bytes.substr(0, prefix.size()) == prefix;
}

std::string utf16ToCodePage(std::string_view s, bool bigEndian)
{
    s = s.substr(0, s.size() & ~std::size_t(1));
    if (startsWith(s, "\xFF\xFE") || startsWith(s, "\xFE\xFF")) {
        bigEndian = s[0] == '\xFE';
        s.remove_prefix(2);
    }
    Converter c("GB18030", bigEndian ? "UTF-16BE" : "UTF-16LE");
    return c.convert(s, 2, "?");
}

std::string utf8ToCodePage(std::string_view s)
{
    if (startsWith(s, "\xEF\xBB\xBF"))
        s.remove_prefix(3);
    Converter c("GB18030", "UTF-8");
    return c.convert(s, 1, "?");
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

std::string toCodePage(std::string_view bytes, std::uint8_t encoding)
{
    if (encoding != Utf16 && encoding != Utf16BE && encoding != Utf8)
        return std::string(bytes);
    std::string out;
    bool first = true;
    for (const std::string_view piece : splitStrings(bytes, encoding)) {
        if (!first)
            out += '\0';
        first = false;
        out += encoding == Utf8 ? utf8ToCodePage(piece) : utf16ToCodePage(piece, true);
    }
    return out;
}

std::string toUtf16WithBom(std::string_view bytes, std::uint8_t encoding)
{
    if (bytes.empty())
        return {};
    if (encoding == Utf16BE) {
        const std::string_view even = bytes.substr(0, bytes.size() & ~std::size_t(1));
        const bool hasBom = startsWith(even, "\xFF\xFE") || startsWith(even, "\xFE\xFF");
        return (hasBom ? "" : "\xFE\xFF") + std::string(even);
    }
    // The same replacement as toCodePage's, so that a text reads the same
    // before and after the conversion.
    Converter c("UTF-16LE", "UTF-8");
    return "\xFF\xFE" + c.convert(bytes, 1, std::string_view("?\0", 2));
}

} // namespace tags
