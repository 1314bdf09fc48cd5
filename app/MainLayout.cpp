#include "app/MainLayout.h"

#include "app/ReportList.h"
#include "resources/Icons.h"
#include "settings/IniFile.h"
#include "shell/ShellControls.h"
#include "shell/ShellLink.h"
#include "widgets/RadioGroup.h"
#include "widgets/Toolkit.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QVBoxLayout>

#include <array>

using namespace Qt::StringLiterals;

namespace {

// The report list draws grid lines between its cells.
class GridLineDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override
    {
        QStyledItemDelegate::paint(painter, option, index);
        painter->save();
        painter->setPen(QColor(192, 192, 192));
        painter->drawLine(option.rect.topRight(), option.rect.bottomRight());
        painter->drawLine(option.rect.bottomLeft(), option.rect.bottomRight());
        painter->restore();
    }
};

template <class W> W* named(W* widget, const QString& name)
{
    widget->setObjectName(name);
    return widget;
}

QAction* addAction(QMenu* menu, const QString& name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

QLabel* addLabel(QWidget* page, const QString& text, int left, int top)
{
    auto* label = new QLabel(text, page);
    label->setFont(widgets::songTiFont(10.5));
    label->adjustSize();
    label->move(left, top);
    return label;
}

QLineEdit* addEdit(QWidget* page, const QString& name, const QRect& geometry)
{
    auto* edit = named(new QLineEdit(page), name);
    edit->setGeometry(geometry);
    return edit;
}

QPushButton* addButton(QWidget* page, const QString& name, const QString& caption,
                       const QRect& geometry, bool bold = false)
{
    auto* button = named(new QPushButton(caption, page), name);
    button->setGeometry(geometry);
    if (bold)
        button->setFont(widgets::songTiFont(10.5, true));
    return button;
}

TRadioGroup* addSourceGroup(QWidget* page, const QString& name, const QRect& geometry, int index)
{
    auto* group = named(new TRadioGroup(page), name);
    group->setGeometry(geometry);
    group->setColumns(2);
    group->setItems({u"文件名"_s, u"输入框"_s});
    group->setItemIndex(index);
    return group;
}

QWidget* addPage(QTabWidget* pages, const QString& name, const QString& caption, const QIcon& icon)
{
    auto* page = named(new QWidget, name);
    pages->addTab(page, icon, caption);
    return page;
}

} // namespace

void TFormMainLayout::setupUi(QMainWindow* window)
{
    window->setObjectName(u"FormMain"_s);
    window->setWindowTitle(u"Mp3Tagloom V1.0"_s);
    window->setWindowIcon(resources::appIcon());
    window->setFont(widgets::uiFont(8));
    for (int i = 0; i < resources::kMainImageCount; ++i)
        ImageListMain.append(resources::mainIcon(i));

    setupMenus(window);
    setupPanels(window);
    setupListView();
    setupBatchPage();
    setupRenamePage();
    setupPropertyPage();
    setupLogPage();
    setupStatusBar(window);
    ShellLink = named(new TShellLink(window), u"ShellLink"_s);
    // The designed outer size is 696 x 514; the frame belongs to the desktop.
    window->resize(800, 480);
}

void TFormMainLayout::setupMenus(QMainWindow* window)
{
    QMenuBar* bar = window->menuBar();
    F1 = named(bar->addMenu(u"文件(&F)"_s), u"F1"_s);
    MenuReFlash = addAction(F1, u"MenuReFlash"_s, u"刷新(&R)"_s);
    MenuItemOption = addAction(F1, u"MenuItemOption"_s, u"选项(&O)"_s);
    N1 = F1->addSeparator();
    N1->setObjectName(u"N1"_s);
    MenuItemExit = addAction(F1, u"MenuItemExit"_s, u"退出(&x)"_s);
    E1 = named(bar->addMenu(u"编辑(&E)"_s), u"E1"_s);
    MenuUndo = addAction(E1, u"MenuUndo"_s, u"撤销(&U)"_s);
    MenuUndo->setShortcut(QKeySequence::Undo);
    MenuRedo = addAction(E1, u"MenuRedo"_s, u"重做(&R)"_s);
    MenuRedo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Y));
    E1->addSeparator();
    MenuHistory = addAction(E1, u"MenuHistory"_s, u"操作历史(&H)..."_s);
    H1 = named(bar->addMenu(u"关于Vantor工作室(&H)"_s), u"H1"_s);
    MenuItemAbout = addAction(H1, u"MenuItemAbout"_s, u"Vantor工作室简介(&A)"_s);

    PopupMenuTree = named(new QMenu(window), u"PopupMenuTree"_s);
    MenuCreSub = addAction(PopupMenuTree, u"MenuCreSub"_s, u"新建子目录(&C)"_s);
    QFont bold = MenuCreSub->font();
    bold.setBold(true);
    MenuCreSub->setFont(bold); // the menu's default item
    PopupMenuTree->setDefaultAction(MenuCreSub);
    MenuDelSub = addAction(PopupMenuTree, u"MenuDelSub"_s, u"删除子目录"_s);
    MenuDelSub->setVisible(false);

    PopupMenuList = named(new QMenu(window), u"PopupMenuList"_s);
    MenuDelFile = addAction(PopupMenuList, u"MenuDelFile"_s, u"删除(&D)"_s);
    MenuSelAll = addAction(PopupMenuList, u"MenuSelAll"_s, u"全选(&A)"_s);
    PopupMenuList->addSeparator();
    MenuEncoding = addAction(PopupMenuList, u"MenuEncoding"_s, u"编码检查(&E)..."_s);
    MenuFixName = addAction(PopupMenuList, u"MenuFixName"_s, u"修复文件名编码(&N)"_s);
    PopupMenuList->addSeparator();
    MenuFrames = addAction(PopupMenuList, u"MenuFrames"_s, u"全部帧(&F)..."_s);
    MenuLyricsImport = addAction(PopupMenuList, u"MenuLyricsImport"_s, u"导入歌词(&L)"_s);
    MenuLyricsExport = addAction(PopupMenuList, u"MenuLyricsExport"_s, u"导出歌词(&X)"_s);
    MenuTools = addAction(PopupMenuList, u"MenuTools"_s, u"批量处理(&T)..."_s);

    PopupMenuProp = named(new QMenu(window), u"PopupMenuProp"_s);
    MenuTitle = addAction(PopupMenuProp, u"MenuTitle"_s, u"标题(&T)"_s);
    MenuArtist = addAction(PopupMenuProp, u"MenuArtist"_s, u"作者(&A)"_s);
    MenuAlbum = addAction(PopupMenuProp, u"MenuAlbum"_s, u"专辑(&L)"_s);
    MenuYear = addAction(PopupMenuProp, u"MenuYear"_s, u"年代(&Y)"_s);
    MenuGenre = addAction(PopupMenuProp, u"MenuGenre"_s, u"类型(&G)"_s);
    MenuComment = addAction(PopupMenuProp, u"MenuComment"_s, u"备注(&C)"_s);
    MenuTrack = addAction(PopupMenuProp, u"MenuTrack"_s, u"音轨(&R)"_s);
    MenuDisc = addAction(PopupMenuProp, u"MenuDisc"_s, u"碟号(&D)"_s);
    MenuAlbumArtist = addAction(PopupMenuProp, u"MenuAlbumArtist"_s, u"专辑艺术家(&B)"_s);

    PopupMenuCover = named(new QMenu(window), u"PopupMenuCover"_s);
    MenuCoverSet = addAction(PopupMenuCover, u"MenuCoverSet"_s, u"更换封面(&S)..."_s);
    MenuCoverRemove = addAction(PopupMenuCover, u"MenuCoverRemove"_s, u"删除封面(&R)"_s);
    MenuCoverSave = addAction(PopupMenuCover, u"MenuCoverSave"_s, u"导出封面(&E)..."_s);
    for (QAction* action : {MenuCoverSet, MenuCoverRemove, MenuCoverSave})
        action->setEnabled(false); // until a file is shown
}

void TFormMainLayout::setupPanels(QMainWindow* window)
{
    SplitterVer = named(new QSplitter(Qt::Horizontal, window), u"SplitterVer"_s);
    SplitterVer->setHandleWidth(3);
    SplitterVer->setChildrenCollapsible(false);
    window->setCentralWidget(SplitterVer);

    PanelLeft = named(new QWidget(SplitterVer), u"PanelLeft"_s);
    auto* leftLayout = new QVBoxLayout(PanelLeft);
    leftLayout->setContentsMargins(0, 0, 0, 0);
    ShellTree = named(new TShellTree(PanelLeft), u"ShellTree"_s);
    // Deep folders scroll sideways rather than losing their names.
    ShellTree->setTextElideMode(Qt::ElideNone);
    ShellTree->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    ShellTree->header()->setStretchLastSection(false);
    leftLayout->addWidget(ShellTree);

    PanelMain = named(new QWidget(SplitterVer), u"PanelMain"_s);
    auto* mainLayout = new QVBoxLayout(PanelMain);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    // The shell list is only the source of the folder's file names: it lies
    // under the report list and is never seen.
    ShellList = named(new TShellList(PanelMain), u"ShellList"_s);
    ShellList->hide();
    // The filter above the list: what is typed keeps the rows that have it.
    auto* filterRow = new QHBoxLayout;
    filterRow->setContentsMargins(4, 2, 4, 2);
    LabelFilter = named(new QLabel(u"筛选"_s, PanelMain), u"LabelFilter"_s);
    EditFilter = named(new QLineEdit(PanelMain), u"EditFilter"_s);
    EditFilter->setClearButtonEnabled(true);
    LabelFilter->setBuddy(EditFilter);
    filterRow->addWidget(LabelFilter);
    filterRow->addWidget(EditFilter, 1);
    mainLayout->addLayout(filterRow);
    SplitterHor = named(new QSplitter(Qt::Vertical, PanelMain), u"SplitterHor"_s);
    SplitterHor->setHandleWidth(3);
    SplitterHor->setChildrenCollapsible(false);
    mainLayout->addWidget(SplitterHor);

    ListViewMain = named(new TReportList(SplitterHor), u"ListViewMain"_s);
    PageCtrlMain = named(new QTabWidget(SplitterHor), u"PageCtrlMain"_s);
    PageCtrlMain->setFont(widgets::songTiFont(9));
    SplitterHor->setStretchFactor(0, 1);
    SplitterHor->setStretchFactor(1, 0);
    SplitterHor->setSizes({480 - 238, 238});

    SplitterVer->setStretchFactor(0, 0);
    SplitterVer->setStretchFactor(1, 1);
    SplitterVer->setSizes({185, 800 - 185 - 3});
}

void TFormMainLayout::setupListView()
{
    TReportList* list = ListViewMain;
    // The model's captions; the comment and the fields after it are shown
    // when the user asks for them (the header's menu).
    list->rows().setIcons(ImageListMain);
    for (int c = TReportModel::CommentColumn; c < TReportModel::ColumnCount; ++c)
        list->hideColumn(c);
    list->setRootIsDecorated(false);
    list->setItemsExpandable(false);
    list->setUniformRowHeights(true);
    list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setDragEnabled(true);
    list->setDragDropMode(QAbstractItemView::DragOnly);
    list->setItemDelegate(new GridLineDelegate(list));
    list->setFont(widgets::songTiFont(9));
    list->setIconSize(QSize(16, 16));
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    QPalette palette = list->palette();
    palette.setColor(QPalette::Base, QColor(128, 128, 255));
    palette.setColor(QPalette::Text, Qt::white);
    list->setPalette(palette);
    // The user sizes every column, the last takes the rest; the window keeps
    // the widths from one run to the next. Until the user sizes them, the
    // name column is fitted to the names once per rebuild or batch.
    QHeaderView* header = list->header();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsMovable(true);
    header->setFirstSectionMovable(false); // the name stays first: the rows' icons are there
    header->setStretchLastSection(true);
    const std::array<int, 5> widths{120, 120, 100, 120, 40};
    for (int c = 0; c < 5; ++c)
        header->resizeSection(c, widths[std::size_t(c)]);
}

void TFormMainLayout::setupBatchPage()
{
    QWidget* tab = TabShMProp = addPage(PageCtrlMain, u"TabShMProp"_s, u"批量改属性"_s,
                                        ImageListMain.value(resources::ImageBatchEdit));
    // Nine fields are taller than the pages' room: the page scrolls when
    // the window is small.
    auto* scroll = new QScrollArea(tab);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    auto* tabLayout = new QVBoxLayout(tab);
    tabLayout->setContentsMargins(0, 0, 0, 0);
    tabLayout->addWidget(scroll);
    auto* page = new QWidget;
    page->setMinimumSize(490, 352);
    scroll->setWidget(page);
    const auto check = [page](const QString& name, const QString& caption, int top,
                              int width = 49) {
        auto* box = named(new QCheckBox(caption, page), name);
        box->setFont(widgets::songTiFont(10.5));
        box->setGeometry(0, top, width, 17);
        return box;
    };
    CheckBoxTitle = check(u"CheckBoxTitle"_s, u"标题"_s, 10);
    CheckBoxArtist = check(u"CheckBoxArtist"_s, u"作者"_s, 40);
    CheckBoxAlbum = check(u"CheckBoxAlbum"_s, u"专辑"_s, 70);
    EditMTitle = addEdit(page, u"EditMTitle"_s, {56, 8, 200, 20});
    EditMArtist = addEdit(page, u"EditMArtist"_s, {56, 38, 200, 20});
    EditMAlbum = addEdit(page, u"EditMAlbum"_s, {56, 68, 200, 20});
    RadioGrpMTitle = addSourceGroup(page, u"RadioGrpMTitle"_s, {264, 0, 130, 30}, 0);
    RadioGrpMArtist = addSourceGroup(page, u"RadioGrpMArtist"_s, {264, 30, 130, 30}, 1);
    RadioGrpMAlbum = addSourceGroup(page, u"RadioGrpMAlbum"_s, {264, 60, 130, 29}, 1);
    // The other fields below the first three, each as they are: typed text
    // unless told to take it from the name.
    CheckBoxYear = check(u"CheckBoxYear"_s, u"年代"_s, 100);
    CheckBoxGenre = check(u"CheckBoxGenre"_s, u"类型"_s, 130);
    CheckBoxComment = check(u"CheckBoxComment"_s, u"备注"_s, 160);
    CheckBoxTrack = check(u"CheckBoxTrack"_s, u"音轨"_s, 190);
    CheckBoxDisc = check(u"CheckBoxDisc"_s, u"碟号"_s, 220);
    CheckBoxAlbumArtist = check(u"CheckBoxAlbumArtist"_s, u"专辑艺术家"_s, 250, 96);
    EditMYear = addEdit(page, u"EditMYear"_s, {56, 98, 200, 20});
    EditMGenre = addEdit(page, u"EditMGenre"_s, {56, 128, 200, 20});
    EditMComment = addEdit(page, u"EditMComment"_s, {56, 158, 200, 20});
    EditMTrack = addEdit(page, u"EditMTrack"_s, {56, 188, 200, 20});
    EditMDisc = addEdit(page, u"EditMDisc"_s, {56, 218, 200, 20});
    EditMAlbumArtist = addEdit(page, u"EditMAlbumArtist"_s, {100, 248, 156, 20});
    for (QLineEdit* number : {EditMTrack, EditMDisc})
        number->setPlaceholderText(u"n 或 n/总数"_s);
    RadioGrpMYear = addSourceGroup(page, u"RadioGrpMYear"_s, {264, 90, 130, 30}, 1);
    RadioGrpMGenre = addSourceGroup(page, u"RadioGrpMGenre"_s, {264, 120, 130, 30}, 1);
    RadioGrpMComment = addSourceGroup(page, u"RadioGrpMComment"_s, {264, 150, 130, 30}, 1);
    RadioGrpMTrack = addSourceGroup(page, u"RadioGrpMTrack"_s, {264, 180, 130, 30}, 1);
    RadioGrpMDisc = addSourceGroup(page, u"RadioGrpMDisc"_s, {264, 210, 130, 30}, 1);
    RadioGrpMAlbumArtist = addSourceGroup(page, u"RadioGrpMAlbumArtist"_s, {264, 240, 130, 29}, 1);
    // Before the buttons: the keyboard reaches the pattern after the fields.
    auto* patternLabel = new QLabel(u"文件名格式"_s, page);
    patternLabel->setFont(widgets::songTiFont(10.5));
    patternLabel->setGeometry(0, 277, 72, 17);
    EditNamePattern = addEdit(page, u"EditNamePattern"_s, {72, 276, 184, 20});
    EditNamePattern->setPlaceholderText(u"例如 %2 - %1"_s);
    patternLabel->setBuddy(EditNamePattern);
    LabelMPreview = named(new QLabel(page), u"LabelMPreview"_s);
    LabelMPreview->setTextFormat(Qt::PlainText);
    LabelMPreview->setGeometry(0, 298, 490, 16);
    BtnV1V2 = addButton(page, u"BtnV1V2"_s, u"ID3v1->ID3v2"_s, {128, 320, 89, 25});
    BtnV2V1 = addButton(page, u"BtnV2V1"_s, u"ID3v2->ID3v1"_s, {224, 320, 89, 25});
    BtnChgMProp = addButton(page, u"BtnChgMProp"_s, u"修改属性"_s, {320, 320, 75, 25}, true);
    for (QPushButton* b : {BtnV1V2, BtnV2V1, BtnChgMProp})
        b->setEnabled(false);
}

void TFormMainLayout::setupRenamePage()
{
    QWidget* page = TabShFileName = addPage(PageCtrlMain, u"TabShFileName"_s, u"批量改文件名"_s,
                                            ImageListMain.value(resources::ImageRename));
    RadioGrpFileName = named(new TRadioGroup(u"文件名"_s, page), u"RadioGrpFileName"_s);
    RadioGrpFileName->setFont(widgets::songTiFont(10.5));
    RadioGrpFileName->setGeometry(8, 8, 185, 169);
    RadioGrpFileName->setItems({u"标题"_s, u"作者-标题"_s, u"专辑-标题"_s, u"作者-专辑-标题"_s});
    RadioGrpFileName->setItemIndex(0);
    EditNameFormat = addEdit(page, u"EditNameFormat"_s, {208, 16, 273, 20});
    EditNameFormat->setText(u"%1"_s);
    BtnAddProp = addButton(page, u"BtnAddProp"_s, u"属性(&V)"_s, {208, 40, 49, 25});

    PanelProp = named(new QFrame(page), u"PanelProp"_s);
    PanelProp->setGeometry(264, 40, 217, 47);
    widgets::setRaisedLoweredBevel(PanelProp);
    auto* legend = new QVBoxLayout(PanelProp);
    legend->setContentsMargins(2, 2, 2, 2);
    legend->setSpacing(0);
    for (const QString& line : {u"%1-标题 %2-作者 %3-专辑 %4-年代 "_s, u"%5-类型 %6-备注"_s,
                                u"%7-音轨 %8-碟号 %9-专辑艺术家"_s}) {
        auto* label = new QLabel(line, PanelProp);
        label->setFont(widgets::songTiFont(9));
        label->setAlignment(Qt::AlignCenter);
        legend->addWidget(label);
    }
    LabelNamePreview = named(new QLabel(page), u"LabelNamePreview"_s);
    // File names are shown as they are, never read as markup.
    LabelNamePreview->setTextFormat(Qt::PlainText);
    LabelNamePreview->setWordWrap(true);
    LabelNamePreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelNamePreview->setGeometry(208, 92, 273, 48);
    BtnFileName = addButton(page, u"BtnFileName"_s, u"开始修改"_s, {208, 144, 75, 25}, true);
    BtnFileName->setEnabled(false);
}

void TFormMainLayout::setupPropertyPage()
{
    QWidget* page = TabShProp = addPage(PageCtrlMain, u"TabShProp"_s, u"属性编辑"_s,
                                        ImageListMain.value(resources::ImagePropertyEdit));
    EditFile = addEdit(page, u"EditFile"_s, {0, 0, 489, 20});
    EditFile->setReadOnly(true);
    QPalette palette = EditFile->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    EditFile->setPalette(palette);

    addLabel(page, u"标题"_s, 8, 32);
    addLabel(page, u"作者"_s, 248, 32);
    addLabel(page, u"专辑"_s, 8, 62);
    addLabel(page, u"年代"_s, 248, 62);
    addLabel(page, u"类型"_s, 8, 92);
    addLabel(page, u"备注"_s, 8, 122);
    addLabel(page, u"音轨"_s, 248, 92);
    addLabel(page, u"碟号"_s, 360, 92);
    addLabel(page, u"专辑艺术家"_s, 8, 152);
    addLabel(page, u"作曲"_s, 248, 152);
    EditTitle = addEdit(page, u"EditTitle"_s, {40, 30, 200, 20});
    EditArt = addEdit(page, u"EditArt"_s, {280, 30, 200, 20});
    EditAlbum = addEdit(page, u"EditAlbum"_s, {40, 60, 200, 20});
    EditYear = addEdit(page, u"EditYear"_s, {280, 60, 200, 20});
    // Four typed characters at most; TPropertyPage keeps a longer stored year whole.
    ComboGenre = named(new QComboBox(page), u"ComboGenre"_s);
    ComboGenre->setEditable(true);
    ComboGenre->setInsertPolicy(QComboBox::NoInsert);
    ComboGenre->setMaxVisibleItems(10);
    ComboGenre->setGeometry(40, 90, 200, 20);
    EditComment = addEdit(page, u"EditComment"_s, {40, 120, 400, 20});
    EditTrack = addEdit(page, u"EditTrack"_s, {280, 90, 72, 20});
    EditDisc = addEdit(page, u"EditDisc"_s, {392, 90, 88, 20});
    EditAlbumArtist = addEdit(page, u"EditAlbumArtist"_s, {80, 150, 160, 20});
    EditComposer = addEdit(page, u"EditComposer"_s, {280, 150, 200, 20});
    LabelLyrics = named(new QLabel(page), u"LabelLyrics"_s);
    LabelLyrics->setGeometry(492, 152, 112, 32); // a second line for many files
    LabelLyrics->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LabelLyrics->setWordWrap(true);
    LabelV1Fit = named(new QLabel(page), u"LabelV1Fit"_s);
    LabelV1Fit->setGeometry(8, 186, 304, 16);
    BtnLsn = addButton(page, u"BtnLsn"_s, u"试听"_s, {320, 182, 75, 25});
    BtnChgProp = addButton(page, u"BtnChgProp"_s, u"修改属性"_s, {408, 182, 75, 25}, true);
    const std::initializer_list<QWidget*> tabOrder{
        EditTitle, EditArt,     EditAlbum,       EditYear,     ComboGenre, EditTrack,
        EditDisc,  EditComment, EditAlbumArtist, EditComposer, BtnLsn,     BtnChgProp};
    for (QWidget* w : tabOrder)
        w->setEnabled(false);
    // Row by row, left to right, as the fields are read.
    for (auto w = tabOrder.begin(); w + 1 != tabOrder.end(); ++w)
        QWidget::setTabOrder(*w, *(w + 1));
    // A frame even when empty: it shows where the cover's menu is.
    LabelCover = named(new QLabel(page), u"LabelCover"_s);
    LabelCover->setGeometry(492, 26, 96, 96);
    LabelCover->setFrameShape(QFrame::Box);
    LabelCover->setAlignment(Qt::AlignCenter);
    LabelCover->setTextFormat(Qt::PlainText);
    LabelCover->setWordWrap(true);
    LabelCover->setContextMenuPolicy(Qt::CustomContextMenu);
}

void TFormMainLayout::setupLogPage()
{
    TabShLog =
        addPage(PageCtrlMain, u"TabShLog"_s, u"日志"_s, ImageListMain.value(resources::ImageLog));
    auto* layout = new QVBoxLayout(TabShLog);
    layout->setContentsMargins(0, 0, 0, 0);
    MemoLog = named(new QPlainTextEdit(TabShLog), u"MemoLog"_s);
    MemoLog->setReadOnly(true);
    // Only appended to: an undo record of every line would double what a
    // batch of many files costs the log.
    MemoLog->setUndoRedoEnabled(false);
    MemoLog->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    layout->addWidget(MemoLog);
}

void TFormMainLayout::setupStatusBar(QMainWindow* window)
{
    StatusBarMain = named(new QStatusBar(window), u"StatusBarMain"_s);
    StatusBarMain->setSizeGripEnabled(true);
    StatusBarMain->setFixedHeight(19);
    window->setStatusBar(StatusBarMain);
    const auto panel = [this](const QString& name, int width) {
        auto* label = named(new QLabel(StatusBarMain), name);
        label->setFrameShape(QFrame::Panel);
        label->setFrameShadow(QFrame::Sunken);
        if (width > 0)
            label->setFixedWidth(width);
        StatusBarMain->addWidget(label, width > 0 ? 0 : 1);
        return label;
    };
    StatusBarPanel0 = panel(u"StatusBarPanel0"_s, 150);
    StatusBarPanel1 = panel(u"StatusBarPanel1"_s, 200);
    StatusBarPanel2 = panel(u"StatusBarPanel2"_s, 0);
    StatusBarPanel2->setText(u"共修改:0  成功:0  失败:0"_s);
}

// The properties the window is designed with, applied in the order the
// components expect while the form loads; then the components are loaded.
void TFormMainLayout::applyDesignedProperties()
{
    TShellTree* tree = ShellTree;
    TShellList* list = ShellList;
    tree->setLoading(true);
    list->setLoading(true);

    tree->setShellLink(ShellLink);
    tree->setRootedAt(SF_DESKTOP);
    tree->setSelectedFolder(settings::defaultFolder());
    tree->setOleDragDrop(false);
    tree->setShellContextMenu(true);
    tree->setFileSystemOnly(true);
    tree->setShowFiles(false);
    tree->setFilter(u"*"_s);
    tree->setRootIsDecorated(false);
    tree->setIndentation(19);
    tree->setPopupMenu(PopupMenuTree);

    list->setShellLink(ShellLink);
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

QProgressBar* TFormMainLayout::createProgressBar()
{
    auto* bar = new QProgressBar(StatusBarMain);
    bar->setObjectName(u"ProgressBar"_s);
    bar->setTextVisible(false);
    const QRect panel = StatusBarPanel1->geometry();
    bar->setGeometry(StatusBarPanel0->width() + 2, 2, panel.width(), StatusBarMain->height() - 2);
    bar->hide();
    return bar;
}
