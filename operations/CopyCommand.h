#pragma once

#include "operations/TagCommand.h"
#include "operations/TagCopying.h"
#include "operations/TagText.h"

#include <QString>

namespace operations {

// The copy of the tag of many files from one version into the other, as both
// heads run it: prepare says for each file whether it can be copied (or why
// not: no tag to copy, the target kept, a tag that cannot be rewritten), run
// writes the copies as one step. What the copy does to one file is
// prepareCopy's (operations/TagCopying.h).
class CopyCommand {
public:
    CopyCommand(CopyDirection direction, bool overwrite, const TextRules& rules);

    const TagCommand& command() const { return command_; }
    CopyDirection direction() const { return direction_; }
    // Why a file without the tag to copy is not copied.
    QString noSource() const;
    // What is said of a file whose copy was written.
    QString succeeded() const { return copyWritten(direction_, true).message; }

private:
    CopyDirection direction_;
    TagCommand command_;
};

} // namespace operations
