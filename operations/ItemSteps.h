#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/RenamePlan.h"

#include <QString>

#include <vector>

// The file and folder commands of the window as steps: each file's outcome,
// and the files of the step to record (only those that went).
namespace operations {

struct ItemStep {
    std::vector<FileOutcome> outcomes; // in the order given; each file where it is now
    std::vector<StepFile> files;       // to record
};

// Sends the files to the desktop trash. Only files: a folder is never sent
// away with its contents.
ItemStep trashFiles(const std::vector<QString>& paths);

// Moves files of `folder` into `target` under a plan of planMoves, one
// outcome for each entry of the plan: a file the plan cannot move fails with
// the plan's note, one whose move fails with "移动文件失败". Only files move,
// and nothing is ever replaced.
ItemStep moveFilesInto(const QString& folder, const QString& target,
                       const std::vector<PlannedName>& plan);

// Makes a new folder; its outcome, and the step when it was made.
ItemStep makeFolder(const QString& path);

} // namespace operations
