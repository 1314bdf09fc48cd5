#include "operations/TagEditing.h"

#include "operations/TagText.h"
#include "platform/FileOps.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <algorithm>
#include <system_error>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// Widget texts longer than this are cut before an ID3v1 setter sees them; the
// setters then cut to the field's width.
constexpr int kV1TextLimit = 255;

bool writesV1(int showId)
{
    return showId == ShowV1Only || showId == PreferV2;
}
bool writesV2(int showId)
{
    return showId == ShowV2Only || showId == PreferV2;
}

// Why a write that reported failure could not be made, as far as the file
// and its folder tell.
QString failureReason(const QString& path)
{
    if (!platform::FileExists(path))
        return platform::PathExists(platform::NativePath(path)) ? u"不是文件"_s : u"文件不存在"_s;
    if (platform::IsReadOnly(path))
        return u"文件只读"_s;
    if (platform::IsReadOnly(path.left(path.lastIndexOf(u'/') + 1)))
        return u"文件夹只读"_s;
    return u"写入失败"_s;
}

} // namespace

SaveOutcome saveProperties(TID3v1& v1, TID3v2& v2, int showId, const QString& path,
                           const PropertyValues& page, const TextRules& rules)
{
    if (!writesV1(showId) && !writesV2(showId))
        return {false, u"显示优先级无效"_s};
    const std::string file = platform::NativePath(path);
    // Both tags are read: their legacy texts decide the code page, and a
    // field the page shows as the file has it keeps its bytes.
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    v1.SetTitle(texts.editedV1(page.title.left(kV1TextLimit), v1.Title()));
    v1.SetArtist(texts.editedV1(page.artist.left(kV1TextLimit), v1.Artist()));
    v1.SetAlbum(texts.editedV1(page.album.left(kV1TextLimit), v1.Album()));
    v1.SetYear(texts.editedV1(page.year.left(kV1TextLimit), v1.Year()));
    v1.SetGenreID(page.genreIndex >= 0 && page.genreIndex < 256 ? uint8_t(page.genreIndex) : 255);
    v1.SetComment(texts.editedV1(page.comment.left(kV1TextLimit), v1.Comment()));

    v2.Title = texts.edited(page.title, v2.Title);
    v2.Artist = texts.edited(page.artist, v2.Artist);
    v2.Album = texts.edited(page.album, v2.Album);
    v2.Year = texts.edited(page.year, v2.Year);
    v2.Genre = texts.edited(page.genreText, v2.Genre);
    v2.Comment = texts.edited(page.comment, v2.Comment);

    bool ok = true;
    QString systemError;
    if (writesV1(showId))
        ok = v1.SaveToFile(file);
    if (writesV2(showId)) {
        try {
            ok = v2.SaveToFile(file) && ok;
        } catch (const std::system_error& e) {
            ok = false;
            systemError = QString::fromLocal8Bit(e.code().message());
        }
    }
    if (ok)
        return {true, {}};
    return {false, systemError.isEmpty() ? failureReason(path) : u"写入失败: "_s + systemError};
}

ShownTags readShownTags(TID3v1& v1, TID3v2& v2, int showId, const QString& path,
                        const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    const bool v1Read = v1.ReadFromFile(file);
    const bool v2Read = v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    const auto fromV1 = [&] {
        return ShownTags{true,
                         {texts.shown(v1.Title()), texts.shown(v1.Artist()),
                          texts.shown(v1.Album()), texts.shown(v1.Year()), texts.shown(v1.Genre()),
                          texts.shown(v1.Comment())}};
    };
    const auto fromV2 = [&] {
        return ShownTags{true,
                         {texts.shown(v2.Title), texts.shown(v2.Artist), texts.shown(v2.Album),
                          texts.shown(v2.Year), texts.shown(v2.Genre), texts.shown(v2.Comment)}};
    };
    switch (showId) {
    case ShowV1Only:
        return v1Read ? fromV1() : ShownTags{};
    case ShowV2Only:
        // A readable file without the tag still gets its (empty) cells.
        if (!v2Read)
            return {};
        return v2.Exists() ? fromV2() : ShownTags{true, {}};
    case PreferV2:
        if (v2.Exists())
            return fromV2();
        return v1Read ? fromV1() : ShownTags{};
    default:
        return {};
    }
}

FieldChangeOutcome changeFields(TID3v1& v1, TID3v2& v2, int showId, const QString& path,
                                const FieldValues& values, const TextRules& rules)
{
    FieldChangeOutcome outcome;
    // A priority outside the three names no version to write.
    if (!values.any() || !(writesV1(showId) || writesV2(showId)))
        return outcome;
    const std::string file = platform::NativePath(path);
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const FileTexts texts = rules.forFile(v1, v2);
    // What the run does not set is kept, in one code page per tag.
    v1.SetTitle(texts.keptV1(v1.Title()));
    v1.SetArtist(texts.keptV1(v1.Artist()));
    v1.SetAlbum(texts.keptV1(v1.Album()));
    v1.SetYear(texts.keptV1(v1.Year()));
    v1.SetComment(texts.keptV1(v1.Comment()));
    for (tags::Text* field : {&v2.Title, &v2.Artist, &v2.Album, &v2.Year, &v2.Genre, &v2.Comment})
        *field = texts.kept(*field);
    if (values.title) {
        v1.SetTitle(texts.editedV1(values.title->left(kV1TextLimit), v1.Title()));
        v2.Title = texts.edited(*values.title, v2.Title);
    }
    if (values.artist) {
        v1.SetArtist(texts.editedV1(values.artist->left(kV1TextLimit), v1.Artist()));
        v2.Artist = texts.edited(*values.artist, v2.Artist);
    }
    if (values.album) {
        v1.SetAlbum(texts.editedV1(values.album->left(kV1TextLimit), v1.Album()));
        v2.Album = texts.edited(*values.album, v2.Album);
    }
    outcome.written = true;
    bool ok = true;
    if (writesV1(showId))
        ok = v1.SaveToFile(file) && ok;
    if (writesV2(showId))
        ok = v2.SaveToFile(file) && ok;
    outcome.succeeded = ok;
    return outcome;
}

QString titleFromFileName(const QString& caption)
{
    return caption.left(std::max<qsizetype>(0, caption.size() - 4));
}

} // namespace operations
