#pragma once

#include "app/WindowLinks.h"

#include "operations/Core.h"

#include <QString>

#include <functional>
#include <memory>

class QLineEdit;
class QWidget;
class TID3v1;
class TID3v2;
class TPageController;
class TReportList;
class TShellList;
struct TReportRow;

// The rows of the report list: one for each MP3 file of the folder the shell
// list shows, named as the list shows names and read when first needed. They
// are made anew for a folder, follow changes on disk, and keep the selection
// and the property page across a rebuild where their files are still there.
class TRowsController {
public:
    struct Widgets {
        TReportList* list = nullptr;
        TShellList* files = nullptr; // the folder the rows are made of
        QLineEdit* file = nullptr;   // the file the page shows
    };
    // What the controller needs of the window.
    struct Window : TWindowLinks {
        // False while the window is starting or a renaming run holds the list.
        std::function<bool()> refreshEnabled;
        // The folder is changing: changes on disk wait, as under a batch.
        std::function<bool()> changingFolder;
        // The selection changed, with no question about unsaved edits.
        std::function<void()> selectionChanged;
        // After a rebuild: the name column fitted, the previews scheduled.
        std::function<void()> rebuilt;
        std::function<void()> schedulePreviews;
    };

    TRowsController(const operations::Core& core, TPageController& page, const Widgets& widgets,
                    Window window);
    ~TRowsController();
    TRowsController(const TRowsController&) = delete;
    TRowsController& operator=(const TRowsController&) = delete;

    // The rows made anew for the folder the shell list shows.
    void rebuild();
    // The shell list merged a change on disk: the rows follow it, and the
    // selection and the property page stay while their file is there.
    void merged();
    // The shell list found the same files after a change on disk: the rows
    // whose file was written since they were read are read again.
    void rewritten();
    void rebuildKeepingSelection();
    void rereadRow(int row);
    void setRowName(int row, const QString& name);
    // The row of a path, -1 for none.
    int findRow(const QString& path) const;
    // After the page's save: the list read again, the row after the file's
    // selected.
    void selectRowAfterSaved(const QString& path);
    void selectAll();

    // The folder the rows are of.
    const QString& shownFolder() const { return shownFolder_; }
    // A selection change the program makes itself (a rebuild, the move to
    // the next row): it never asks about unsaved edits.
    bool quiet() const { return quiet_ > 0; }

private:
    class QuietSelection;

    QString rowPath(int row) const;
    const QString& rowName(int row) const;
    // The path of the first row shown after this one, wrapping; empty for none.
    QString nextShownPath(int row) const;
    void refreshRewrittenRows();
    bool deferredWhileBusy(bool& pending, void (TRowsController::*again)());
    // A row's name: a name that is not UTF-8 is shown as its code page reads
    // it and kept whole.
    void nameRow(TReportRow& row, const QString& name) const;
    // A row's tags and stamp read from its file in the folder.
    void readRowTags(TReportRow& row, const QString& folder) const;

    const operations::Core& core_;
    TPageController& page_;
    Widgets w_;
    Window window_;
    std::unique_ptr<TID3v1> tagV1_;
    std::unique_ptr<TID3v2> tagV2_;
    int quiet_ = 0;               // QuietSelection depth
    bool rebuildPending_ = false; // a merge came while the list was busy
    bool rereadPending_ = false;  // so did a write to a listed file
    QString shownFolder_;         // the folder the rows are of
};
