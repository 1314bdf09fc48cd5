#pragma once

#include "app/WindowLinks.h"

#include "app/BatchController.h"
#include "operations/Core.h"
#include "operations/NameBatch.h"

#include <cstdint>
#include <functional>
#include <vector>

class QAction;
class QTabWidget;
class TBatchFrame;
class TFormTools;
class TRenameController;
class TReportList;
class TShellList;

// "批量处理(&T)..." on the list's pop-up menu: the text tools over the selected
// rows in the order shown, previewed in the dialog (app/ToolsDialog), then
// the tags written in the batch frame and new names made by the renaming's
// plan, one step of the history (operations/ToolsStep). What a tool does
// lives in operations/ToolCommand.
class TToolsController {
public:
    struct Widgets {
        TShellList* folder = nullptr; // the folder the list shows
        TReportList* list = nullptr;
        QTabWidget* pages = nullptr;
    };
    struct Window : TWindowLinks {
        std::function<TBatchFrame&()> frame;
        // Gives the step of the journal the tags were written in.
        std::function<std::int64_t(const TBatchController::CommandRun& run)> runCommand;
        // The page and the list read again after a run.
        std::function<void()> afterRun;
        std::function<void()> namesChanged;
        std::function<void()> stepsChanged; // the history, for the edit menu
    };

    TToolsController(const operations::Core& core, TRenameController& renaming,
                     const Widgets& widgets, Window window);

    void MenuToolsClick();

private:
    std::int64_t writeTags(const TFormTools& dialog, operations::StepKind kind);
    void renameFiles(std::vector<operations::NameJob>& jobs, std::int64_t step);

    const operations::Core& core_;
    TRenameController& renaming_;
    Widgets w_;
    Window window_;
};
