#pragma once

#include "operations/Journal.h"
#include "operations/NameBatch.h"
#include "tags/TagImage.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

// The step of a text tool that changes tags and file names (ToolsRename):
// its names made after its tags, and what its turns and its recovery share.
// Every way through the step writes a file's tags while the file has its old
// name, the one its tag row holds: a run and a redo write the tags before
// they move the files, an undo moves them back before it writes. So a file
// cut half way has its old name and its new tags, and nothing else.
namespace operations {

// No name row.
constexpr std::size_t NoNameRow = std::numeric_limits<std::size_t>::max();

// For each row of the step: a tag row's name row (the one whose `from` is
// the tags' path), NoNameRow for the others.
std::vector<std::size_t> nameRows(const std::vector<const StepFile*>& files);

// The change for the file now at `path` (its tags' path being its old name).
tags::TagChange relocated(const tags::TagChange& change, const std::string& path);

// After a crash: where the file of a name row is, by its inode; `done` set
// when it has its new name. One found at neither name (a temporary one of a
// batch of moves) is taken back to its old name, or its new one when the old
// is taken. False when it cannot be found, or cannot be taken back.
bool findName(StepFile& file);

// What moveJobsInStep did: the step, and what the journal could not keep.
struct NamesInStep {
    std::int64_t step = 0;
    std::vector<QString> problems;
};

// The jobs planned to rename moved as NameBatch's moveJobs does, recorded in
// `step` (that of the run's tags; 0 or gone: a step of its own) through
// Journal::beginMoves and endMoves. Without a journal, or when it fails, the
// files move all the same and the problems say that it cannot be undone.
NamesInStep moveJobsInStep(Journal* journal, std::int64_t step, std::vector<NameJob>& jobs,
                           const std::function<void(std::size_t)>& finished = {});

} // namespace operations
