#include "operations/LyricsCommand.h"

#include "operations/CoverEditing.h"
#include "operations/TagWrites.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool exists(const QString& path)
{
    return platform::PathExists(platform::NativePath(path));
}

} // namespace

QString lyricsPathOf(const QString& mp3Path, const QString& extension)
{
    const qsizetype dot = mp3Path.lastIndexOf(u'.');
    const bool hasExtension = dot > mp3Path.lastIndexOf(u'/') + 1;
    return (hasExtension ? mp3Path.left(dot) : mp3Path) + extension;
}

LyricsBeside readLyricsBeside(const QString& mp3Path, platform::LegacyCodePage preferred)
{
    LyricsBeside beside;
    beside.lrc = lyricsPathOf(mp3Path);
    if (!exists(beside.lrc) && exists(lyricsPathOf(mp3Path, u".LRC"_s)))
        beside.lrc = lyricsPathOf(mp3Path, u".LRC"_s);
    if (!exists(beside.lrc)) {
        beside.error = u"没有歌词文件"_s;
        return beside;
    }
    beside.lyrics = readLyricsFile(beside.lrc, preferred);
    if (!beside.lyrics)
        beside.error = u"无法读取歌词文件"_s;
    return beside;
}

FieldChange lyricsChange(TID3v1& v1, TID3v2& v2, const QString& mp3Path,
                         const DecodedLyrics& lyrics, const TextRules& rules)
{
    FieldValues values;
    values.lyrics = lyrics.text;
    values.lyricsAsImported = true;
    // Lyrics live in ID3v2 only, whatever the priority.
    return changeFields(v1, v2, Priority::V2Only, mp3Path, values, rules);
}

TagCommand lyricsImportCommand(const TextRules& rules, platform::LegacyCodePage preferred,
                               std::function<QString(const QString&)> shownName,
                               std::function<void(const QString&, const LyricsBeside&)> read)
{
    // The tag objects are read again for each file: one pair serves the run.
    auto v1 = std::make_shared<TID3v1>();
    auto v2 = std::make_shared<TID3v2>();
    return TagCommand(StepKind::FieldChange, [=](const QString& path) {
        TagMaking made;
        const LyricsBeside beside = readLyricsBeside(path, preferred);
        if (read)
            read(path, beside);
        if (!beside.lyrics) {
            made.reason = beside.error + u' ' + shownName(beside.lrc);
            return made;
        }
        FieldChange change = lyricsChange(*v1, *v2, path, *beside.lyrics, rules);
        made.change = std::move(change.change);
        made.reason = change.reason.isEmpty() && !made.change ? failureReason(path) : change.reason;
        return made;
    });
}

LyricsExported exportLyrics(TID3v1& v1, TID3v2& v2, const QString& mp3Path, bool overwrite,
                            const TextRules& rules)
{
    LyricsExported exported;
    exported.lrc = lyricsPathOf(mp3Path);
    const auto shown = readShownTags(v1, v2, Priority::V2Only, mp3Path, rules);
    if (!v2.Exists() || v2.Lyrics.empty()) {
        exported.result = shown.hasTag ? LyricsExport::NoLyrics : LyricsExport::Failed;
        exported.message = shown.hasTag ? u"没有歌词"_s : failureReason(mp3Path);
        return exported;
    }
    if (exists(exported.lrc) && !overwrite) {
        exported.result = LyricsExport::Exists;
        return exported;
    }
    // The picture writer writes any bytes through a copy renamed over the target.
    const Outcome written = exportCover(shown.lyrics.toUtf8(), mp3Path, exported.lrc);
    exported.result = written.succeeded ? LyricsExport::Written : LyricsExport::Failed;
    exported.message = written.message;
    return exported;
}

} // namespace operations
