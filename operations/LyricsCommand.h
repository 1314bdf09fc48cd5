#pragma once

#include "operations/LyricsFile.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"

#include <QString>

#include <functional>
#include <optional>

class TID3v1;
class TID3v2;

// The lyrics file (".lrc") of the same name beside an MP3, into the file's
// ID3v2 lyrics frame and back: what both heads run, so that they read, write
// and refuse alike.
namespace operations {

// The lyrics file beside the MP3: its extension replaced by `extension`.
QString lyricsPathOf(const QString& mp3Path, const QString& extension = QStringLiteral(".lrc"));

// The lyrics beside a file, as read for an import.
struct LyricsBeside {
    QString lrc;                         // the lyrics file, ".lrc" or ".LRC"
    std::optional<DecodedLyrics> lyrics; // none: `error` says why
    QString error;                       // "没有歌词文件", "无法读取歌词文件"
};
LyricsBeside readLyricsBeside(const QString& mp3Path, platform::LegacyCodePage preferred);

// The change that puts the lyrics into the file's ID3v2 lyrics frame of
// language "XXX" without a description; ID3v1 stays as it is.
FieldChange lyricsChange(TID3v1& v1, TID3v2& v2, const QString& mp3Path,
                         const DecodedLyrics& lyrics, const TextRules& rules = {});

// The import of each file's lyrics file as one step: the text, time stamps and
// all, into the ID3v2 lyrics frame of language "XXX" without a description;
// ID3v1 stays as it is. A file without a lyrics file is refused with the
// reason, its lyrics file's name as `shownName` gives it. `read` hears of each lyrics file read
// (the same file may be heard again when the run makes its change anew).
TagCommand
lyricsImportCommand(const TextRules& rules, platform::LegacyCodePage preferred,
                    std::function<QString(const QString& path)> shownName,
                    std::function<void(const QString& mp3Path, const LyricsBeside&)> read = {});

enum class LyricsExport { Written, NoLyrics, Exists, Failed };
struct LyricsExported {
    LyricsExport result = LyricsExport::Failed;
    QString lrc;     // the lyrics file
    QString message; // Failed, NoLyrics: why
};
// The file's ID3v2 lyrics into the lyrics file beside it, in UTF-8, through a
// copy renamed over it; an existing lyrics file only with `overwrite`.
LyricsExported exportLyrics(TID3v1& v1, TID3v2& v2, const QString& mp3Path, bool overwrite,
                            const TextRules& rules = {});

} // namespace operations
