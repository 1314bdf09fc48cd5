#pragma once

#include "app/WindowLinks.h"

#include "app/BatchFrame.h"
#include "operations/Core.h"
#include "operations/FieldsCommand.h"
#include "operations/TagBatch.h"
#include "operations/TagCommand.h"

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QWidget;
class TRadioGroup;
class TReportList;

// The batch page (fields set on the selected files, typed or out of their
// names; the two copies between tag versions) and what every batch command
// of the window shares: a tag command prepared over the selected rows and
// run in the batch frame as one step of the history, its files logged and
// counted. What each command does to a file lives in operations/.
class TBatchController {
public:
    // The page's fields, in the order they are set and logged: those of the
    // placeholders "%1" to "%9", indexed as operations::Field.
    static constexpr std::size_t kFields = operations::kPlaceholderCount;
    struct Widgets {
        TReportList* list = nullptr;
        std::array<QCheckBox*, kFields> checks{};
        std::array<QLineEdit*, kFields> edits{};     // their typed values
        std::array<TRadioGroup*, kFields> sources{}; // item 0: from the file name
        QLineEdit* pattern = nullptr;                // of the values read out of names
        QLabel* preview = nullptr;                   // what the first selected row gets
    };
    struct Window : TWindowLinks {
        std::function<QString(int row)> rowPath;
        std::function<void()> rebuildList;
        std::function<void()> updateEditMenu;
    };

    TBatchController(operations::Core& core, TBatchFrame& frame, const Widgets& widgets,
                     Window window);
    TBatchController(const TBatchController&) = delete;
    TBatchController& operator=(const TBatchController&) = delete;

    // The page's buttons.
    void BtnChgMPropClick();
    void BtnV1V2Click();
    void BtnV2V1Click();
    // What the first selected row would get, under the page's settings.
    void showFieldPreview();

    // A tag command prepared over the selected rows, in list order, and run
    // as one step. `made` sees each file's change before it is written;
    // `done` logs a file's outcome and says whether it counts, and how.
    struct CommandRun {
        QString runningText;
        QString completionText;
        int page = 0;
        const operations::TagCommand* command = nullptr;
        std::function<void(int row, const tags::TagChange& change)> made;
        std::function<std::optional<bool>(int row, const operations::TagPlan& plan,
                                          const operations::FileOutcome& outcome)>
            done;
        std::function<void()> closing;
    };
    // Gives the step of the journal (see TagBatch::step).
    std::int64_t runCommand(const CommandRun& run);

    // One batch operation that visits the rows itself: what it does to a
    // row, and how the frame reports it.
    struct BatchRun {
        QString runningText;
        QString completionText;
        int page = 0;
        std::function<void(int row)> act;
        std::function<void()> closing;
        // A batch of tag changes: act makes each file's change ready with
        // queueWrite, and after the last row they are written together as
        // one step of this kind.
        std::optional<operations::StepKind> tagStep;
    };
    void runBatch(const BatchRun& run);
    // Queues the change of a file for the running tag batch; `then` logs and
    // counts it once it is written.
    using AfterWrite = std::function<void(const operations::Outcome& outcome)>;
    void queueWrite(tags::TagChange change, AfterWrite then);

    // Records a step of moves, renames, trashing or a new folder.
    void recordStep(operations::StepKind kind, const std::vector<operations::StepFile>& files);
    // Makes what the last command wrote durable once the window has shown
    // its outcome.
    void flushJournalSoon();

private:
    void copyTags(bool v1ToV2);
    void writeQueued();
    void ended(const CommandRun& run);
    operations::FieldsCommand fieldsCommand() const;
    // A typed track or disc that is no number, or a field the priority
    // writes nowhere: said, and nothing runs.
    bool refusesTypedValues() const;

    operations::Core& core_;
    TBatchFrame& frame_;
    Widgets w_;
    Window window_;
    // The running tag batch, and what follows each change not yet written.
    std::unique_ptr<operations::TagBatch> writes_;
    std::deque<AfterWrite> afterWrites_;
};
