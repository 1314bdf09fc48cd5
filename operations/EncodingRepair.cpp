#include "operations/EncodingRepair.h"

#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool isAscii(const std::string& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The window's names of the frames it shows; other frames by their ID.
QString fieldName(const std::string& frameId)
{
    static const std::array<std::pair<const char*, const char*>, 6> names{{{"TIT2", "标题"},
                                                                           {"TPE1", "作者"},
                                                                           {"TALB", "专辑"},
                                                                           {"TYER", "年代"},
                                                                           {"TCON", "类型"},
                                                                           {"COMM", "备注"}}};
    for (const auto& [id, name] : names) {
        if (frameId == id)
            return QString::fromUtf8(name);
    }
    return QString::fromStdString(frameId);
}

// The ID3v1 fields that hold text, with the window's names.
std::array<std::pair<QString, const std::string*>, 4> v1Fields(const TID3v1& v1)
{
    return {{{u"ID3v1 标题"_s, &v1.Title()},
             {u"ID3v1 作者"_s, &v1.Artist()},
             {u"ID3v1 专辑"_s, &v1.Album()},
             {u"ID3v1 备注"_s, &v1.Comment()}}};
}

bool v1NeedsGbk(const TID3v1& v1, platform::LegacyCodePage codePage)
{
    if (!v1.Exists() || codePage == platform::LegacyCodePage::Gbk)
        return false;
    const auto fields = v1Fields(v1);
    return std::any_of(fields.begin(), fields.end(),
                       [](const auto& field) { return !isAscii(*field.second); });
}

bool v2HasLegacy(const TID3v2& v2)
{
    const auto& texts = v2.LegacyTexts();
    return std::any_of(texts.begin(), texts.end(),
                       [](const tags::LegacyFrameText& t) { return !isAscii(t.bytes); });
}

void setV1InGbk(TID3v1& v1, platform::LegacyCodePage codePage)
{
    const auto gbk = [codePage](const std::string& bytes) {
        return platform::encodeLegacy(platform::decodeLegacy(bytes, codePage),
                                      platform::LegacyCodePage::Gbk);
    };
    v1.SetTitle(gbk(v1.Title()));
    v1.SetArtist(gbk(v1.Artist()));
    v1.SetAlbum(gbk(v1.Album()));
    v1.SetComment(gbk(v1.Comment()));
}

} // namespace

std::vector<LegacyTextOfFile> legacyTextsOf(TID3v1& v1, TID3v2& v2, const QString& path,
                                            const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    std::vector<LegacyTextOfFile> out;
    for (const tags::LegacyFrameText& t : v2.LegacyTexts()) {
        if (!isAscii(t.bytes))
            out.push_back({fieldName(t.frameId), t.bytes, texts.v2CodePage()});
    }
    if (v1.Exists()) {
        for (const auto& [name, bytes] : v1Fields(v1)) {
            if (!isAscii(*bytes))
                out.push_back({name, *bytes, texts.v1CodePage()});
        }
    }
    return out;
}

PreparedConversion prepareConversion(TID3v1& v1, TID3v2& v2, const QString& path,
                                     std::optional<platform::LegacyCodePage> codePage,
                                     const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    const auto v2CodePage = codePage.value_or(texts.v2CodePage());
    const auto v1CodePage = codePage.value_or(texts.v1CodePage());
    const bool v2Legacy = v2HasLegacy(v2);
    const bool v1Legacy = v1NeedsGbk(v1, v1CodePage);
    PreparedConversion out;
    if (!v2Legacy && !v1Legacy)
        return out;
    out.converted = true;
    auto change = tags::beginChange(file);
    if (!change)
        return out;
    if (v2Legacy) {
        const auto toUtf8 = [v2CodePage](std::string_view bytes) {
            return platform::decodeLegacy(bytes, v2CodePage).toUtf8().toStdString();
        };
        auto head = TID3v2::RenderConvertedHead(change->before(), toUtf8);
        if (!head)
            return out;
        change->setHead(std::move(*head));
    }
    if (v1Legacy) {
        setV1InGbk(v1, v1CodePage);
        change->setTail(v1.Rendered());
    }
    out.change = std::move(*change);
    return out;
}

} // namespace operations
