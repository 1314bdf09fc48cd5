#pragma once

#include "app/WindowLinks.h"

#include "app/BatchController.h"
#include "operations/Core.h"

#include <functional>

class QAction;
class QTabWidget;
class TBatchFrame;
class TFormTools;
class TRenameController;
class TReportList;
class TShellList;

// "批量处理(&T)..." on the list's pop-up menu: the text tools over the selected
// rows in the order shown, previewed in the dialog (app/ToolsDialog), then
// the tags written as one step in the batch frame and new names made by the
// renaming's plan. What a tool does lives in operations/ToolCommand.
class TToolsController {
public:
    struct Widgets {
        TShellList* folder = nullptr; // the folder the list shows
        TReportList* list = nullptr;
        QTabWidget* pages = nullptr;
    };
    struct Window : TWindowLinks {
        std::function<TBatchFrame&()> frame;
        std::function<void(const TBatchController::CommandRun& run)> runCommand;
        // The page and the list read again after a run.
        std::function<void()> afterRun;
        std::function<void()> namesChanged;
    };

    TToolsController(const operations::Core& core, TRenameController& renaming,
                     const Widgets& widgets, Window window);

    void MenuToolsClick();

private:
    void writeTags(const TFormTools& dialog);
    void renameFiles(const TFormTools& dialog);

    const operations::Core& core_;
    TRenameController& renaming_;
    Widgets w_;
    Window window_;
};
