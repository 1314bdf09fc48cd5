#pragma once

#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "operations/TagField.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstddef>
#include <map>
#include <optional>
#include <vector>

class TID3v1;
class TID3v2;

// The property page over several files: what the files share, and the
// fields the user changed set in each of them as one step.
namespace operations {

struct SharedFields {
    // Each field as the list shows it, where every file holds the same text;
    // nullopt where they differ. A file whose tag cannot be shown counts as
    // empty, as the page of that one file would be.
    std::array<std::optional<QString>, kFieldCount> values;
    std::size_t withLyrics = 0; // the files that hold lyrics
    // What ID3v1 would be given: the narrowest comment among the files (28
    // bytes where one has a track number), the first file's code page.
    int commentWidth = 30;
    platform::LegacyCodePage codePage = platform::LegacyCodePage::Gbk;
    // The digest of each file's tag bytes as they were read; a file that
    // could not be read has none.
    std::map<QString, QByteArray> seen;
};
// No priority: every field empty, and still each file's digest.
SharedFields readSharedFields(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority,
                              const std::vector<QString>& paths, const TextRules& rules = {});

// The command that sets `changed` in each file whose tags are still those
// `seen` holds for it; another file is refused (changedElsewhere()), never
// written over. The fields `changed` leaves unset stay as each file has them.
TagCommand sharedSave(const FieldValues& changed, std::optional<Priority> priority,
                      const TextRules& rules, std::map<QString, QByteArray> seen);
QString changedElsewhere();

} // namespace operations
