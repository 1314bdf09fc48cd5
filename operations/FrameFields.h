#pragma once

#include "operations/TagText.h"
#include "tags/ID3v2Frame.h"
#include "tags/TagImage.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

class TID3v1;
class TID3v2;

// The frames of a file's ID3v2 tag named by their IDs, read and set the way
// the fields are, and every frame of the file's tags as rows of a list.
namespace operations {

// "TPE2", "WOAR", "TXXX:描述": a frame ID of four capitals and digits, and
// for the kinds that carry one (TXXX, WXXX, COMM, USLT) a description after
// a colon. Without one, reading takes the first frame of the ID, setting the
// one without a description.
struct FrameKey {
    QString id;
    std::optional<QString> description;
};
std::optional<FrameKey> frameKeyOf(QStringView text);
// Why a key cannot be set (only text frames, URL frames, comments and lyrics
// can; a description only for the kinds that carry one); empty when it can.
QString unsettableReason(const FrameKey& key);

// One frame to set: an empty value removes every frame the key names, any
// other replaces the first in its place (the others it names go) or is added
// after all frames. `language` is a new comment's or lyrics' (the replaced
// frame's own otherwise; "XXX" for a new one), or the one they always get.
struct FrameSet {
    FrameKey key;
    QString value;
    std::optional<std::string> language;
};

// The frame sets made on the change's new ID3v2 tag in their order, its texts
// in the write form of the rules, every other frame kept byte for byte. False,
// the change as it was and `reason` saying why, for a value a frame cannot
// hold or a tag that cannot be written without losing a frame.
bool setFrames(tags::TagChange& change, const std::vector<FrameSet>& sets, const FileTexts& texts,
               QString* reason = nullptr);

// The frame a set writes, its texts in the write form of the rules, a comment
// or lyrics in `language`; nullopt for a value the frame cannot hold.
std::optional<tags::id3v2::Frame> frameOf(const FrameSet& set, const std::string& language,
                                          const FileTexts& texts);

// One row of a list of every frame: an ID3v2 frame, an ID3v1 field, an APEv2
// item.
struct TagRow {
    QString tag;            // "ID3v2", "ID3v1", "APEv2"
    QString id;             // the frame's ID, the ID3v1 field's name, the APEv2 item's key
    QString name;           // its Chinese name where known
    QString description;    // of TXXX, WXXX, COMM, USLT
    QString language;       // of COMM, USLT
    QString text;           // the text, or a summary ("封面, JPEG 800×800, 217 KB")
    std::uint64_t size = 0; // of the data as stored
    bool shown = true;      // false: `text` is empty and `data` holds the bytes
    QByteArray data;
    std::size_t index = 0; // an ID3v2 frame's, as tags::FrameEdits counts
};

// Every frame of the file's ID3v2 tag in its order, then the ID3v1 fields
// that have a value, then the items of an APEv2 tag (one row for a tag whose
// items cannot be read), legacy texts read in the file's code page. nullopt
// when the file cannot be read.
std::optional<std::vector<TagRow>> readTagRows(TID3v1& v1, TID3v2& v2, const QString& path,
                                               const TextRules& rules = {});

// The text of the first frame the key names as the list shows it; empty when
// there is none. A frame that cannot be shown gives its summary.
QString frameText(const std::vector<TagRow>& rows, const FrameKey& key);

} // namespace operations
