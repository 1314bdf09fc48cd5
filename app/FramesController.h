#pragma once

#include "app/WindowLinks.h"

#include "app/BatchController.h"
#include "operations/Core.h"

#include <QString>

#include <functional>
#include <vector>

class QAction;
class QLabel;
class QTabWidget;
class TReportList;

// The list's commands on a file's whole tag: the dialog of every frame, and
// the lyrics files beside the MP3s taken into their tags or written from
// them. What they do to a file lives in operations/FrameEditing and
// operations/LyricsCommand, shared with the command line.
class TFramesController {
public:
    struct Widgets {
        QAction* frames = nullptr;
        QAction* lyricsImport = nullptr;
        QAction* lyricsExport = nullptr;
        const TReportList* list = nullptr;
        QTabWidget* pages = nullptr;
        QLabel* status = nullptr;
    };
    struct Window : TWindowLinks {
        std::function<QString(int row)> rowPath;
        // A command over the selected rows as one step of the history.
        std::function<void(const TBatchController::CommandRun& run)> runCommand;
        // A step was written outside a command: the edit menu and the journal follow.
        std::function<void()> afterStep;
        // The page and the list read again after a change.
        std::function<void()> afterRun;
    };

    TFramesController(const operations::Core& core, const Widgets& widgets, Window window);
    TFramesController(const TFramesController&) = delete;
    TFramesController& operator=(const TFramesController&) = delete;

    // The menu's items as the selection allows.
    void updateMenu(int selected);

    void showFrames();
    void importLyrics();
    void exportLyrics();

private:
    std::vector<QString> selectedPaths() const; // in list order
    const operations::Core& core_;
    Widgets w_;
    Window window_;
};
