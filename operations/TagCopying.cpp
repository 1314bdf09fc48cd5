#include "operations/TagCopying.h"

#include "operations/TagText.h"
#include "operations/TagWrites.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/NumberPair.h"

#include <cctype>
#include <string>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool equalIgnoringCase(const std::string& a, const char* b)
{
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        const auto x = static_cast<unsigned char>(a[i]);
        const auto y = static_cast<unsigned char>(b[i]);
        if (std::tolower(x) != std::tolower(y))
            return false;
    }
    return i == a.size() && !b[i];
}

void v1IntoV2(const TID3v1& v1, TID3v2& v2, const FileTexts& texts)
{
    v2.Title = texts.fromV1(v1.Title(), v2.Title);
    v2.Artist = texts.fromV1(v1.Artist(), v2.Artist);
    v2.Album = texts.fromV1(v1.Album(), v2.Album);
    v2.Year = texts.fromV1(v1.Year(), v2.Year);
    v2.Genre = texts.fromV1(v1.Genre(), v2.Genre);
    v2.Comment = texts.fromV1(v1.Comment(), v2.Comment);
}

void v2IntoV1(const TID3v2& v2, TID3v1& v1, const FileTexts& texts)
{
    v1.SetTitle(texts.toV1(v2.Title));
    v1.SetArtist(texts.toV1(v2.Artist));
    v1.SetAlbum(texts.toV1(v2.Album));
    v1.SetYear(texts.toV1(v2.Year));
    const int genre = genreIndexOf(texts.toV1(v2.Genre));
    v1.SetGenreID(genre < 0 ? 255 : uint8_t(genre));
    v1.SetComment(texts.toV1(v2.Comment));
}

} // namespace

bool fillNewV2FromV1(const TID3v1& v1, TID3v2& v2, const FileTexts& texts)
{
    if (v2.Exists() || !v1.Exists())
        return false;
    v1IntoV2(v1, v2, texts);
    if (v1.Track() > 0)
        v2.Track = tags::legacyText(std::to_string(v1.Track()));
    return true;
}

bool fillNewV1FromV2(const TID3v2& v2, TID3v1& v1, const FileTexts& texts)
{
    if (v1.Exists() || !v2.Exists())
        return false;
    v2IntoV1(v2, v1, texts);
    v1.SetTrack(tags::id3v1TrackOf(v2.Track.bytes));
    return true;
}

int genreIndexOf(const std::string& name)
{
    if (name.empty())
        return -1;
    for (int i = 0; i < 148; ++i) {
        if (equalIgnoringCase(name, GenreNames[i]))
            return i;
    }
    return -1;
}

PreparedCopy prepareCopy(TID3v1& v1, TID3v2& v2, CopyDirection direction, bool overwrite,
                         const QString& path, const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    const bool toV2 = direction == CopyDirection::V1ToV2;
    PreparedCopy copy;
    if (toV2) {
        v1.ReadFromFile(file);
        if (!v1.Exists())
            return copy;
        v2.ReadFromFile(file);
        if (v2.Exists() && !overwrite) {
            copy.now = {false, u"由于ID3v2已经存在,取消复制."_s};
            return copy;
        }
        const FileTexts texts = rules.forFile(v1, v2);
        v1IntoV2(v1, v2, texts);
        v2.Rewrite = texts.rewrite();
        copy.change = tagChange(file, nullptr, &v2);
    } else {
        v2.ReadFromFile(file);
        if (!v2.Exists())
            return copy;
        v1.ReadFromFile(file);
        if (v1.Exists() && !overwrite) {
            copy.now = {false, u"由于ID3v1已经存在,取消复制."_s};
            return copy;
        }
        v2IntoV1(v2, v1, rules.forFile(v1, v2));
        copy.change = tagChange(file, &v1, nullptr);
    }
    if (!copy.change)
        copy.now = {false, u"复制属性失败."_s};
    return copy;
}

Outcome copyTag(TID3v1& v1, TID3v2& v2, CopyDirection direction, bool overwrite,
                const QString& path, const TextRules& rules, Journal* journal)
{
    auto copy = prepareCopy(v1, v2, direction, overwrite, path, rules);
    if (!copy.change)
        return copy.now;
    const auto kind =
        direction == CopyDirection::V1ToV2 ? StepKind::CopyV1ToV2 : StepKind::CopyV2ToV1;
    return copyWritten(direction, writeOne(journal, kind, std::move(*copy.change)).succeeded);
}

Outcome copyWritten(CopyDirection direction, bool succeeded)
{
    if (!succeeded)
        return {false, u"复制属性失败."_s};
    return {true, direction == CopyDirection::V1ToV2 ? u"将ID3v1复制到ID3v2成功."_s
                                                     : u"将ID3v2复制到ID3v1成功."_s};
}

} // namespace operations
