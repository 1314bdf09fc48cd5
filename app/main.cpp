#include "app/main.h"

#include "about/About.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "operations/FileCommands.h"
#include "operations/Renaming.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "platform/CodePage.h"
#include "platform/FileOps.h"
#include "player/Listen.h"
#include "player/Winamp.h"
#include "settings/IniFile.h"
#include "settings/Option.h"
#include "shell/ShellControls.h"
#include "shell/ShellLink.h"
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
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

namespace {

constexpr int kPropertyPage = 2;
// A row's comment has no column of its own: it is kept for the renaming
// pattern in a hidden column after the five tag columns.
constexpr int kCommentColumn = 6;
// Whether the row has its six tag cells (a file that could not be read has
// only its name).
constexpr int kHasTagRole = Qt::UserRole + 1;

QString inputBox(QWidget* parent, const QString& caption, const QString& prompt,
                 const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(parent, caption, prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : defaultText;
}

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

} // namespace

const std::array<QString, 3>& TFormMain::ShowIdNames()
{
    static const std::array<QString, 3> names{u"ID3v1"_s, u"ID3v2"_s, u"ID3v2优先"_s};
    return names;
}

TFormMain::TFormMain(QWidget* parent) : QMainWindow(parent)
{
    ui.setupUi(this);
    Winamp = new TWinamp(this);
    Winamp->setObjectName(u"Winamp"_s);
    Winamp->About = u"About..."_s;
    OpenDlg = widgets::executableChooser(u"Winamp的位置"_s, u"Winamp播放器"_s, u"Winamp.exe"_s);
    InputBox = [this](const QString& caption, const QString& prompt, const QString& text) {
        return inputBox(this, caption, prompt, text);
    };
    applyDesignedProperties();
    connectHandlers();
    FormCreate();
}

TFormMain::~TFormMain() = default;

// The properties the window is designed with, applied in the order the
// components expect while the form loads; then the components are loaded.
void TFormMain::applyDesignedProperties()
{
    TShellTree* tree = ui.ShellTree;
    TShellList* list = ui.ShellList;
    tree->setLoading(true);
    list->setLoading(true);

    tree->setShellLink(ui.ShellLink);
    tree->setRootedAt(SF_DESKTOP);
    tree->setSelectedFolder(settings::defaultFolder());
    tree->setOleDragDrop(false);
    tree->setShellContextMenu(true);
    tree->setFileSystemOnly(true);
    tree->setShowFiles(false);
    tree->setFilter(u"*"_s);
    tree->setRootIsDecorated(false);
    tree->setIndentation(19);
    tree->setPopupMenu(ui.PopupMenuTree);

    list->setShellLink(ui.ShellLink);
    list->setFilter(u"*.mp3"_s);
    list->setPath(settings::defaultFolder());
    list->setFileSystemOnly(true);
    list->setShowHidden(true);
    list->setReadOnly(true);
    list->setOleDragDrop(false);
    list->setShellContextMenu(true);

    tree->setLoading(false);
    list->setLoading(false);
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
    on(ui.ListViewMain, &QTreeWidget::itemSelectionChanged, &TFormMain::ListViewMainChange);
    on(ui.PopupMenuList, &QMenu::aboutToShow, &TFormMain::PopupMenuListPopup);
    on(ui.MenuSelAll, &QAction::triggered, &TFormMain::MenuSelAllClick);
    on(ui.MenuDelFile, &QAction::triggered, &TFormMain::MenuDelFileClick);
    on(ui.MenuCreSub, &QAction::triggered, &TFormMain::MenuCreSubClick);
    on(ui.BtnChgProp, &QPushButton::clicked, &TFormMain::BtnChgPropClick);
    on(ui.BtnLsn, &QPushButton::clicked, &TFormMain::BtnLsnClick);
    on(ui.BtnChgMProp, &QPushButton::clicked, &TFormMain::BtnChgMPropClick);
    on(ui.BtnV1V2, &QPushButton::clicked, &TFormMain::BtnV1V2Click);
    on(ui.BtnV2V1, &QPushButton::clicked, &TFormMain::BtnV2V1Click);
    on(ui.BtnFileName, &QPushButton::clicked, &TFormMain::BtnFileNameClick);
    on(ui.BtnAddProp, &QPushButton::clicked, &TFormMain::BtnAddPropClick);
    on(ui.EditNameFormat, &QLineEdit::textChanged, &TFormMain::EditNameFormatChange);
    ui.RadioGrpFileName->OnClick = [this](QObject*) {
        runGuarded([this] { RadioGrpFileNameClick(); });
    };

    const std::array<std::pair<QAction*, QString>, 6> placeholders{{{ui.MenuTitle, u"%1"_s},
                                                                    {ui.MenuArtist, u"%2"_s},
                                                                    {ui.MenuAlbum, u"%3"_s},
                                                                    {ui.MenuYear, u"%4"_s},
                                                                    {ui.MenuGenre, u"%5"_s},
                                                                    {ui.MenuComment, u"%6"_s}}};
    for (const auto& [action, placeholder] : placeholders)
        connect(action, &QAction::triggered, this,
                [this, p = placeholder] { insertPlaceholder(p); });

    ui.ShellLink->OnChange = [this](QObject*) {
        runGuarded([this] { ShellLinkChange(); });
    };
    ui.ShellTree->OnClick = [this](QObject*) {
        runGuarded([this] { ShellTreeClick(); });
    };
    ui.ShellTree->OnDragOver = [this](QObject*, QObject* source, int, int, bool& accept) {
        accept = ShellTreeDragOver(source);
    };
    ui.ShellTree->OnDragDrop = [this](QObject*, QObject* source, int x, int y) {
        runGuarded([&] { ShellTreeDragDrop(source, x, y); });
    };
    connect(ui.ListViewMain, &QWidget::customContextMenuRequested, this, [this](const QPoint& p) {
        ui.PopupMenuList->popup(ui.ListViewMain->viewport()->mapToGlobal(p));
    });
    ui.ListViewMain->viewport()->installEventFilter(this);

    // Enter in any field of the property page saves, as a default button would.
    for (QLineEdit* edit : {ui.EditTitle, ui.EditArt, ui.EditAlbum, ui.EditYear, ui.EditComment})
        connect(edit, &QLineEdit::returnPressed, ui.BtnChgProp, &QPushButton::click);
    connect(ui.ComboGenre->lineEdit(), &QLineEdit::returnPressed, ui.BtnChgProp,
            &QPushButton::click);
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
        runGuarded([this] { ListViewMainDblClick(); });
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
        TagV1 = std::make_unique<TID3v1>();
        TagV2 = std::make_unique<TID3v2>();
        RefreshEnabled = true;
        for (const char* name : GenreNames)
            ui.ComboGenre->addItem(QString::fromLatin1(name));
        ui.ComboGenre->setCurrentIndex(-1);
        WinampPath = settings::readWinampPath(ini);
        Winamp->PathToWinAmp = WinampPath;
        StartPosition = settings::readStartPosition(ini);
        ShowId = settings::readShowId(ini);
        setPropertyCaption();
        ui.ShellList->setPath(settings::readLastFolder(ini));
        ui.PageCtrlMain->setCurrentIndex(kPropertyPage);
        RebuildList();
    } catch (const std::exception& e) {
        // The window opens with what was done until then.
        ShowException(e, this);
    }
}

void TFormMain::createProgressBar()
{
    ProgressBar = new QProgressBar(ui.StatusBarMain);
    ProgressBar->setObjectName(u"ProgressBar"_s);
    ProgressBar->setTextVisible(false);
    const QRect panel = ui.StatusBarPanel1->geometry();
    ProgressBar->setGeometry(ui.StatusBarPanel0->width() + 2, 2, panel.width(),
                             ui.StatusBarMain->height() - 2);
    ProgressBar->hide();
    Batch = std::make_unique<TBatchFrame>(
        TBatchFrame::Widgets{ui.PageCtrlMain, ProgressBar, ui.StatusBarPanel0, ui.StatusBarPanel2});
}

void TFormMain::setPropertyCaption()
{
    const QString name =
        ShowId >= 0 && ShowId < 3 ? ShowIdNames()[std::size_t(ShowId)] : QString::number(ShowId);
    ui.PageCtrlMain->setTabText(kPropertyPage, u"属性编辑("_s + name + u')');
}

void TFormMain::closeEvent(QCloseEvent* event)
{
    try {
        TIniFile ini;
        settings::writeLastFolder(ini, ui.ShellList->Path());
        event->accept();
    } catch (const std::exception& e) {
        ShowException(e, this);
        event->ignore();
    }
}

// ---------------------------------------------------------------- menus

void TFormMain::MenuReFlashClick()
{
    ui.ShellTree->RefreshTree();
    ui.ShellList->Populate();
    RebuildList();
}

void TFormMain::MenuItemOptionClick()
{
    if (FormOption)
        FormOption->exec();
    const TIniFile ini;
    ShowId = settings::readShowId(ini);
    RebuildList();
    setPropertyCaption();
}

void TFormMain::MenuItemExitClick()
{
    QCoreApplication::exit(0);
}

void TFormMain::MenuItemAboutClick()
{
    if (AboutBox)
        AboutBox->exec();
}

// ---------------------------------------------------------------- the list

QString TFormMain::rowPath(const QTreeWidgetItem* row) const
{
    return ui.ShellList->Path() + row->text(0);
}

void TFormMain::appendLog(const QString& line)
{
    ui.MemoLog->appendPlainText(line);
}

void TFormMain::RebuildList()
{
    if (!RefreshEnabled)
        return;
    ui.ListViewMain->clear();
    const QString folder = ui.ShellList->Path();
    std::optional<QString> suffix;
    for (int i = 0; i < ui.ShellList->topLevelItemCount(); ++i) {
        const QString caption = ui.ShellList->topLevelItem(i)->text(0);
        // The shell may show names without their extension: the first file
        // found tells which, for the whole folder.
        if (!suffix) {
            if (platform::FileExists(folder + caption))
                suffix = QString();
            else if (platform::FileExists(folder + caption + u".mp3"_s))
                suffix = u".MP3"_s;
            else
                continue;
        }
        addRow(i, caption + *suffix);
    }
}

void TFormMain::addRow(int position, const QString& caption)
{
    auto* row = new QTreeWidgetItem(ui.ListViewMain);
    row->setText(0, caption);
    row->setIcon(0, ui.ImageListMain.value(position % 5 + 8));
    row->setFlags(row->flags() | Qt::ItemIsDragEnabled);
    const std::string path = native(rowPath(row));
    std::array<std::string, 6> fields;
    bool hasTag = false;
    const auto fromV1 = [&] {
        fields = {TagV1->Title(), TagV1->Artist(), TagV1->Album(),
                  TagV1->Year(),  TagV1->Genre(),  TagV1->Comment()};
        hasTag = true;
    };
    const auto fromV2 = [&] {
        fields = {TagV2->Title, TagV2->Artist, TagV2->Album,
                  TagV2->Year,  TagV2->Genre,  TagV2->Comment};
        hasTag = true;
    };
    switch (ShowId) {
    case operations::ShowV1Only:
        if (TagV1->ReadFromFile(path))
            fromV1();
        break;
    case operations::ShowV2Only:
        if (TagV2->ReadFromFile(path))
            fromV2();
        break;
    case operations::PreferV2:
        TagV2->ReadFromFile(path);
        if (TagV2->Exists())
            fromV2();
        else if (TagV1->ReadFromFile(path))
            fromV1();
        break;
    default:
        break;
    }
    row->setData(0, kHasTagRole, hasTag);
    if (!hasTag)
        return;
    for (int c = 0; c < 6; ++c)
        row->setText(c + 1, platform::AnsiToText(fields[std::size_t(c)]));
}

// ---------------------------------------------------------------- the page

void TFormMain::ShellLinkChange()
{
    if (InLinkChange)
        return;
    InLinkChange = true;
    try {
        RebuildList();
    } catch (...) {
        InLinkChange = false;
        throw;
    }
    InLinkChange = false;
}

void TFormMain::ListViewMainChange()
{
    QTreeWidgetItem* first = nullptr;
    for (int i = 0; i < ui.ListViewMain->topLevelItemCount() && !first; ++i) {
        if (ui.ListViewMain->topLevelItem(i)->isSelected())
            first = ui.ListViewMain->topLevelItem(i);
    }
    if (!first) {
        ClearPropPage();
        return;
    }
    if (!RefreshEnabled)
        return;
    ui.EditFile->setText(rowPath(first));
    fillPropPageFromFile(ui.EditFile->text());
    setActionButtonsEnabled(true);
}

bool TFormMain::fillPropPageFromFile(const QString& path)
{
    const std::string file = native(path);
    const auto fromV1 = [this] {
        fillPropPage(platform::AnsiToText(TagV1->Title()), platform::AnsiToText(TagV1->Artist()),
                     platform::AnsiToText(TagV1->Album()), platform::AnsiToText(TagV1->Year()),
                     platform::AnsiToText(TagV1->Genre()), platform::AnsiToText(TagV1->Comment()));
    };
    const auto fromV2 = [this] {
        fillPropPage(platform::AnsiToText(TagV2->Title), platform::AnsiToText(TagV2->Artist),
                     platform::AnsiToText(TagV2->Album), platform::AnsiToText(TagV2->Year),
                     platform::AnsiToText(TagV2->Genre), platform::AnsiToText(TagV2->Comment));
    };
    switch (ShowId) {
    case operations::ShowV1Only:
        if (!TagV1->ReadFromFile(file))
            return false;
        fromV1();
        return true;
    case operations::ShowV2Only:
        TagV2->ReadFromFile(file);
        if (!TagV2->Exists())
            return false;
        fromV2();
        return true;
    case operations::PreferV2:
        TagV2->ReadFromFile(file);
        if (TagV2->Exists()) {
            fromV2();
            return true;
        }
        if (!TagV1->ReadFromFile(file))
            return false;
        fromV1();
        return true;
    default:
        return false;
    }
}

void TFormMain::fillPropPage(const QString& title, const QString& artist, const QString& album,
                             const QString& year, const QString& genre, const QString& comment)
{
    const auto set = [](QLineEdit* edit, const QString& text) {
        edit->setEnabled(true);
        edit->setText(text);
    };
    set(ui.EditTitle, title);
    set(ui.EditArt, artist);
    set(ui.EditAlbum, album);
    set(ui.EditYear, year);
    ui.ComboGenre->setEnabled(true);
    // The genre's position among the names, letter case aside; none for a
    // text that is not one of them.
    const int index = genre.isEmpty() ? -1 : ui.ComboGenre->findText(genre, Qt::MatchFixedString);
    ui.ComboGenre->setCurrentIndex(index);
    if (index < 0)
        ui.ComboGenre->setEditText(genre);
    set(ui.EditComment, comment);
}

void TFormMain::setActionButtonsEnabled(bool enabled)
{
    for (QPushButton* button :
         {ui.BtnChgProp, ui.BtnLsn, ui.BtnChgMProp, ui.BtnV1V2, ui.BtnV2V1, ui.BtnFileName})
        button->setEnabled(enabled);
}

void TFormMain::ClearPropPage()
{
    ui.EditFile->clear();
    for (QLineEdit* edit : {ui.EditTitle, ui.EditArt, ui.EditAlbum, ui.EditYear}) {
        edit->clear();
        edit->setEnabled(false);
    }
    ui.ComboGenre->setCurrentIndex(-1);
    ui.ComboGenre->setEditText(QString());
    ui.ComboGenre->setEnabled(false);
    ui.EditComment->clear();
    ui.EditComment->setEnabled(false);
    setActionButtonsEnabled(false);
}

void TFormMain::ShellTreeClick()
{
    ui.ListViewMain->clearSelection();
}

void TFormMain::PopupMenuListPopup()
{
    ui.MenuDelFile->setEnabled(!ui.ListViewMain->selectedItems().isEmpty());
}

void TFormMain::selectAllRows()
{
    ui.ListViewMain->selectAll();
}

void TFormMain::MenuSelAllClick()
{
    selectAllRows();
}

void TFormMain::ListViewMainDblClick()
{
    selectAllRows();
}

// ---------------------------------------------------------------- one file

int TFormMain::findRow(const QString& path) const
{
    for (int i = 0; i < ui.ListViewMain->topLevelItemCount(); ++i) {
        if (rowPath(ui.ListViewMain->topLevelItem(i)) == path)
            return i;
    }
    return -1;
}

void TFormMain::selectRowAfter(int index, int rows)
{
    if (rows == 0)
        return;
    const int next = index == rows - 1 ? 0 : index + 1;
    if (next < rows)
        ui.ListViewMain->topLevelItem(next)->setSelected(true);
}

void TFormMain::BtnChgPropClick()
{
    operations::PropertyValues page;
    page.title = ui.EditTitle->text();
    page.artist = ui.EditArt->text();
    page.album = ui.EditAlbum->text();
    page.year = ui.EditYear->text();
    page.genreText = ui.ComboGenre->currentText();
    page.genreIndex = page.genreText.isEmpty()
                          ? -1
                          : ui.ComboGenre->findText(page.genreText, Qt::MatchFixedString);
    page.comment = ui.EditComment->text();
    const QString path = ui.EditFile->text();
    operations::saveProperties(*TagV1, *TagV2, ShowId, path, page);
    appendLog(path + u"修改属性."_s);

    const int before = ui.ListViewMain->topLevelItemCount();
    int edited = findRow(path);
    if (edited < 0)
        edited = before;
    RebuildList();
    ui.ListViewMain->clearSelection();
    selectRowAfter(edited, ui.ListViewMain->topLevelItemCount());
    ui.EditTitle->setFocus();
}

void TFormMain::BtnLsnClick()
{
    TIniFile ini;
    player::Listen(
        *Winamp, ui.EditFile->text(), WinampPath, StartPosition, [this] { return OpenDlg(this); },
        [&ini](const QString& path) { settings::writeWinampPath(ini, path); });
}

// ---------------------------------------------------------------- batches

namespace {

// The six tag cells of a row (empty texts for a row that has none).
std::array<QString, 6> rowValues(const QTreeWidgetItem* row)
{
    std::array<QString, 6> values;
    for (int c = 0; c < 6; ++c)
        values[std::size_t(c)] = row->text(c + 1);
    return values;
}

struct FieldControls {
    QCheckBox* check;
    QLineEdit* edit;
    TRadioGroup* source;
    int column;
    QString logMessage;
};

} // namespace

void TFormMain::runBatch(const BatchRun& run)
{
    QTreeWidget* list = ui.ListViewMain;
    const int rows = list->topLevelItemCount();
    Batch->begin(run.runningText, rows);
    try {
        for (int i = 0; i < rows && i < list->topLevelItemCount(); ++i) {
            const RowEnd end = run.act(list->topLevelItem(i));
            if (end == RowEnd::Stop)
                break;
            if (end == RowEnd::ProgressOnly)
                ProgressBar->setValue(i);
            else
                Batch->afterRow(i, run.totalsAfterEveryRow);
        }
    } catch (const std::exception& e) {
        // The run stops at this file; the frame still finishes.
        ShowException(e, this);
    }
    Batch->finish(run.completionText, run.page);
    run.closing();
}

void TFormMain::BtnChgMPropClick()
{
    const std::array<FieldControls, 3> fields{{
        {ui.CheckBoxTitle, ui.EditMTitle, ui.RadioGrpMTitle, 1, u"修改标题."_s},
        {ui.CheckBoxArtist, ui.EditMArtist, ui.RadioGrpMArtist, 2, u"修改作者."_s},
        {ui.CheckBoxAlbum, ui.EditMAlbum, ui.RadioGrpMAlbum, 3, u"修改专辑."_s},
    }};
    BatchRun run;
    run.runningText = u"正在批量修改..."_s;
    run.completionText = u"批量修改属性完成"_s;
    run.page = 0;
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString path = rowPath(row);
        // The page is read anew for every file.
        std::array<std::optional<QString>, 3> values;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (!fields[f].check->isChecked())
                continue;
            values[f] = fields[f].source->itemIndex() == 0
                            ? operations::titleFromFileName(row->text(0))
                            : fields[f].edit->text();
            row->setData(0, kHasTagRole, true); // a row without cells gets them
            row->setText(fields[f].column, *values[f]);
            appendLog(path + fields[f].logMessage);
        }
        const auto outcome = operations::changeFields(*TagV1, *TagV2, ShowId, path,
                                                      {values[0], values[1], values[2]});
        if (outcome.written)
            Batch->count(outcome.succeeded);
        return RowEnd::Next;
    };
    run.closing = [this] {
        RebuildList();
    };
    runBatch(run);
}

void TFormMain::BtnV1V2Click()
{
    copyTags(true);
}

void TFormMain::BtnV2V1Click()
{
    copyTags(false);
}

void TFormMain::copyTags(bool v1ToV2)
{
    TFormID3 dialog(this);
    dialog.FormCreate();
    if (v1ToV2)
        dialog.addItems({u"如果ID3v2存在则不覆盖"_s, u"用ID3v1覆盖ID3v2"_s});
    else
        dialog.addItems({u"如果ID3v1存在则不覆盖"_s, u"用ID3v2覆盖ID3v1"_s});
    dialog.selectItem(0);
    dialog.exec();
    if (dialog.Choice < 0)
        return;
    const bool overwrite = dialog.Choice == 1;
    const auto direction =
        v1ToV2 ? operations::CopyDirection::V1ToV2 : operations::CopyDirection::V2ToV1;

    BatchRun run;
    run.runningText = u"正在复制属性..."_s;
    run.completionText = u"复制属性完成"_s;
    run.page = 0;
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString path = rowPath(row);
        const auto outcome = operations::copyTag(*TagV1, *TagV2, direction, overwrite, path);
        if (!outcome.message.isEmpty())
            appendLog(path + outcome.message);
        Batch->count(outcome.succeeded);
        return RowEnd::Next;
    };
    run.closing = [this] {
        RebuildList();
    };
    runBatch(run);
}

void TFormMain::BtnFileNameClick()
{
    RefreshEnabled = false;
    const QString folder = ui.ShellList->Path();
    BatchRun run;
    run.runningText = u"正在批量文件名..."_s;
    run.completionText = u"批量修改文件名完成"_s;
    run.page = 1;
    run.totalsAfterEveryRow = false;
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString oldCaption = row->text(0);
        const QString oldPath = folder + oldCaption;
        const QString name =
            operations::substitutePattern(ui.EditNameFormat->text(), rowValues(row));
        if (operations::isEmptyName(name))
            return RowEnd::Stop;
        const QString caption = name + u".MP3"_s;
        const QString newPath = folder + caption;
        row->setText(0, caption);
        switch (operations::moveFile(oldPath, newPath)) {
        case operations::MoveResult::Unchanged:
            return RowEnd::ProgressOnly;
        case operations::MoveResult::Moved:
            appendLog(oldPath + u"->"_s + newPath);
            Batch->count(true);
            break;
        case operations::MoveResult::Failed:
            row->setText(0, oldCaption);
            appendLog(oldPath + u"修改文件名失败！"_s);
            Batch->count(false);
            break;
        }
        Batch->showTotals();
        return RowEnd::Next;
    };
    run.closing = [this] {
        RefreshEnabled = true;
        ClearPropPage();
    };
    runBatch(run);
}

// ---------------------------------------------------------------- renaming page

void TFormMain::RadioGrpFileNameClick()
{
    const int item = ui.RadioGrpFileName->itemIndex();
    if (item >= 0 && item < 4)
        ui.EditNameFormat->setText(operations::presetPatterns()[std::size_t(item)]);
}

void TFormMain::EditNameFormatChange()
{
    // Neither handler loops: setting the text or the item each already has
    // raises nothing.
    ui.RadioGrpFileName->setItemIndex(operations::presetIndexOf(ui.EditNameFormat->text()));
}

void TFormMain::BtnAddPropClick()
{
    // Just below the button's lower-left corner.
    ui.PopupMenuProp->popup(ui.BtnAddProp->mapToGlobal(QPoint(8, ui.BtnAddProp->height())));
}

void TFormMain::insertPlaceholder(const QString& placeholder)
{
    QLineEdit* edit = ui.EditNameFormat;
    const int caret = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    const auto inserted = operations::insertPlaceholder(edit->text(), caret, placeholder);
    edit->setText(inserted.text);
    edit->setFocus();
    edit->setCursorPosition(inserted.caret);
}

// ---------------------------------------------------------------- files and folders

bool TFormMain::ShellTreeDragOver(QObject* source) const
{
    return source == ui.ListViewMain;
}

void TFormMain::ShellTreeDragDrop(QObject* source, int x, int y)
{
    Winamp->Stop();
    if (source != ui.ListViewMain)
        return;
    const QString target = ui.ShellTree->GetNodePath(ui.ShellTree->itemAt(x, y));
    if (target.isEmpty())
        return; // no folder under the pointer
    QTreeWidget* list = ui.ListViewMain;
    for (int i = 0; i < list->topLevelItemCount();) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const QString oldPath = rowPath(row);
        const QString newPath = operations::joinPath(target, row->text(0));
        if (!row->isSelected() || newPath == oldPath) {
            ++i;
            continue;
        }
        if (operations::moveFile(oldPath, newPath) == operations::MoveResult::Moved) {
            appendLog(oldPath + u"->"_s + newPath);
            delete row;
        } else {
            appendLog(oldPath + u"移动文件失败！"_s);
            ++i;
        }
    }
}

void TFormMain::MenuCreSubClick()
{
    const QString name = InputBox(u"新建子目录"_s, u"目录名"_s, QString());
    if (name.isEmpty())
        return;
    const QString folder = ui.ShellTree->GetNodePath(ui.ShellTree->currentItem());
    if (folder.isEmpty())
        return; // no folder of the file system is selected
    const QString path = operations::joinPath(folder, name);
    operations::createFolder(path);
    ui.ShellTree->RefreshTree();
    ui.ShellTree->setSelectedFolder(path);
}

void TFormMain::MenuDelFileClick()
{
    const QString folder = ui.ShellList->Path();
    QTreeWidget* list = ui.ListViewMain;
    for (int i = 0; i < list->topLevelItemCount();) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        if (row->isSelected() && operations::deleteToTrash(folder + row->text(0)))
            delete row;
        else
            ++i;
    }
}
