#pragma once

#include "operations/CoverEditing.h"
#include "operations/TagCommand.h"
#include "operations/TagText.h"

#include <QString>

namespace operations {

// The change of the front cover of many files, as one step: the picture set
// on each, or the picture shown as its cover removed. Prepare says for each
// file whether it can take the change (a file without a cover to remove has
// nothing to do); run writes them, refusing a file changed since. What the
// change does to one file is CoverEditing's.
class CoverCommand {
public:
    static CoverCommand setting(const CoverImage& image, const TextRules& rules = {});
    static CoverCommand removing();

    const TagCommand& command() const { return command_; }
    // Why a file is left alone: it has no cover to remove, or already has
    // this one.
    static QString nothingToDo(bool removal);

private:
    explicit CoverCommand(MakeTagChange make);
    TagCommand command_;
};

} // namespace operations
