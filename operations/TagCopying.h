#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/TagText.h"
#include "tags/TagImage.h"

#include <QString>

#include <optional>
#include <string>

class TID3v1;
class TID3v2;

namespace operations {

enum class CopyDirection { V1ToV2, V2ToV1 };

// Makes ready the copy of one file's tag from one version into the other.
// Both objects are read from the file first, so what the copy does not set
// stays as the file had it (the ID3v1 track number among it). With overwrite
// false an existing target tag is left alone. Texts go over as the rules
// say: a legacy ID3v1 text read in the file's code page becomes an ID3v2 text
// in the write form; ID3v1 gets its code page's bytes.
struct PreparedCopy {
    std::optional<tags::TagChange> change; // the copy to write
    // Without a change: how the file ends; no message (no log line) when it
    // has no source tag.
    Outcome now;
};
PreparedCopy prepareCopy(TID3v1& v1, TID3v2& v2, CopyDirection direction, bool overwrite,
                         const QString& path, const TextRules& rules = {});
// The copy of one file made ready and written, as a step of its own.
Outcome copyTag(TID3v1& v1, TID3v2& v2, CopyDirection direction, bool overwrite,
                const QString& path, const TextRules& rules = {}, Journal* journal = nullptr);
// How a file whose copy was written ends.
Outcome copyWritten(CopyDirection direction, bool succeeded);

// An ID3v2 tag the program creates starts as a copy of the file's ID3v1
// (its texts as the file shows them, in the write form; its genre by name;
// its track number), so that a tag made for one edit, a cover among them,
// holds the file's other texts too. For a file that has an ID3v2 tag, or no
// ID3v1 one, it does nothing and gives false.
bool fillNewV2FromV1(const TID3v1& v1, TID3v2& v2, const FileTexts& texts);
// The same the other way: an ID3v1 tag the program creates starts as a copy
// of ID3v2 (its texts in ID3v1's code page, its genre where it is one of the
// names; its track number).
bool fillNewV1FromV2(const TID3v2& v2, TID3v1& v1, const FileTexts& texts);

// The position of a genre name among the 148 names, by a whole-text match
// that ignores letter case; -1 when none matches (the empty text included).
int genreIndexOf(const std::string& name);

} // namespace operations
