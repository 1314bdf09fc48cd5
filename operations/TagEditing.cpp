#include "operations/TagEditing.h"

#include "operations/FrameFields.h"
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
#include "tags/NumberPair.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// Widget texts longer than this are cut before an ID3v1 setter sees them; the
// setters then cut to the field's width.
constexpr int kV1TextLimit = 255;

// The ID3v2 text of each field.
constexpr std::array<tags::Text TID3v2::*, kFieldCount> kV2Texts = {
    &TID3v2::Title,       &TID3v2::Artist,   &TID3v2::Album, &TID3v2::Year,
    &TID3v2::Genre,       &TID3v2::Comment,  &TID3v2::Track, &TID3v2::Disc,
    &TID3v2::AlbumArtist, &TID3v2::Composer, &TID3v2::Lyrics};

// Every text of the ID3v2 fields in the write form of the tag, so that a
// field left alone is read after the write as before it (TagText.h: kept).
void keepV2Texts(TID3v2& v2, const FileTexts& texts)
{
    for (tags::Text TID3v2::*field : kV2Texts)
        v2.*field = texts.kept(v2.*field);
    v2.LyricsDescription = texts.kept(v2.LyricsDescription);
}

// The ID3v1 field's setter and bytes; none for a field ID3v1 has no text of.
struct V1Text {
    void (TID3v1::*set)(const std::string&) = nullptr;
    const std::string& (TID3v1::*get)() const = nullptr;
};
V1Text v1Text(Field field)
{
    switch (field) {
    case Field::Title:
        return {&TID3v1::SetTitle, &TID3v1::Title};
    case Field::Artist:
        return {&TID3v1::SetArtist, &TID3v1::Artist};
    case Field::Album:
        return {&TID3v1::SetAlbum, &TID3v1::Album};
    case Field::Year:
        return {&TID3v1::SetYear, &TID3v1::Year};
    case Field::Comment:
        return {&TID3v1::SetComment, &TID3v1::Comment};
    default:
        return {};
    }
}

// Sets one field in both tag objects as the rules say: an unchanged text
// keeps its bytes, and ID3v1 gets what it can hold. The track also sets
// ID3v1.1's byte, and clears it for a text that names no number it takes, so
// that a stale one never stays.
void setField(TID3v1& v1, TID3v2& v2, Field field, const QString& value, const FileTexts& texts)
{
    const bool number = field == Field::Track || field == Field::Disc;
    const QString text = number ? value.trimmed() : value;
    v2.*kV2Texts[std::size_t(field)] = texts.edited(text, v2.*kV2Texts[std::size_t(field)]);
    if (const V1Text v1Field = v1Text(field); v1Field.set) {
        (v1.*v1Field.set)(texts.editedV1(text.left(kV1TextLimit), (v1.*v1Field.get)()));
    } else if (field == Field::Genre) {
        const int genre =
            text == texts.shown(v1.Genre()) ? v1.GenreID() : genreIndexOf(text.toStdString());
        v1.SetGenreID(genre < 0 ? 255 : uint8_t(genre));
    } else if (field == Field::Track) {
        v1.SetTrack(tags::id3v1TrackOf(text.toStdString()));
    }
}

// A field ID3v1 holds beyond its texts, as the list shows it.
QString v1Shown(const TID3v1& v1, Field field, const FileTexts& texts)
{
    if (const V1Text v1Field = v1Text(field); v1Field.get)
        return texts.shown((v1.*v1Field.get)());
    if (field == Field::Genre)
        return texts.shown(v1.Genre());
    if (field == Field::Track && v1.Track() > 0)
        return QString::number(v1.Track());
    return {};
}

} // namespace

const QString& ShownTags::value(Field field) const
{
    return const_cast<ShownTags*>(this)->value(field);
}

QString& ShownTags::value(Field field)
{
    switch (field) {
    case Field::Track:
        return track;
    case Field::Disc:
        return disc;
    case Field::AlbumArtist:
        return albumArtist;
    case Field::Composer:
        return composer;
    case Field::Lyrics:
        return lyrics;
    default:
        return fields[std::size_t(field)];
    }
}

const std::optional<QString>& FieldValues::value(Field field) const
{
    return const_cast<FieldValues*>(this)->value(field);
}

std::optional<QString>& FieldValues::value(Field field)
{
    std::array<std::optional<QString>*, kFieldCount> all = {&title,       &artist,   &album, &year,
                                                            &genre,       &comment,  &track, &disc,
                                                            &albumArtist, &composer, &lyrics};
    return *all[std::size_t(field)];
}

bool FieldValues::any() const
{
    return !frames.empty() || std::any_of(kAllFields.begin(), kAllFields.end(),
                                          [this](Field f) { return value(f).has_value(); });
}

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
    keepV2Texts(v2, texts);
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
    for (const auto& [field, value] :
         {std::pair{Field::Track, &page.track}, std::pair{Field::Disc, &page.disc},
          std::pair{Field::AlbumArtist, &page.albumArtist},
          std::pair{Field::Composer, &page.composer}}) {
        if (*value)
            setField(v1, v2, field, **value, texts);
    }

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
        ShownTags shown;
        shown.hasTag = true;
        for (const Field field : kAllFields)
            shown.value(field) = v1Shown(v1, field, texts);
        return shown;
    };
    // A field ID3v2 leaves empty shows the text ID3v1 holds: a save keeps
    // it, and a new ID3v2 tag starts from it.
    const auto fromV2 = [&] {
        ShownTags shown;
        shown.hasTag = true;
        for (const Field field : kAllFields) {
            shown.value(field) = texts.shown(v2.*kV2Texts[std::size_t(field)]);
            if (shown.value(field).isEmpty() && v1.Exists())
                shown.value(field) = v1Shown(v1, field, texts);
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
    // The file is read once: its tags are taken from the image the change
    // is made from (a file the image leaves in doubt is read whole).
    auto change = tags::beginChange(file);
    if (!change || !v1.ReadFromImage(change->before()))
        v1.ReadFromFile(file);
    if (!change || !v2.ReadFromImage(change->before()))
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
    keepV2Texts(v2, texts);
    std::vector<FrameSet> frames;
    for (const Field field : kAllFields) {
        const auto& value = values.value(field);
        if (!value)
            continue;
        if (field == Field::Lyrics && values.lyricsAsImported)
            frames.push_back({{u"USLT"_s, QString()}, *value, "XXX"});
        else
            setField(v1, v2, field, *value, texts);
    }
    for (const auto& [key, value] : values.frames) {
        const auto named = frameKeyOf(key);
        if (!named) {
            outcome.reason = u"未知的帧 "_s + key;
            return outcome;
        }
        frames.push_back({*named, value, {}});
    }
    if (!change) {
        outcome.reason = failureReason(path);
        return outcome;
    }
    if (renderTags(*change, writesV1(priority) ? &v1 : nullptr, writesV2(priority) ? &v2 : nullptr,
                   &outcome.reason))
        outcome.change = std::move(change);
    if (outcome.change && !frames.empty() &&
        !setFrames(*outcome.change, frames, texts, &outcome.reason))
        outcome.change.reset();
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
