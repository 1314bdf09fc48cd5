#pragma once

#include "platform/FolderNames.h"

#include <QString>

#include <functional>
#include <vector>

// The whole of a renaming or a move, worked out before anything moves: each
// file's new name and whether it can take it.
namespace operations {

enum class PlanState {
    Rename,    // takes the new name
    Unchanged, // has it already
    Conflict,  // another row would take the same name, or a file that stays has it
    Empty,     // the pattern gives no name
    Invalid,   // too long, or a character the file system refuses
};

// The state in words, as the plan shows it: 重命名, 不变, 冲突, 空文件名, 无效.
QString stateText(PlanState state);

struct PlannedName {
    QString name;    // the file's name now
    QString newName; // the name it would get (empty for an empty one)
    PlanState state = PlanState::Rename;
    QString note; // why, in words, for a name it cannot take
};

struct PlanCounts {
    int rename = 0;
    int unchanged = 0;
    int conflict = 0;
    int empty = 0;
    int invalid = 0;
};
PlanCounts countPlan(const std::vector<PlannedName>& plan);

// A file's name as the user sees it (a name in GBK bytes as its characters);
// the plan's notes name files this way. An empty one shows names as they are.
using NameShower = std::function<QString(const QString& name)>;

// A file of the folder and what the pattern gives it, without the extension.
struct NameSource {
    QString name;
    QString stem;
};

// Every new name gets the extension ".MP3". A name is a conflict when two
// rows would take it, or when an entry of the folder that does not move has
// it: any entry that is not a row, and every row that does not take its new
// name, so one conflict can make another. Rows that take each other's names
// (a to b, b to a) are no conflict: the moves free them in turn.
// `folderEntries` are all the names in the folder, the rows' own included.
std::vector<PlannedName> planRenames(const std::vector<NameSource>& rows,
                                     const std::vector<QString>& folderEntries,
                                     const platform::NameRules& rules,
                                     const NameShower& shown = {});

// A file and the whole name it is to take, the extension included.
struct NameChange {
    QString name;
    QString newName;
};

// The same plan for names given whole (names read anew in their code page):
// no extension is added, a row whose new name is its name is Unchanged.
std::vector<PlannedName> planNewNames(const std::vector<NameChange>& rows,
                                      const std::vector<QString>& folderEntries,
                                      const platform::NameRules& rules,
                                      const NameShower& shown = {});

// What to do with a file whose name the target folder has already.
enum class ClashChoice { Skip, KeepBoth };

// Files of one folder moved into another under their names. A name the
// target has (or one an earlier file of the drop takes there) is a conflict
// under Skip; under KeepBoth the file takes the first free "name (2).ext",
// "name (3).ext", ... and stays Rename with that new name.
std::vector<PlannedName> planMoves(const std::vector<QString>& names,
                                   const std::vector<QString>& targetEntries,
                                   const platform::NameRules& rules, ClashChoice choice);

// Why the file system would refuse the name, in words; empty when it would not.
QString nameProblem(const QString& name, const platform::NameRules& rules);

} // namespace operations
