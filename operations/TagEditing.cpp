#include "operations/TagEditing.h"

#include "operations/PageSave.h"
#include "operations/TagCopying.h"
#include "operations/TagText.h"
#include "operations/TagWrites.h"
#include "platform/FileOps.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/MpegAudio.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// Widget texts longer than this are cut before an ID3v1 setter sees them; the
// setters then cut to the field's width.
constexpr int kV1TextLimit = 255;

} // namespace

std::optional<Priority> priorityOf(int showId)
{
    if (showId < 0 || showId > 2)
        return std::nullopt;
    return static_cast<Priority>(showId);
}

bool writesV1(Priority priority)
{
    return priority != Priority::V2Only;
}

bool writesV2(Priority priority)
{
    return priority != Priority::V1Only;
}

PreparedSave prepareProperties(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                               const PropertyValues& page, const TextRules& rules)
{
    const std::string file = platform::NativePath(path);
    // Both tags are read: their legacy texts decide the code page, and a
    // field the page shows as the file has it keeps its bytes.
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    if (QString refused = refusal(v1, v2, path); !refused.isEmpty())
        return {path, std::nullopt, refused};
    const FileTexts texts = rules.forFile(v1, v2);
    fillNewV2FromV1(v1, v2, texts);
    v2.Rewrite = texts.rewrite();
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

    PreparedSave prepared{path, std::nullopt, {}};
    prepared.change = tagChange(file, writesV1(priority) ? &v1 : nullptr,
                                writesV2(priority) ? &v2 : nullptr, &prepared.reason);
    return prepared;
}

Outcome saveProperties(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                       const PropertyValues& page, const TextRules& rules, Journal* journal)
{
    const SaveRun run = runSave(journal, prepareProperties(v1, v2, priority, path, page, rules));
    return {run.file.succeeded, run.file.reason};
}

ShownTags readShownTags(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
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
    // A field ID3v2 leaves empty shows the text ID3v1 holds: a save keeps
    // it, and a new ID3v2 tag starts from it.
    const auto fromV2 = [&] {
        ShownTags shown{true,
                        {texts.shown(v2.Title), texts.shown(v2.Artist), texts.shown(v2.Album),
                         texts.shown(v2.Year), texts.shown(v2.Genre), texts.shown(v2.Comment)}};
        if (v1.Exists()) {
            const ShownTags own = fromV1();
            for (std::size_t i = 0; i < shown.fields.size(); ++i) {
                if (shown.fields[i].isEmpty())
                    shown.fields[i] = own.fields[i];
            }
        }
        return shown;
    };
    switch (priority) {
    case Priority::V1Only:
        return v1Read ? fromV1() : ShownTags{};
    case Priority::V2Only:
        // A readable file without the tag still gets its cells.
        return v2Read ? fromV2() : ShownTags{};
    case Priority::PreferV2:
        break;
    }
    if (v2.Exists())
        return fromV2();
    return v1Read ? fromV1() : ShownTags{};
}

FieldChange changeFields(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                         const FieldValues& values, const TextRules& rules)
{
    FieldChange outcome;
    if (!values.any())
        return outcome;
    const std::string file = platform::NativePath(path);
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    outcome.written = true;
    outcome.reason = refusal(v1, v2, path);
    if (!outcome.reason.isEmpty())
        return outcome;
    const FileTexts texts = rules.forFile(v1, v2);
    // What the run does not set is kept as the file shows it, in the form
    // of its tag; ID3v1 keeps its bytes, which are in its code page already.
    fillNewV2FromV1(v1, v2, texts);
    fillNewV1FromV2(v2, v1, texts);
    v2.Rewrite = texts.rewrite();
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
    outcome.change =
        tagChange(file, writesV1(priority) ? &v1 : nullptr, writesV2(priority) ? &v2 : nullptr);
    return outcome;
}

QString refusal(const TID3v1& v1, const TID3v2& v2, const QString& path)
{
    // A tagged file is taken as it is; only an untagged one is searched.
    if (v1.Exists() || v2.Exists())
        return {};
    return tags::holdsMpegAudio(platform::NativePath(path)) == false ? u"不是MP3文件"_s : QString();
}

QString titleFromFileName(const QString& caption)
{
    return caption.left(std::max<qsizetype>(0, caption.size() - 4));
}

} // namespace operations
