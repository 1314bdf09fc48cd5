#include "operations/TagText.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

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
    const bool otherCodePage = !read.unicode && v2CodePage_ != LegacyCodePage::Gbk;
    return encoding_ == WriteEncoding::Gbk && otherCodePage ? written(shown(read)) : read;
}

std::string FileTexts::editedV1(const QString& widget, const std::string& read) const
{
    return widget == shown(read) ? keptV1(read)
                                 : platform::encodeLegacy(widget, LegacyCodePage::Gbk);
}

std::string FileTexts::keptV1(const std::string& read) const
{
    return v1CodePage_ == LegacyCodePage::Gbk
               ? read
               : platform::encodeLegacy(shown(read), LegacyCodePage::Gbk);
}

tags::Text FileTexts::fromV1(const std::string& v1Bytes, const tags::Text& current) const
{
    return edited(shown(v1Bytes), current);
}

std::string FileTexts::toV1(const tags::Text& text) const
{
    return platform::encodeLegacy(shown(text), LegacyCodePage::Gbk);
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
