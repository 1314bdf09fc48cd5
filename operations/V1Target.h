#pragma once

#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"

#include <QString>

#include <optional>

class TID3v1;
class TID3v2;

namespace operations {

// What the ID3v1 tag a save of the file would write can hold: whether the
// priority writes one at all, the comment's width in bytes (28 beside a
// track number, else 30), and the code page its texts are written in (the
// one the file's texts are read in).
struct V1Target {
    bool written = false;
    int commentWidth = 30;
    platform::LegacyCodePage codePage = platform::LegacyCodePage::Gbk;
};

// Reads the file into the two objects; a file that cannot be read has the
// widths of a new tag.
V1Target v1Target(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority, const QString& file,
                  const TextRules& rules);

} // namespace operations
