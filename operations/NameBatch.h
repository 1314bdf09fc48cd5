#pragma once

#include "operations/Journal.h"
#include "operations/RenamePlan.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <vector>

// A renaming of files, in the three stages of every command: each file's new
// name planned against its folder first, then every move made as one batch
// that never replaces anything, and each file's outcome. Renaming by the
// tags and the repair of names that are not UTF-8 are planned so, in the
// window as on the command line.
namespace operations {

// One file of a renaming: where it is, the name it is to take, how that went.
struct NameJob {
    QString path; // absolute
    PlannedName plan;
    std::optional<QString> error; // it cannot be renamed, or its move failed
    QString at;                   // the temporary path it was left at; else empty
    bool moved = false;
};

// The jobs for these absolute paths, none planned yet.
std::vector<NameJob> nameJobs(const std::vector<QString>& paths);

// Each job's new name from its file's tags by the pattern (operations/
// Renaming), planned per folder against that folder's names and rules.
// `reading` is called before each file is read.
void planPatternNames(std::vector<NameJob>& jobs, const QString& pattern, Priority priority,
                      const TextRules& rules, const NameShower& shown,
                      const std::function<void()>& reading = {});

// Each job's name read in its code page, planned the same way: a name that
// another file has, or that two files would take, is a conflict. A name that
// is not UTF-8 and no code page reads with confidence stays and fails
// ("无法确定编码").
void planRepairedNames(std::vector<NameJob>& jobs, platform::LegacyDetector& detector,
                       platform::LegacyCodePage preferred, const NameShower& shown);

// A folder's plan (as a dialog shows it) into jobs: the rows it names that
// are still there (`present`), each job's path being `folder` + its name.
std::vector<NameJob> jobsOfPlan(const QString& folder, const std::vector<PlannedName>& plan,
                                const std::function<bool(const QString& name)>& present);

// Moves every job planned to rename as one batch. A failed move leaves the
// job's error, and its temporary name when it could have neither. `finished`
// is called with the number of moves made so far. Gives the step to record:
// every file that left its name.
std::vector<StepFile> moveJobs(std::vector<NameJob>& jobs,
                               const std::function<void(std::size_t)>& finished = {});

// Each job's new whole name as given (`newNames` by job), planned the same
// way against its folder.
void planGivenNames(std::vector<NameJob>& jobs, const std::vector<QString>& newNames,
                    const NameShower& shown);

} // namespace operations
