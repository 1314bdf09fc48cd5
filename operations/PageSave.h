#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "tags/TagImage.h"

#include <QString>

#include <optional>
#include <vector>

class TID3v1;
class TID3v2;

namespace operations {

// The property page's save of one file, as one command in two stages: made
// ready from the file as it holds now, then written as one step of the
// journal. The write finds the file as it was read, or refuses it: a change
// another program made in between is never written over.
struct PreparedSave {
    QString path;
    // The file's tag bytes now (before) and after the save; none when the
    // file cannot take the save, and `reason` says why.
    std::optional<tags::TagChange> change;
    QString reason;
};

// The page's values made ready for the file under the priority (none: no
// tag is written, "显示优先级无效").
PreparedSave prepareSave(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority,
                         const QString& path, const PropertyValues& page,
                         const TextRules& rules = {});

// How the save ended for its file, and what is said of its step besides
// (a journal that could not record it: see stepProblems).
struct SaveRun {
    FileOutcome file;
    std::vector<QString> problems;
};
// Written as a batch of one file: one step of the journal, or a staged copy
// without one.
SaveRun runSave(Journal* journal, PreparedSave prepared);

} // namespace operations
