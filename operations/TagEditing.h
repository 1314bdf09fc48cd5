#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/TagField.h"
#include "operations/TagText.h"

#include <QString>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class TID3v1;
class TID3v2;

namespace operations {

// The priority between the two tag versions: which one the list shows and
// which ones an edit writes.
enum class Priority {
    V1Only,   // show and write ID3v1
    V2Only,   // show and write ID3v2
    PreferV2, // show ID3v2 when there is one, else ID3v1; write both
};
// The priority a stored number ("ShowId": 0, 1, 2) names; nullopt for any
// other number, under which no tag is shown or written.
std::optional<Priority> priorityOf(int showId);
bool writesV1(Priority priority);
bool writesV2(Priority priority);

// What the property page holds, as the user sees it.
struct PropertyValues {
    QString title, artist, album, year;
    QString genreText;   // the genre box's text, typed or chosen
    int genreIndex = -1; // the genre box's chosen position; -1 for none
    QString comment;
    // The fields beyond the six, set only when the page changed them: the
    // ID3v1.1 track byte and the texts of a file are left alone otherwise.
    std::optional<QString> track{}, disc{}, albumArtist{}, composer{};
};

// Makes ready the write of the page into the file in the versions the
// priority names. The ID3v1 tag is read from the file first, so that what the
// page leaves alone (the track number) stays the file's own; a new ID3v2 tag
// starts as a copy of it. A field the page shows as the file has it keeps its
// text; a changed one is written as the rules say (ID3v1 in its code page).
// Both versions go in one write: neither is written unless both can be. A
// file that cannot take it gets no change, and the reason in words.
struct PreparedSave;
PreparedSave prepareProperties(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                               const PropertyValues& page, const TextRules& rules = {});
// The page made ready and written as one step of the journal (a staged copy
// without one), as operations/PageSave runs it. A failure, also by an error
// of the operating system, says why in words.
Outcome saveProperties(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                       const PropertyValues& page, const TextRules& rules = {},
                       Journal* journal = nullptr);

// The texts the list and the page show for a file by the priority: the six
// of the list's columns (title, artist, album, year, genre, comment) and the
// others, legacy texts read in the file's code page; where ID3v2 is shown, a
// field it leaves empty shows ID3v1's text. A field ID3v1 does not hold is
// empty under "ID3v1 only" (the track is ID3v1.1's byte). hasTag is false
// when the priority's tag cannot be shown (an unreadable file, or no ID3v2
// tag under "ID3v2 only").
struct ShownTags {
    bool hasTag = false;
    std::array<QString, kListFieldCount> fields;
    QString track, disc, albumArtist, composer, lyrics;

    const QString& value(Field field) const;
    QString& value(Field field);
};
ShownTags readShownTags(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                        const TextRules& rules = {});

// The batch tag change for one file: each field that has a value is set in
// both tag objects (after both were read from the file, a new tag of one
// version starting as a copy of the other), and the change that
// writes the versions the priority names is made ready for the batch's
// TagWrites.
//
// Frames named by their ID (FrameFields.h) are set in the ID3v2 tag after
// the fields, whatever the priority, as setFrames does.
struct FieldValues {
    FieldValues() = default;
    // The three of the batch page and of names.
    FieldValues(std::optional<QString> title_, std::optional<QString> artist_,
                std::optional<QString> album_)
        : title(std::move(title_)), artist(std::move(artist_)), album(std::move(album_))
    {
    }

    std::optional<QString> title, artist, album;
    std::optional<QString> year, genre, comment;
    std::optional<QString> track, disc, albumArtist, composer, lyrics;
    // The lyrics go into the frame of language "XXX" without a description,
    // in place of the one without a description, as an imported lyrics file
    // does (other lyrics frames stay); otherwise the frame read keeps both.
    bool lyricsAsImported = false;
    std::vector<std::pair<QString, QString>> frames; // key ("TPE2", "TXXX:描述"), value

    const std::optional<QString>& value(Field field) const;
    std::optional<QString>& value(Field field);
    bool any() const;
};
struct FieldChange {
    bool written = false;                  // a write is due: the file counts
    std::optional<tags::TagChange> change; // none when the file cannot take it: a failure
    QString reason;                        // without a change: why, when known
};
FieldChange changeFields(TID3v1& v1, TID3v2& v2, Priority priority, const QString& path,
                         const FieldValues& values, const TextRules& rules = {});

// The reason a file whose tags were read gets none written: "不是MP3文件"
// for a file that holds neither a tag nor MPEG audio (a text file named
// ".mp3"); empty for any other file.
QString refusal(const TID3v1& v1, const TID3v2& v2, const QString& path);

// The value "from the file name": the row's caption less its last four
// characters (the extension).
QString titleFromFileName(const QString& caption);

} // namespace operations
