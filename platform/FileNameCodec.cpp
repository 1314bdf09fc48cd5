#include "platform/FileNameCodec.h"

#include "platform/NameCodePage.h"

#include <string_view>

namespace platform {

namespace {

using Byte = unsigned char;

constexpr char16_t kEscapeBase = 0xDC00; // a byte b >= 0x80 escapes as U+DC00 + b

bool inRange(unsigned value, unsigned low, unsigned high)
{
    return value >= low && value <= high;
}

// The length of the valid UTF-8 sequence starting at `at` (0 when none does),
// with its code point. The ranges of the second byte rule out overlong forms,
// surrogates and code points above U+10FFFF.
qsizetype utf8Sequence(const QByteArray& bytes, qsizetype at, char32_t& codePoint)
{
    const auto byte = [&bytes](qsizetype i) -> unsigned {
        return i < bytes.size() ? Byte(bytes[i]) : 0;
    };
    const unsigned lead = byte(at);
    if (lead < 0x80) {
        codePoint = lead;
        return 1;
    }
    qsizetype length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (inRange(lead, 0xC2, 0xDF)) {
        length = 2;
    } else if (inRange(lead, 0xE0, 0xEF)) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (inRange(lead, 0xF0, 0xF4)) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (!inRange(byte(at + 1), low, high))
        return 0;
    codePoint = lead & (0x7F >> length);
    for (qsizetype i = 1; i < length; ++i) {
        const unsigned next = byte(at + i);
        if (!inRange(next, 0x80, 0xBF))
            return 0;
        codePoint = codePoint << 6 | (next & 0x3F);
    }
    return length;
}

void appendUtf8(QByteArray& bytes, char32_t codePoint)
{
    if (codePoint < 0x80) {
        bytes += char(codePoint);
    } else if (codePoint < 0x800) {
        bytes += char(0xC0 | codePoint >> 6);
        bytes += char(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        bytes += char(0xE0 | codePoint >> 12);
        bytes += char(0x80 | (codePoint >> 6 & 0x3F));
        bytes += char(0x80 | (codePoint & 0x3F));
    } else {
        bytes += char(0xF0 | codePoint >> 18);
        bytes += char(0x80 | (codePoint >> 12 & 0x3F));
        bytes += char(0x80 | (codePoint >> 6 & 0x3F));
        bytes += char(0x80 | (codePoint & 0x3F));
    }
}

} // namespace

bool isUtf8Name(const QByteArray& native)
{
    char32_t codePoint = 0;
    for (qsizetype at = 0; at < native.size();) {
        const qsizetype length = utf8Sequence(native, at, codePoint);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

QString decodeFileName(const QByteArray& native)
{
    QString name;
    name.reserve(native.size());
    char32_t codePoint = 0;
    for (qsizetype at = 0; at < native.size();) {
        const qsizetype length = utf8Sequence(native, at, codePoint);
        if (length == 0) {
            name += QChar(char16_t(kEscapeBase + Byte(native[at])));
            ++at;
            continue;
        }
        if (QChar::requiresSurrogates(codePoint)) {
            name += QChar(QChar::highSurrogate(codePoint));
            name += QChar(QChar::lowSurrogate(codePoint));
        } else {
            name += QChar(char16_t(codePoint));
        }
        at += length;
    }
    return name;
}

QByteArray encodeFileName(const QString& name)
{
    QByteArray native;
    native.reserve(name.size());
    for (qsizetype i = 0; i < name.size(); ++i) {
        const QChar c = name.at(i);
        if (c.isHighSurrogate() && i + 1 < name.size() && name.at(i + 1).isLowSurrogate()) {
            appendUtf8(native, QChar::surrogateToUcs4(c, name.at(i + 1)));
            ++i;
        } else if (inRange(c.unicode(), kEscapeBase + 0x80, kEscapeBase + 0xFF)) {
            native += char(c.unicode() - kEscapeBase);
        } else if (c.isSurrogate()) {
            native += '?';
        } else {
            appendUtf8(native, c.unicode());
        }
    }
    return native;
}

std::optional<QString> repairedFileName(const QByteArray& native, LegacyDetector& detector,
                                        LegacyCodePage preferred)
{
    if (isUtf8Name(native))
        return std::nullopt;
    return confidentNameText(std::string_view(native.constData(), std::size_t(native.size())),
                             detector, preferred);
}

QString shownFileName(const QByteArray& native, LegacyDetector& detector, LegacyCodePage preferred)
{
    if (isUtf8Name(native))
        return decodeFileName(native);
    if (auto repaired = repairedFileName(native, detector, preferred))
        return *repaired;
    const std::string_view bytes(native.constData(), std::size_t(native.size()));
    return decodeLegacy(bytes, detector.detect({bytes}, preferred));
}

} // namespace platform
