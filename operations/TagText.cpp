#include "operations/TagText.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TextCodec.h"

#include <string_view>
#include <vector>

namespace operations {

using platform::LegacyCodePage;

QString FileTexts::shown(const tags::Text& text) const
{
    // Up to the first NUL, as a legacy text is read.
    return text.unicode ? QString::fromUtf8(text.bytes.c_str())
                        : platform::decodeLegacy(text.bytes, v2CodePage_);
}

QString FileTexts::shown(const std::string& v1Bytes) const
{
    return platform::decodeLegacy(v1Bytes, v1CodePage_);
}

tags::Text FileTexts::written(const QString& text) const
{
    if (encoding_ == WriteEncoding::Gbk)
        return tags::legacyText(platform::encodeLegacy(text, LegacyCodePage::Gbk));
    return tags::unicodeText(text.toUtf8().toStdString());
}

tags::Text FileTexts::edited(const QString& widget, const tags::Text& read) const
{
    return widget == shown(read) ? kept(read) : written(widget);
}

tags::Text FileTexts::kept(const tags::Text& read) const
{
    if (read.unicode || tags::isAscii(read.bytes))
        return read;
    if (encoding_ == WriteEncoding::Unicode)
        return tags::unicodeText(shown(read).toUtf8().toStdString());
    return v2CodePage_ == LegacyCodePage::Gbk ? read : written(shown(read));
}

std::optional<TID3v2::LegacyRewrite> FileTexts::rewrite() const
{
    const LegacyCodePage from = v2CodePage_;
    if (encoding_ == WriteEncoding::Unicode)
        return TID3v2::LegacyRewrite{
            [from](std::string_view bytes) {
                return platform::decodeLegacy(bytes, from).toUtf8().toStdString();
            },
            true};
    if (from == LegacyCodePage::Gbk)
        return std::nullopt;
    return TID3v2::LegacyRewrite{[from](std::string_view bytes) {
                                     return platform::encodeLegacy(
                                         platform::decodeLegacy(bytes, from), LegacyCodePage::Gbk);
                                 },
                                 false};
}

std::string FileTexts::editedV1(const QString& widget, const std::string& read) const
{
    return widget == shown(read) ? read : platform::encodeLegacy(widget, v1CodePage_);
}

tags::Text FileTexts::fromV1(const std::string& v1Bytes, const tags::Text& current) const
{
    return edited(shown(v1Bytes), current);
}

std::string FileTexts::toV1(const tags::Text& text) const
{
    return platform::encodeLegacy(shown(text), v1CodePage_);
}

FileTexts TextRules::forFile(const TID3v1& v1, const TID3v2& v2) const
{
    std::vector<std::string_view> v2Texts;
    for (const tags::LegacyFrameText& t : v2.LegacyTexts())
        v2Texts.emplace_back(t.bytes);
    std::vector<std::string_view> v1Texts;
    if (v1.Exists()) {
        for (const std::string* field : {&v1.Title(), &v1.Artist(), &v1.Album(), &v1.Comment()})
            v1Texts.emplace_back(*field);
    }
    const auto detect = [this](const std::vector<std::string_view>& texts,
                               LegacyCodePage fallback) {
        return detector ? detector->detect(texts, fallback)
                        : platform::detectLegacyCodePage(texts, fallback);
    };
    std::vector<std::string_view> all = v2Texts;
    all.insert(all.end(), v1Texts.begin(), v1Texts.end());
    const LegacyCodePage together = detect(all, preferred);
    if (v1Texts.empty() || v2Texts.empty())
        return FileTexts(together, together, encoding);
    return FileTexts(detect(v1Texts, together), detect(v2Texts, together), encoding);
}

} // namespace operations
