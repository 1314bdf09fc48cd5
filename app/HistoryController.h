#pragma once

#include "app/WindowLinks.h"

#include "operations/Core.h"
#include "operations/History.h"

#include <QString>

#include <functional>

class QAction;
class QLabel;
class QMenu;
class QWidget;

// The Edit menu: undo and redo of the journal's steps, the history dialog,
// the menu items' state, and Ctrl+Z/Ctrl+Y routed from text fields that have
// nothing of their own to take back. What a turn does to the files lives in
// operations/History.
class THistoryController {
public:
    struct Widgets {
        QMenu* menu = nullptr; // the Edit menu, checked as it opens
        QAction* undo = nullptr;
        QAction* redo = nullptr;
        QAction* history = nullptr;
        QLabel* status = nullptr;
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        // The page, the tree and the list read again after a turn.
        std::function<void()> afterTurn;
    };

    THistoryController(operations::Core& core, const Widgets& widgets, Window window);
    THistoryController(const THistoryController&) = delete;
    THistoryController& operator=(const THistoryController&) = delete;

    // Opens the journal, finishing interrupted writes, and logs what it found.
    void openJournal();
    // Installs the key routing on every text field of the window.
    void routeEditKeys();
    // The menu items enabled as the history allows, their tips naming the step.
    void updateEditMenu();

    void undo();
    void redo();
    void showHistory();

private:
    void showTurn(const QString& verb, const operations::TurnOutcome& outcome);

    operations::Core& core_;
    Widgets w_;
    Window window_;
};
