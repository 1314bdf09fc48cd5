#pragma once

#include "app/WindowLinks.h"

#include "operations/Journal.h"
#include "operations/RenamePlan.h"

#include <QString>

#include <functional>
#include <vector>

class QObject;
class QWidget;
class TReportList;
class TShellList;
class TShellTree;

// The file and folder commands of the window: the selected files dragged
// onto a folder of the tree, sent to the trash, and a new folder made in the
// tree. Each is a step of the history; what it does on disk lives in
// operations/ItemSteps.
class TItemsController {
public:
    struct Widgets {
        TReportList* list = nullptr;
        TShellTree* tree = nullptr;
        TShellList* files = nullptr; // the folder the list shows
    };
    using InputBox = std::function<QString(const QString& caption, const QString& prompt,
                                           const QString& defaultText)>;
    struct Window : TWindowLinks {
        // The window's input box, so that tests can put their own there.
        InputBox* inputBox = nullptr;
        std::function<void()> stopPlayer;
        std::function<void(operations::StepKind kind,
                           const std::vector<operations::StepFile>& files)>
            recordStep;
    };

    TItemsController(const Widgets& widgets, Window window);
    TItemsController(const TItemsController&) = delete;
    TItemsController& operator=(const TItemsController&) = delete;

    bool ShellTreeDragOver(QObject* source) const;
    void ShellTreeDragDrop(QObject* source, int x, int y);
    void MenuCreSubClick();
    void MenuDelFileClick();

private:
    // The drop's files moved into the target under the plan; `names` are the
    // rows' names in the folder the list shows.
    void moveRowsTo(const QString& target, const std::vector<operations::PlannedName>& plan);
    void askAndMoveRowsTo(const QString& target, const QString& folder,
                          const std::vector<QString>& names);
    const QString& rowName(int row) const;

    Widgets w_;
    Window window_;
};
