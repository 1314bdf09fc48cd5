#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"

#include <QString>

#include <cstdint>
#include <vector>

// Undo and redo over the journal's steps.
namespace operations {

// What an undo or redo did: each file it tried, in the step's order; one log
// line per file it could not turn (the path, then why) and for an error of
// the journal; and how many it turned.
struct TurnOutcome {
    bool any = false; // there was a step to turn
    int turned = 0;   // files turned
    int refused = 0;  // files left alone
    QString step;     // the step's name in words, as the history shows it
    std::vector<QString> lines;
    std::vector<FileOutcome> files;
    QString error; // the journal's, when the turn stopped on one
};

// The step's kind in words: "修改属性", "批量修改", "ID3v1->ID3v2",
// "ID3v2->ID3v1", "批量改名", "转换编码", "移动", "删除", "新建文件夹", "封面".
QString stepName(StepKind kind);

class History {
public:
    explicit History(Journal& journal);

    // What undo would turn next: the newest step not undone. What redo would:
    // the step undone last since the last new step (a new step ends the redo
    // of those undone before it). 0 for none.
    std::int64_t nextUndo() const;
    std::int64_t nextRedo() const;

    // Each turn first finishes the steps whose writer died (Journal::
    // recoverInterrupted); a step a running program writes is refused.
    // Takes back the newest step not yet undone. A file changed by someone
    // else since the step (its bytes are no longer what the step wrote), or
    // a moved file whose old place is taken, is left alone and reported;
    // the others are turned. Nothing is ever replaced or deleted.
    TurnOutcome undo();
    // Makes again the latest step undone, with the same checks.
    TurnOutcome redo();
    // Undoes every step from the newest down to `step`, that one included.
    TurnOutcome undoTo(std::int64_t step);

private:
    void recoverInterrupted();
    TurnOutcome turn(std::int64_t step, bool toDone);

    Journal& journal_;
};

} // namespace operations
