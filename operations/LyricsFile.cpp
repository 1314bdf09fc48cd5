#include "operations/LyricsFile.h"

#include "tags/TextCodec.h"

#include <QFile>
#include <QFileInfo>

#include <string_view>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

constexpr qint64 kMaxLyricsFile = 16 << 20;

// UTF-16 code units as they stand, lone surrogates included, so that nothing
// becomes U+FFFD; an odd last byte is no unit and goes.
QString fromUtf16(const QByteArray& bytes, bool littleEndian)
{
    QString text;
    text.reserve(bytes.size() / 2);
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2) {
        const auto a = quint8(bytes[i]);
        const auto b = quint8(bytes[i + 1]);
        text.append(QChar(char16_t(littleEndian ? (b << 8 | a) : (a << 8 | b))));
    }
    return text;
}

} // namespace

QString DecodedLyrics::encodingName() const
{
    switch (encoding) {
    case LyricsEncoding::Utf8Bom:
        return u"UTF-8 (BOM)"_s;
    case LyricsEncoding::Utf16LE:
        return u"UTF-16LE"_s;
    case LyricsEncoding::Utf16BE:
        return u"UTF-16BE"_s;
    case LyricsEncoding::Utf8:
        return u"UTF-8"_s;
    case LyricsEncoding::Legacy:
        break;
    }
    return platform::codePageName(codePage);
}

DecodedLyrics decodeLyrics(const QByteArray& bytes, platform::LegacyCodePage preferred)
{
    DecodedLyrics out;
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        out.encoding = LyricsEncoding::Utf8Bom;
        out.text = QString::fromUtf8(bytes.mid(3));
    } else if (bytes.startsWith("\xFF\xFE")) {
        out.encoding = LyricsEncoding::Utf16LE;
        out.text = fromUtf16(bytes.mid(2), true);
    } else if (bytes.startsWith("\xFE\xFF")) {
        out.encoding = LyricsEncoding::Utf16BE;
        out.text = fromUtf16(bytes.mid(2), false);
    } else if (tags::isUtf8(std::string_view(bytes.constData(), std::size_t(bytes.size())))) {
        out.encoding = LyricsEncoding::Utf8;
        out.text = QString::fromUtf8(bytes);
    } else {
        const std::string_view all(bytes.constData(), std::size_t(bytes.size()));
        out.encoding = LyricsEncoding::Legacy;
        out.codePage = platform::detectLegacyCodePage({all}, preferred);
        out.text = platform::decodeLegacy(all, out.codePage);
    }
    return out;
}

std::optional<DecodedLyrics> readLyricsFile(const QString& path, platform::LegacyCodePage preferred)
{
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > kMaxLyricsFile)
        return std::nullopt;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.read(kMaxLyricsFile + 1);
    if (bytes.size() > kMaxLyricsFile || file.error() != QFileDevice::NoError)
        return std::nullopt;
    return decodeLyrics(bytes, preferred);
}

} // namespace operations
