#include "app/main.h"

#include "about/About.h"
#include "app/Application.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "app/Option.h"
#include "operations/FileCommands.h"
#include "operations/Renaming.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"
#include "operations/V1Target.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "platform/MediaPlayers.h"
#include "platform/NativePath.h"
#include "player/Listen.h"
#include "player/Winamp.h"
#include "settings/IniFile.h"
#include "shell/ShellControls.h"
#include "shell/ShellLink.h"
#include "widgets/PlayerChooser.h"
#include "widgets/RadioGroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QStatusBar>
#include <QTabWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPropertyPage = 2;

// The media players running on the session bus: offered when the listen
// button has no player it can start.
std::vector<widgets::PlayerChoice> playersOnBus()
{
    std::vector<widgets::PlayerChoice> choices;
    for (const platform::MediaPlayer& player :
         platform::MediaPlayersOnBus(QDBusConnection::sessionBus()))
        choices.push_back({player.name, player.program});
    return choices;
}

QString inputBox(QWidget* parent, const QString& caption, const QString& prompt,
                 const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : defaultText;
}

} // namespace

TFormMain::TFormMain(QWidget* parent) : TFormMain(QString(), parent) {}

TFormMain::TFormMain(const QString& startPath, QWidget* parent)
    : QMainWindow(parent), startPath_(startPath)
{
    ui.setupUi(this);
    history_ = std::make_unique<THistoryController>(
        core_,
        THistoryController::Widgets{ui.E1, ui.MenuUndo, ui.MenuRedo, ui.MenuHistory,
                                    ui.StatusBarPanel0},
        THistoryController::Window{windowLinks(), [this] {
                                       // The page's edits were saved or given up before the turn:
                                       // it shows the file as the turn left it. Names came back or
                                       // went: the folder is read again now, not when the directory
                                       // monitor reports it.
                                       page_->page().markUnmodified();
                                       ui.ShellTree->RefreshTree();
                                       ui.ShellList->Populate();
                                       rows_->rebuildKeepingSelection();
                                   }});
    Winamp = new TWinamp(this);
    Winamp->setObjectName(u"Winamp"_s);
    Winamp->About = u"About..."_s;
    OpenDlg = widgets::playerChooser(playersOnBus);
    InputBox = [this](const QString& caption, const QString& prompt, const QString& text) {
        return inputBox(this, caption, prompt, text);
    };
    ui.applyDesignedProperties();
    // Before the rows: a rebuild fits the name column through it.
    listControls_ = std::make_unique<TListController>(*ui.ListViewMain, *ui.EditFilter);
    createControllers();
    connectHandlers();
    connectPreviews();
    const auto runCommand = [this](const TBatchController::CommandRun& run) {
        batch_->runCommand(run);
    };
    const auto reread = [this] {
        page_->page().markUnmodified();
        rows_->rebuildKeepingSelection();
    };
    cover_ = std::make_unique<TCoverController>(
        core_,
        TCoverController::Widgets{ui.LabelCover, ui.PopupMenuCover, ui.MenuCoverSet,
                                  ui.MenuCoverRemove, ui.MenuCoverSave, ui.EditFile,
                                  ui.PageCtrlMain, ui.StatusBarPanel0},
        TCoverController::Window{windowLinks(), &CoverOpenDlg, &CoverSaveDlg, runCommand, reread});
    frames_ = std::make_unique<TFramesController>(
        core_,
        TFramesController::Widgets{ui.MenuFrames, ui.MenuLyricsImport, ui.MenuLyricsExport,
                                   ui.ListViewMain, ui.PageCtrlMain, ui.StatusBarPanel0},
        TFramesController::Window{windowLinks(), [this](int row) { return rowPath(row); },
                                  runCommand,
                                  [this] {
                                      updateEditMenu();
                                      flushJournalSoon();
                                  },
                                  reread});
    items_ = std::make_unique<TItemsController>(
        TItemsController::Widgets{ui.ListViewMain, ui.ShellTree, ui.ShellList},
        TItemsController::Window{
            windowLinks(), &InputBox, [this] { Winamp->Stop(); },
            [this](operations::StepKind kind, const std::vector<operations::StepFile>& files) {
                recordStep(kind, files);
            }});
    // Folders dropped from a file manager open here.
    setAcceptDrops(true);
    FormCreate();
}

TFormMain::~TFormMain()
{
    // The widgets go after this object's own part is gone; a signal they
    // raise on the way (a list cleared, a page removed) must not reach it.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
    // Nor may the list, laid out as it is hidden, read a row's tags with the
    // readers gone.
    ui.ListViewMain->rows().setReader({});
}

TWindowLinks TFormMain::windowLinks()
{
    return {this,
            [this](const std::function<void()>& handler) { runGuarded(handler); },
            [this](const QString& line) { appendLog(line); },
            [this](const QString& name) { return shownName(name); },
            [this](const QString& path) { return shownPath(path); },
            [this] { return Batch && Batch->running(); },
            [this] {
                return leavePage();
            }};
}

// The property page, the folder's rows, the renaming page and the encoding
// tools, each over the window's list and log.
void TFormMain::createControllers()
{
    const auto frame = [this]() -> TBatchFrame& {
        return *Batch;
    };
    const auto namesChanged = [this] {
        fitNameColumn();
        schedulePreviews();
    };
    page_ = std::make_unique<TPageController>(
        core_,
        TPageController::Widgets{
            {ui.EditTitle, ui.EditArt, ui.EditAlbum, ui.EditYear, ui.ComboGenre, ui.EditComment,
             ui.EditTrack, ui.EditDisc, ui.EditAlbumArtist, ui.EditComposer, ui.LabelV1Fit,
             ui.LabelLyrics},
            ui.EditFile,
            ui.BtnChgProp,
            ui.PageCtrlMain,
            kPropertyPage,
            ui.ListViewMain,
            ui.StatusBarPanel0,
            {ui.BtnChgProp, ui.BtnLsn, ui.BtnChgMProp, ui.BtnV1V2, ui.BtnV2V1, ui.BtnFileName}},
        TPageController::Window{
            windowLinks(), [this](const QString& path) { return rows_->findRow(path); },
            [this](int row) { rows_->rereadRow(row); },
            [this](const QString& path) { cover_->showCover(path); },
            [this] {
                updateEditMenu();
                flushJournalSoon();
            },
            [this](const QString& path) { rows_->selectRowAfterSaved(path); },
            [this](int row) { return rowPath(row); }, [this](int row) { return rowName(row); },
            [this] { return rows_->quiet(); }, [this] { return RefreshEnabled; }, frame,
            [this] {
                rows_->rebuildKeepingSelection();
            }});
    rows_ = std::make_unique<TRowsController>(
        core_, *page_, TRowsController::Widgets{ui.ListViewMain, ui.ShellList, ui.EditFile},
        TRowsController::Window{windowLinks(), [this] { return RefreshEnabled; },
                                [this] { return InLinkChange; }, [this] { ListViewMainChange(); },
                                namesChanged,
                                [this] {
                                    schedulePreviews();
                                }});
    rename_ = std::make_unique<TRenameController>(
        core_,
        TRenameController::Widgets{ui.EditNameFormat,
                                   ui.RadioGrpFileName,
                                   ui.BtnFileName,
                                   ui.BtnAddProp,
                                   ui.PopupMenuProp,
                                   {ui.MenuTitle, ui.MenuArtist, ui.MenuAlbum, ui.MenuYear,
                                    ui.MenuGenre, ui.MenuComment, ui.MenuTrack, ui.MenuDisc,
                                    ui.MenuAlbumArtist},
                                   ui.ShellList,
                                   ui.ListViewMain},
        TRenameController::Window{
            windowLinks(), frame,
            [this](int row, const QString& name) { rows_->setRowName(row, name); },
            [this](operations::StepKind kind, const std::vector<operations::StepFile>& files) {
                recordStep(kind, files);
            },
            [this](bool enabled) { RefreshEnabled = enabled; }, [this] { ClearPropPage(); },
            namesChanged});
    encoding_ = std::make_unique<TEncodingController>(
        core_, *rename_,
        TEncodingController::Widgets{ui.MenuEncoding, ui.MenuFixName, ui.ShellList, ui.ListViewMain,
                                     ui.PageCtrlMain},
        TEncodingController::Window{windowLinks(), frame,
                                    [this] {
                                        RebuildList();
                                        updateEditMenu();
                                        flushJournalSoon();
                                    },
                                    [this] {
                                        fitNameColumn();
                                    }});
    tools_ = std::make_unique<TToolsController>(
        core_, *rename_, TToolsController::Widgets{ui.ShellList, ui.ListViewMain, ui.PageCtrlMain},
        TToolsController::Window{
            windowLinks(), frame,
            [this](const TBatchController::CommandRun& run) { return batch_->runCommand(run); },
            [this] {
                page_->page().markUnmodified();
                rows_->rebuildKeepingSelection();
            },
            namesChanged,
            [this] {
                updateEditMenu();
                flushJournalSoon();
            }});
}

void TFormMain::MenuUndoClick()
{
    history_->undo();
}
void TFormMain::MenuRedoClick()
{
    history_->redo();
}
void TFormMain::MenuHistoryClick()
{
    history_->showHistory();
}
void TFormMain::updateEditMenu()
{
    history_->updateEditMenu();
}

void TFormMain::connectHandlers()
{
    const auto on = [this](auto* sender, auto signal, void (TFormMain::*handler)()) {
        connect(sender, signal, this,
                [this, handler] { runGuarded([this, handler] { (this->*handler)(); }); });
    };
    on(ui.MenuReFlash, &QAction::triggered, &TFormMain::MenuReFlashClick);
    on(ui.MenuItemOption, &QAction::triggered, &TFormMain::MenuItemOptionClick);
    on(ui.MenuItemExit, &QAction::triggered, &TFormMain::MenuItemExitClick);
    on(ui.MenuItemAbout, &QAction::triggered, &TFormMain::MenuItemAboutClick);
    on(ui.MenuUndo, &QAction::triggered, &TFormMain::MenuUndoClick);
    on(ui.MenuRedo, &QAction::triggered, &TFormMain::MenuRedoClick);
    on(ui.MenuHistory, &QAction::triggered, &TFormMain::MenuHistoryClick);
    history_->routeEditKeys();
    on(ui.ListViewMain->selectionModel(), &QItemSelectionModel::selectionChanged,
       &TFormMain::ListViewMainChange);
    on(ui.PopupMenuList, &QMenu::aboutToShow, &TFormMain::PopupMenuListPopup);
    connect(ui.MenuSelAll, &QAction::triggered, this,
            [this] { runGuarded([this] { rows_->selectAll(); }); });
    on(ui.BtnLsn, &QPushButton::clicked, &TFormMain::BtnLsnClick);

    ui.ShellLink->OnChange = [this](QObject*) {
        runGuarded([this] { ShellLinkChange(); });
    };
    ui.ShellList->OnMerged = [this](QObject*) {
        runGuarded([this] { rows_->merged(); });
    };
    ui.ShellList->OnRewritten = [this](QObject*) {
        runGuarded([this] { rows_->rewritten(); });
    };
    ui.ShellTree->OnClick = [this](QObject*) {
        runGuarded([this] { ShellTreeClick(); });
    };
    ui.ShellTree->OnOperation = [this](QObject*, TShellOperations operation,
                                       const QStringList& files, const QString& destination) {
        runGuarded([&] { ShellTreeOperation(operation, files, destination); });
    };
    ui.ShellTree->OnDragOver = [this](QObject*, QObject* source, int, int, bool& accept) {
        accept = items_->ShellTreeDragOver(source);
    };
    ui.ShellTree->OnDragDrop = [this](QObject*, QObject* source, int x, int y) {
        runGuarded([&] { items_->ShellTreeDragDrop(source, x, y); });
    };
    // The controllers' commands, made once FormCreate has made them.
    const auto onBatch = [this](QPushButton* button, void (TBatchController::*handler)()) {
        connect(button, &QPushButton::clicked, this,
                [this, handler] { runGuarded([this, handler] { (batch_.get()->*handler)(); }); });
    };
    onBatch(ui.BtnChgMProp, &TBatchController::BtnChgMPropClick);
    onBatch(ui.BtnV1V2, &TBatchController::BtnV1V2Click);
    onBatch(ui.BtnV2V1, &TBatchController::BtnV2V1Click);
    const auto onItems = [this](QAction* action, void (TItemsController::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { runGuarded([this, handler] { (items_.get()->*handler)(); }); });
    };
    onItems(ui.MenuDelFile, &TItemsController::MenuDelFileClick);
    onItems(ui.MenuCreSub, &TItemsController::MenuCreSubClick);
    connect(ui.MenuTools, &QAction::triggered, this,
            [this] { runGuarded([this] { tools_->MenuToolsClick(); }); });
    connect(ui.ListViewMain, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        ui.PopupMenuList->popup(ui.ListViewMain->viewport()->mapToGlobal(p));
    });
    ui.ListViewMain->viewport()->installEventFilter(this);
    ui.StatusBarMain->installEventFilter(this);
}

void TFormMain::runGuarded(const std::function<void()>& handler)
{
    try {
        handler();
    } catch (const std::exception& e) {
        ShowException(e, this);
    }
}

bool TFormMain::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == ui.ListViewMain->viewport() && event->type() == QEvent::MouseButtonDblClick) {
        runGuarded([this] { rows_->selectAll(); }); // a double-click selects every row
        return true;
    }
    if (watched == ui.StatusBarMain && ProgressBar &&
        (event->type() == QEvent::Resize || event->type() == QEvent::LayoutRequest)) {
        const QRect panel = ui.StatusBarPanel1->geometry();
        ProgressBar->setGeometry(panel.left(), 2, panel.width(), ui.StatusBarMain->height() - 2);
    }
    return QMainWindow::eventFilter(watched, event);
}

// ---------------------------------------------------------------- start-up

void TFormMain::FormCreate()
{
    try {
        InLinkChange = false;
        const TIniFile ini;
        createProgressBar();
        // Interrupted writes are finished before any tag is read.
        history_->openJournal();
        RefreshEnabled = true;
        for (const char* name : GenreNames)
            ui.ComboGenre->addItem(QString::fromLatin1(name));
        ui.ComboGenre->setCurrentIndex(-1);
        WinampPath = settings::readWinampPath(ini);
        Winamp->PathToWinAmp = WinampPath;
        StartPosition = settings::readStartPosition(ini);
        readCoreSettings(ini);
        page_->setCaption();
        Place start;
        try {
            start = startPath_.isEmpty() ? Place{settings::readLastFolder(ini), {}}
                                         : placeOf(startPath_);
        } catch (const std::exception& e) {
            ShowException(e, this); // a start path that is not there
            start = {settings::readLastFolder(ini), {}};
        }
        try {
            ui.ShellList->setPath(start.folder);
        } catch (const std::exception& e) {
            // A folder that is gone (an unplugged stick): say so, then show
            // the home folder rather than an empty window.
            ShowException(e, this);
            ui.ShellList->setPath(settings::defaultFolder());
        }
        ui.PageCtrlMain->setCurrentIndex(kPropertyPage);
        RebuildList();
        if (!start.file.isEmpty())
            selectFile(start.file);
    } catch (const std::exception& e) {
        // The window opens with what was done until then.
        ShowException(e, this);
    }
}

void TFormMain::createProgressBar()
{
    ProgressBar = ui.createProgressBar();
    Batch = std::make_unique<TBatchFrame>(TBatchFrame::Widgets{
        ui.PageCtrlMain, ProgressBar, ui.StatusBarPanel0, ui.StatusBarPanel2, ui.MemoLog});
    batch_ = std::make_unique<TBatchController>(
        core_, *Batch,
        TBatchController::Widgets{ui.ListViewMain, batchChecks(), batchEdits(), batchSources(),
                                  ui.EditNamePattern, ui.LabelMPreview},
        TBatchController::Window{windowLinks(), [this](int row) { return rowPath(row); },
                                 [this] { RebuildList(); },
                                 [this] {
                                     updateEditMenu();
                                 }});
}

void TFormMain::readCoreSettings(const TIniFile& ini)
{
    core_.setSettings({settings::readShowId(ini),
                       settings::readTextEncoding(ini) == settings::TextEncoding::Gbk,
                       settings::readLegacyCodePage(ini)});
}

void TFormMain::changeEvent(QEvent* event)
{
    // The command line writes to the same history: a step it made while the
    // user was away is the next undo once the user comes back.
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        updateEditMenu();
    QMainWindow::changeEvent(event);
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    try {
        if (!leavePage()) {
            event->ignore();
            return;
        }
        TIniFile ini;
        settings::writeLastFolder(ini, ui.ShellList->Path());
        saveWindowState();
        event->accept();
    } catch (const std::exception& e) {
        ShowException(e, this);
        event->ignore();
    }
}

// ---------------------------------------------------------------- menus

void TFormMain::MenuReFlashClick()
{
    if (!leavePage())
        return;
    ui.ShellTree->RefreshTree();
    ui.ShellList->Populate();
    RebuildList();
}

void TFormMain::MenuItemOptionClick()
{
    if (!leavePage())
        return;
    if (FormOption)
        FormOption->exec();
    const TIniFile ini;
    readCoreSettings(ini);
    RebuildList();
    page_->setCaption();
}

void TFormMain::MenuItemExitClick()
{
    if (!leavePage())
        return;
    // The folder is kept only by the close button; the window's place always.
    runGuarded([this] { saveWindowState(); });
    QCoreApplication::exit(0);
}

void TFormMain::MenuItemAboutClick()
{
    if (AboutBox)
        AboutBox->exec();
}

// ---------------------------------------------------------------- the list

QString TFormMain::rowPath(int row) const
{
    return ui.ShellList->Path() + rowName(row);
}

const QString& TFormMain::rowName(int row) const
{
    return ui.ListViewMain->rows().name(row);
}

std::vector<int> TFormMain::selectedRows() const
{
    return ui.ListViewMain->selectedRows();
}

QString TFormMain::shownName(const QString& name) const
{
    return core_.shownName(name);
}

QString TFormMain::shownPath(const QString& path) const
{
    // Folder by folder: a GBK folder may hold a UTF-8 name, and the other
    // way round.
    QStringList parts = path.split(u'/');
    for (QString& part : parts) {
        if (!part.isEmpty())
            part = shownName(part);
    }
    return parts.join(u'/');
}

void TFormMain::appendLog(const QString& line)
{
    if (Batch)
        Batch->appendLog(line);
    else
        ui.MemoLog->appendPlainText(line);
}

void TFormMain::RebuildList()
{
    rows_->rebuild();
}

// ---------------------------------------------------------------- the page

void TFormMain::ShellLinkChange()
{
    if (InLinkChange)
        return;
    const QScopedValueRollback inLinkChange(InLinkChange, true);
    const QString folder = ui.ShellList->Path();
    if (!rows_->shownFolder().isEmpty() && folder != rows_->shownFolder() && !leavePage()) {
        // The user stays with the edits: the list and the tree go back to
        // the folder the rows are of.
        ui.ShellList->setPath(rows_->shownFolder());
        return;
    }
    // The folder shown already (a change that was taken back, say): the
    // typed edits stay.
    if (folder == rows_->shownFolder() && page_->page().isModified())
        rows_->rebuildKeepingSelection();
    else
        RebuildList();
}

void TFormMain::ListViewMainChange()
{
    page_->selectionChanged();
}

bool TFormMain::leavePage(const QString& nextFile)
{
    return page_->leave(nextFile.isEmpty() ? QStringList() : QStringList{nextFile});
}

void TFormMain::ClearPropPage()
{
    page_->clear();
}

void TFormMain::ShellTreeClick()
{
    // With unsaved edits the rows stay selected: a change of folder asks
    // about them, and a click on the folder shown changes nothing.
    if (page_->page().isModified() && !ui.EditFile->text().isEmpty())
        return;
    ui.ListViewMain->clearSelection();
}

void TFormMain::PopupMenuListPopup()
{
    const std::vector<int> rows = selectedRows();
    ui.MenuDelFile->setEnabled(!rows.empty());
    ui.MenuEncoding->setEnabled(!rows.empty());
    ui.MenuTools->setEnabled(!rows.empty());
    frames_->updateMenu(int(rows.size()));
    ui.MenuFixName->setEnabled(std::any_of(rows.begin(), rows.end(), [this](int row) {
        return ui.ListViewMain->row(row).legacyName;
    }));
}

// ---------------------------------------------------------------- one file

void TFormMain::BtnLsnClick()
{
    TIniFile ini;
    player::Listen(
        *Winamp, page_->files().value(0), WinampPath, StartPosition,
        [this] { return OpenDlg(this); },
        [&ini](const QString& path) { settings::writeWinampPath(ini, path); });
}
