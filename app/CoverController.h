#pragma once

#include "app/WindowLinks.h"

#include "app/BatchController.h"
#include "operations/Core.h"
#include "operations/CoverCommand.h"
#include "widgets/OpenDlg.h"

#include <QString>

#include <functional>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTabWidget;
class QWidget;

// The front cover on the property page: shown for the file the page shows;
// set on the selected files from a picture file, removed from them, or saved
// to a file of its own. What a cover change does to a file lives in
// operations/CoverEditing.
class TCoverController {
public:
    struct Widgets {
        QLabel* cover = nullptr;
        QMenu* menu = nullptr; // the cover's context menu
        QAction* set = nullptr;
        QAction* remove = nullptr;
        QAction* save = nullptr;
        QLineEdit* file = nullptr; // the file the page shows
        QTabWidget* pages = nullptr;
        QLabel* status = nullptr;
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        // The dialogs asking for the picture and for the file to save it in,
        // the window's, so that tests can put their own there; given the
        // file dialogs here.
        widgets::FileChooser* openDialog = nullptr;
        std::function<QString(QWidget* parent, const QString& proposedPath)>* saveDialog = nullptr;
        // A command over the selected rows in the batch frame, as one step
        // of the history.
        std::function<void(const TBatchController::CommandRun& run)> runCommand;
        // The page and the list read again after a run.
        std::function<void()> afterRun;
    };

    TCoverController(const operations::Core& core, const Widgets& widgets, Window window);
    TCoverController(const TCoverController&) = delete;
    TCoverController& operator=(const TCoverController&) = delete;

    // The cover of the file the page shows; none for an empty path.
    void showCover(const QString& path);
    void setCover();
    void removeCover();
    void saveCover();

private:
    using CoverLogText = std::function<QString(const tags::TagChange& change)>;
    void updateCoverMenu();
    void changeCovers(const QString& verb, const operations::CoverCommand& covers,
                      const CoverLogText& logged = {});

    enum class CoverState { None, Read, TooLarge };
    const operations::Core& core_;
    Widgets w_;
    Window window_;
    QString coverFile_; // the file the cover shown is of; empty for none
    CoverState coverState_ = CoverState::None;
};
