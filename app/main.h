#pragma once

#include "app/BatchController.h"
#include "app/BatchFrame.h"
#include "app/CoverController.h"
#include "app/EncodingController.h"
#include "app/FramesController.h"
#include "app/HistoryController.h"
#include "app/ItemsController.h"
#include "app/ListController.h"
#include "app/MainLayout.h"
#include "app/PageController.h"
#include "app/RenameController.h"
#include "app/ReportList.h"
#include "app/RowsController.h"
#include "app/ToolsController.h"
#include "operations/Core.h"
#include "operations/NameBatch.h"
#include "operations/RenamePlan.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "operations/TagWrites.h"
#include "platform/LegacyText.h"
#include "settings/IniFile.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "widgets/OpenDlg.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QDragEnterEvent;
class QDropEvent;
class QProgressBar;
class QTimer;
class TAboutBox;
class TFormOption;
class TWinamp;

// The main window: the folder tree on the left, the current folder's MP3
// files in a report list on the right, above four pages of operations.
//
// Every operation on files ends in RebuildList or ClearPropPage. The batch
// operations run inside the batch frame (app/BatchFrame.h); what they do to
// each file lives in operations/.
class TFormMain : public QMainWindow {
    Q_OBJECT

    // What the window shares with the command line: the settings, the legacy
    // text rules, the journal and its history. First: ShowId refers to it.
    operations::Core core_;

public:
    explicit TFormMain(QWidget* parent = nullptr);
    // Started on a folder, or on an MP3 file to select in its folder, in
    // place of the folder of the settings.
    explicit TFormMain(const QString& startPath, QWidget* parent = nullptr);
    ~TFormMain() override;

    // The components, by their names.
    TFormMainLayout ui;
    TWinamp* Winamp = nullptr;
    // The open dialog of the listen button; tests put their own here.
    widgets::FileChooser OpenDlg;

    // Fields.
    int& ShowId = core_.showId();
    bool RefreshEnabled = false;
    bool InLinkChange = false;
    QString WinampPath;
    int StartPosition = 0;
    QProgressBar* ProgressBar = nullptr;

    // The other forms of the program, created after this one.
    TFormOption* FormOption = nullptr;
    TAboutBox* AboutBox = nullptr;

    // The file list and the property page.
    void RebuildList();
    void ClearPropPage();
    void appendLog(const QString& line);
    // The rows of the report list, by their index in list order: the file's
    // path (the folder the list shows, "/" at its end, + its name) and its
    // name in the folder.
    QString rowPath(int row) const;
    const QString& rowName(int row) const;
    // The selected rows, in list order.
    std::vector<int> selectedRows() const;

    // Start-up and the commands of the menus.
    void FormCreate();
    void MenuReFlashClick();
    void MenuItemOptionClick();
    void MenuItemExitClick();
    void MenuItemAboutClick();

    // Undo and redo of the steps in the journal (app/HistoryController.h).
    void MenuUndoClick();
    void MenuRedoClick();
    void MenuHistoryClick();
    // The journal of changes and its history; null when the journal could
    // not be opened (saves then go through staged copies, and nothing can
    // be undone).
    operations::Journal* journal() const { return core_.journal(); }
    // The settings, text rules and journal the window shares with the command line.
    const operations::Core& core() const { return core_; }

    // The list and the tree.
    void ShellLinkChange();
    void ListViewMainChange();
    void ShellTreeClick();
    void PopupMenuListPopup();

    // Listening to the file the property page shows.
    void BtnLsnClick();

    // A folder deleted, renamed or cut and pasted through the folder tree's
    // menu becomes a step of the history (app/TreeSteps.cpp); `operation` is
    // a ShellOperation of shell/ShellControlSupport.h.
    void ShellTreeOperation(quint32 operation, const QStringList& files,
                            const QString& destination);

    // The input box of "新建子目录(&C)"; tests put their own here. Gives the
    // typed text, or the default on Cancel.
    TItemsController::InputBox InputBox;

    // The desktop (app/Desktop.cpp): shows the window where it was left,
    // its splitters and columns as they were; saves them at the end. Opens a
    // folder, or a file's folder selecting the file; throws for a path that
    // is neither.
    void showRestored();
    void saveWindowState();
    void openPlace(const QString& path);

    // The dialogs of the cover's menu (app/CoverController.h) asking for the
    // picture and for the file to save it in; tests put their own here.
    widgets::FileChooser CoverOpenDlg;
    std::function<QString(QWidget* parent, const QString& proposedPath)> CoverSaveDlg;

protected:
    void closeEvent(QCloseEvent* event) override; // FormClose
    void changeEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // A file's name as the list shows it; names in legacy bytes decoded.
    QString shownName(const QString& name) const;
    // A path as the log shows it: each of its names as the list would.
    QString shownPath(const QString& path) const;

    struct Place {
        QString folder; // ends in "/"
        QString file;   // empty for a folder
    };
    static Place placeOf(const QString& path);
    void selectFile(const QString& file);
    // The name column fitted to the names, unless the user sized the columns.
    void fitNameColumn();

    // What every controller needs of the window.
    TWindowLinks windowLinks();
    void connectHandlers();
    void createProgressBar();
    void createControllers();
    // The settings the core keeps, read at start-up and after the options dialog.
    void readCoreSettings(const TIniFile& ini);

    // Unsaved edits on the property page: asks "保存修改吗?" before the page
    // shows another file (or none); false when the user chose to stay, or
    // the save failed (app/PageController.h).
    bool leavePage(const QString& nextFile = QString());
    void runGuarded(const std::function<void()>& handler);

    // The previews of the renaming page and of the batch page, for the first
    // selected row, worked out once a burst of events (typing, selecting
    // thousands of rows) is through, and only for the page that is shown.
    void connectPreviews();
    void schedulePreviews();
    void showNamePreview();
    std::array<QCheckBox*, TBatchController::kFields> batchChecks() const;
    std::array<QLineEdit*, TBatchController::kFields> batchEdits() const;
    std::array<TRadioGroup*, TBatchController::kFields> batchSources() const;

    // The batch runs of the window, in the batch controller.
    using BatchRun = TBatchController::BatchRun;
    using AfterWrite = TBatchController::AfterWrite;
    void runBatch(const BatchRun& run) { batch_->runBatch(run); }
    void queueWrite(tags::TagChange change, AfterWrite then)
    {
        batch_->queueWrite(std::move(change), std::move(then));
    }
    void flushJournalSoon() { batch_->flushJournalSoon(); }
    void recordStep(operations::StepKind kind, const std::vector<operations::StepFile>& files)
    {
        batch_->recordStep(kind, files);
    }

    // The Edit menu's items enabled as the history allows.
    void updateEditMenu();

    std::unique_ptr<TBatchFrame> Batch;
    std::unique_ptr<TBatchController> batch_;
    std::unique_ptr<TItemsController> items_;
    std::unique_ptr<TPageController> page_;
    std::unique_ptr<THistoryController> history_;
    std::unique_ptr<TCoverController> cover_;
    std::unique_ptr<TFramesController> frames_;
    std::unique_ptr<TRenameController> rename_;
    std::unique_ptr<TRowsController> rows_;
    std::unique_ptr<TEncodingController> encoding_;
    std::unique_ptr<TToolsController> tools_;
    std::unique_ptr<TListController> listControls_; // the header's menu, the filter
    QTimer* previewTimer_ = nullptr;
    QString startPath_;
};
