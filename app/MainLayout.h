#pragma once

#include <QIcon>
#include <QList>

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMainWindow;
class QMenu;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSplitter;
class QStatusBar;
class QTabWidget;
class QWidget;
class TRadioGroup;
class TReportList;
class TShellLink;
class TShellList;
class TShellTree;

// The main window's components, created and placed as the window is designed:
// each carries its name as its objectName, so that tests find them as a user
// would. The window's behaviour lives in TFormMain; this is only the build.
struct TFormMainLayout {
    void setupUi(QMainWindow* window);
    // The properties the components are designed with, applied in the order
    // they expect while the form loads; then the components are loaded.
    void applyDesignedProperties();
    // The progress bar over the status bar's second panel, hidden until a
    // batch runs.
    QProgressBar* createProgressBar();

    // Menus.
    QMenu* F1 = nullptr;
    QAction* MenuReFlash = nullptr;
    QAction* MenuItemOption = nullptr;
    QAction* N1 = nullptr;
    QAction* MenuItemExit = nullptr;
    QMenu* E1 = nullptr;
    QAction* MenuUndo = nullptr;
    QAction* MenuRedo = nullptr;
    QAction* MenuHistory = nullptr;
    QMenu* H1 = nullptr;
    QAction* MenuItemAbout = nullptr;
    QMenu* PopupMenuTree = nullptr;
    QAction* MenuCreSub = nullptr;
    QAction* MenuDelSub = nullptr;
    QMenu* PopupMenuList = nullptr;
    QAction* MenuDelFile = nullptr;
    QAction* MenuSelAll = nullptr;
    QAction* MenuEncoding = nullptr;
    QAction* MenuFixName = nullptr;
    QAction* MenuFrames = nullptr;
    QAction* MenuLyricsImport = nullptr;
    QAction* MenuLyricsExport = nullptr;
    QAction* MenuTools = nullptr;
    QMenu* PopupMenuProp = nullptr;
    QAction* MenuTitle = nullptr;
    QAction* MenuArtist = nullptr;
    QAction* MenuAlbum = nullptr;
    QAction* MenuYear = nullptr;
    QAction* MenuGenre = nullptr;
    QAction* MenuComment = nullptr;
    QAction* MenuTrack = nullptr;
    QAction* MenuDisc = nullptr;
    QAction* MenuAlbumArtist = nullptr;
    QMenu* PopupMenuCover = nullptr; // the cover's context menu
    QAction* MenuCoverSet = nullptr;
    QAction* MenuCoverRemove = nullptr;
    QAction* MenuCoverSave = nullptr;

    // Left: the folder tree.
    QSplitter* SplitterVer = nullptr;
    QWidget* PanelLeft = nullptr;
    TShellTree* ShellTree = nullptr;

    // Right: the report list above the pages, the hidden shell list under it.
    QWidget* PanelMain = nullptr;
    TShellList* ShellList = nullptr;
    QLabel* LabelFilter = nullptr;
    QLineEdit* EditFilter = nullptr; // keeps the rows that contain its text
    QSplitter* SplitterHor = nullptr;
    TReportList* ListViewMain = nullptr;
    QTabWidget* PageCtrlMain = nullptr;

    // Page 0: batch tag change and the copies.
    QWidget* TabShMProp = nullptr;
    QCheckBox* CheckBoxTitle = nullptr;
    QCheckBox* CheckBoxArtist = nullptr;
    QCheckBox* CheckBoxAlbum = nullptr;
    QLineEdit* EditMTitle = nullptr;
    QLineEdit* EditMArtist = nullptr;
    QLineEdit* EditMAlbum = nullptr;
    TRadioGroup* RadioGrpMTitle = nullptr;
    TRadioGroup* RadioGrpMArtist = nullptr;
    TRadioGroup* RadioGrpMAlbum = nullptr;
    // The fields below the first three, in the order of their placeholders.
    QCheckBox* CheckBoxYear = nullptr;
    QCheckBox* CheckBoxGenre = nullptr;
    QCheckBox* CheckBoxComment = nullptr;
    QCheckBox* CheckBoxTrack = nullptr;
    QCheckBox* CheckBoxDisc = nullptr;
    QCheckBox* CheckBoxAlbumArtist = nullptr;
    QLineEdit* EditMYear = nullptr;
    QLineEdit* EditMGenre = nullptr;
    QLineEdit* EditMComment = nullptr;
    QLineEdit* EditMTrack = nullptr;
    QLineEdit* EditMDisc = nullptr;
    QLineEdit* EditMAlbumArtist = nullptr;
    TRadioGroup* RadioGrpMYear = nullptr;
    TRadioGroup* RadioGrpMGenre = nullptr;
    TRadioGroup* RadioGrpMComment = nullptr;
    TRadioGroup* RadioGrpMTrack = nullptr;
    TRadioGroup* RadioGrpMDisc = nullptr;
    TRadioGroup* RadioGrpMAlbumArtist = nullptr;
    QPushButton* BtnV1V2 = nullptr;
    QPushButton* BtnV2V1 = nullptr;
    QPushButton* BtnChgMProp = nullptr;
    QLineEdit* EditNamePattern = nullptr; // "文件名格式": fields out of file names
    QLabel* LabelMPreview = nullptr;      // what the run would set on the first row

    // Page 1: batch renaming.
    QWidget* TabShFileName = nullptr;
    TRadioGroup* RadioGrpFileName = nullptr;
    QLineEdit* EditNameFormat = nullptr;
    QPushButton* BtnAddProp = nullptr;
    QFrame* PanelProp = nullptr;
    QLabel* LabelNamePreview = nullptr; // the first row's new name, or why it gets none
    QPushButton* BtnFileName = nullptr;

    // Page 2: single-file editing.
    QWidget* TabShProp = nullptr;
    QLineEdit* EditFile = nullptr;
    QLabel* LabelV1Fit = nullptr; // what ID3v1 will cut of the page
    QLineEdit* EditTitle = nullptr;
    QLineEdit* EditArt = nullptr;
    QLineEdit* EditAlbum = nullptr;
    QLineEdit* EditYear = nullptr;
    QComboBox* ComboGenre = nullptr;
    QLineEdit* EditComment = nullptr;
    QLineEdit* EditTrack = nullptr; // "n" or "n/total"
    QLineEdit* EditDisc = nullptr;
    QLineEdit* EditAlbumArtist = nullptr;
    QLineEdit* EditComposer = nullptr;
    QLabel* LabelLyrics = nullptr; // whether the file holds lyrics: shown, not edited
    QPushButton* BtnLsn = nullptr;
    QPushButton* BtnChgProp = nullptr;
    QLabel* LabelCover = nullptr; // the file's front cover, right of the fields

    // Page 3: the log.
    QWidget* TabShLog = nullptr;
    QPlainTextEdit* MemoLog = nullptr;

    // Status bar: panel 0 the operation, 1 under the progress bar, 2 the totals.
    QStatusBar* StatusBarMain = nullptr;
    QLabel* StatusBarPanel0 = nullptr;
    QLabel* StatusBarPanel1 = nullptr;
    QLabel* StatusBarPanel2 = nullptr;

    // Non-visual components.
    TShellLink* ShellLink = nullptr;
    QList<QIcon> ImageListMain;

private:
    void setupMenus(QMainWindow* window);
    void setupPanels(QMainWindow* window);
    void setupListView();
    void setupBatchPage();
    void setupRenamePage();
    void setupPropertyPage();
    void setupLogPage();
    void setupStatusBar(QMainWindow* window);
};
