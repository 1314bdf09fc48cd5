#include "shell/ShellList.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"
#include "platform/ShellNamespace.h"
#include "shell/ShellLink.h"
#include "shell/ShellStrings.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;
using platform::ItemIdList;
using ShellControls::guarded;
using ShellControls::UpdatesSuspended;
using ShellControls::WaitCursor;

namespace {

constexpr int refreshDelay = 500;
constexpr int maxColumns = 32; // bits of TShellListItem::knownDetails_

TShellListItem* shellItemOf(QTreeWidgetItem* item)
{
    return item && item->type() == TShellListItem::ItemType ? static_cast<TShellListItem*>(item)
                                                            : nullptr;
}

bool isOpenVerb(const QString& verb)
{
    return verb.isEmpty() || verb == u"default"_s || verb == u"open"_s;
}

} // namespace

// ---- the row ------------------------------------------------------------------------

TShellListItem::TShellListItem(ItemIdList relative)
    : QTreeWidgetItem(ItemType), relative_(std::move(relative))
{
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
}

void TShellListItem::setRelativeIDList(ItemIdList relative)
{
    relative_ = std::move(relative);
}

void TShellListItem::setDetail(int column, const QString& text) const
{
    while (details_.size() <= column)
        details_.append(QString());
    details_[column] = text;
    knownDetails_ |= 1u << column;
}

void TShellListItem::forgetShownValues()
{
    details_.clear();
    knownDetails_ = 0;
    iconKnown_ = false;
    emitDataChanged();
}

QVariant TShellListItem::data(int column, int role) const
{
    const auto* list = dynamic_cast<const TShellList*>(treeWidget());
    if (!list)
        return QTreeWidgetItem::data(column, role);
    if (role == Qt::DisplayRole && column >= 1 && column < maxColumns) {
        // A text that OnAddItem saw (or set) stays.
        const QVariant stored = QTreeWidgetItem::data(column, role);
        if (stored.isValid())
            return stored;
        if (!(knownDetails_ & (1u << column)))
            setDetail(column, list->detailOf(*this, column));
        return details_.value(column);
    }
    if (role == Qt::DecorationRole && column == 0) {
        if (!iconKnown_) {
            icon_ = list->iconOf(*this);
            iconKnown_ = true;
        }
        return icon_;
    }
    if (role == Qt::TextAlignmentRole)
        return int(list->alignmentOf(column) | Qt::AlignVCenter);
    return QTreeWidgetItem::data(column, role);
}

bool TShellListItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* list = dynamic_cast<const TShellList*>(treeWidget());
    if (!list || other.type() != ItemType)
        return QTreeWidgetItem::operator<(other);
    return list->compareItems(*this, static_cast<const TShellListItem&>(other)) < 0;
}

// ---- construction and properties -------------------------------------------------

TShellList::TShellList(QWidget* parent)
    : QTreeWidget(parent), browser_(new TShellBrowser(this)), images_(new TSystemImageList(this)),
      icons_(*images_), scroller_(new ShellControls::DragScroller(this))
{
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setSelectionMode(ExtendedSelection);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setIconSize(images_->iconSize());
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setItemDelegate(new ShellControls::RenameDelegate(
        this, [this](const QModelIndex& index, const QString& text) {
            guarded(this, [&] { renameItem(itemFromIndex(index), text); });
        }));
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const bool reverse = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder;
        guarded(this,
                [&] { sortItemsBy(column, reverse ? Qt::DescendingOrder : Qt::AscendingOrder); });
    });
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);

    refresh_.setSingleShot(true);
    refresh_.setInterval(refreshDelay);
    refresh_.setTimerType(Qt::PreciseTimer);
    connect(&refresh_, &QTimer::timeout, this,
            [this] { guarded(this, [this] { mergeRefresh(); }); });
    // A burst of changes on disk is merged once, when the folder has been quiet.
    browser_->SetOnFileChange([this](QObject*) { refresh_.start(); });
}

TShellList::~TShellList()
{
    // The base class deletes the rows; nothing of this class may react to that.
    disconnect(this, nullptr, this, nullptr);
    disconnect(header(), nullptr, this, nullptr);
    browser_->SetOnFileChange({});
    if (link_)
        link_->RemoveControl(this);
}

void TShellList::setLoading(bool loading)
{
    loading_ = loading;
    if (!loading)
        loaded();
}

void TShellList::loaded()
{
    const bool first = !created_;
    created_ = true;
    if (first && Path().isEmpty()) {
        setPath(QString()); // "计算机"
        return;
    }
    if (!(link_ && topLevelItemCount() > 0))
        Populate();
}

void TShellList::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    // A list shown before anyone chose its folder shows "计算机".
    if (!created_ && !loading_) {
        created_ = true;
        if (Path().isEmpty() && topLevelItemCount() == 0)
            guarded(this, [this] { setPath(QString()); });
    }
}

void TShellList::setShellLink(TShellLink* link)
{
    if (link_ == link)
        return;
    if (link_)
        link_->RemoveControl(this);
    link_ = link;
    if (link_)
        link_->AddControl(this);
}

QString TShellList::Version() const
{
    return u"TShellList"_s + ShellStrings::VersionSuffix();
}

QString TShellList::Path() const
{
    return browser_->Folder();
}

void TShellList::setPath(const QString& path)
{
    try {
        browser_->SetFolder(path);
    } catch (const EShellBrowserError&) {
        if (!loading_)
            throw;
        ShellControls::showError(this, ShellStrings::CannotFindPath() + path);
    }
    reportFolder();
    Populate();
}

void TShellList::reportFolder()
{
    if (link_)
        link_->NotifyFolderChange(this, browser_->GetFolderIDList());
}

TShellFolder TShellList::SpecialFolder() const
{
    const TShellFolder special = browser_->GetFolderSpecialIndex();
    return special == SF_DRIVES && !Path().isEmpty() ? SF_FILESYSTEMFOLDER : special;
}

void TShellList::setSpecialFolder(TShellFolder folder)
{
    if (folder != SF_FILESYSTEMFOLDER)
        browser_->SetSpecialFolder(folder);
    Populate();
    reportFolder();
}

QString TShellList::Filter() const
{
    return browser_->Filter();
}

void TShellList::setFilter(const QString& filter)
{
    browser_->SetFilter(filter);
    Populate();
}

bool TShellList::FileSystemOnly() const
{
    return browser_->FileSystemOnly;
}

void TShellList::setFileSystemOnly(bool on)
{
    browser_->FileSystemOnly = on;
    Populate();
}

void TShellList::setShowHidden(bool on)
{
    showHidden_ = on;
    Populate();
}

void TShellList::setDetails(bool on)
{
    if (details_ == on)
        return;
    details_ = on;
    Populate();
}

void TShellList::setOleDragDrop(bool on)
{
    oleDragDrop_ = on;
    setDragEnabled(on);
}

// ---- reading the folder -------------------------------------------------------------

bool TShellList::Populate()
{
    if (loading_ || !isEnabled())
        return false;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    refresh_.stop(); // what changed so far is read now
    clear();
    buildColumns();
    if (OnCreateColumns)
        OnCreateColumns(this);
    std::vector<std::unique_ptr<TShellListItem>> made;
    while (browser_->Next()) {
        if (std::unique_ptr<TShellListItem> item = makeItem())
            made.push_back(std::move(item));
    }
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(made.size()));
    for (std::unique_ptr<TShellListItem>& item : made)
        items.append(item.release());
    addTopLevelItems(items);
    sortItems(sortColumn_, sortOrder_);
    hadPath_ = !Path().isEmpty();
    if (OnPopulated)
        OnPopulated(this);
    return true;
}

void TShellList::buildColumns()
{
    QList<int> widths;
    if (hadPath_) {
        for (int c = 0; c < columnCount(); ++c)
            widths.append(columnWidth(c));
    }
    QStringList captions;
    alignments_.clear();
    for (int c = 0; c < maxColumns; ++c) {
        const QString caption = browser_->GetDetail(c, true);
        if (caption.isEmpty())
            break;
        captions.append(caption);
        alignments_.append(browser_->GetColumnInfo(c).alignment);
        if (!details_)
            break;
    }
    setColumnCount(int(captions.size()));
    setHeaderLabels(captions);
    for (int c = 0; c < int(captions.size()); ++c) {
        headerItem()->setTextAlignment(c, alignments_[c] | Qt::AlignVCenter);
        const int remembered = c < widths.size() ? widths[c] : 0;
        setColumnWidth(c, remembered >= 1 ? remembered : browser_->GetColumnInfo(c).width);
    }
    if (sortColumn_ >= columnCount()) {
        sortColumn_ = 0;
        sortOrder_ = Qt::AscendingOrder;
    }
}

// A row for the browser's current item, or null when the item is not shown.
std::unique_ptr<TShellListItem> TShellList::makeItem()
{
    if (!showHidden_ && browser_->IsGhosted())
        return {};
    auto item = std::make_unique<TShellListItem>(browser_->GetObjectIDList());
    item->setText(0, browser_->GetDisplayName());
    if (OnAddItem) {
        if (details_) {
            for (int c = 1; c < columnCount(); ++c)
                item->setText(c, browser_->GetDetail(c, false));
        }
        bool canAdd = true;
        OnAddItem(this, item.get(), canAdd);
        if (!canAdd)
            return {};
    }
    return item;
}

QString TShellList::detailOf(const TShellListItem& item, int column) const
{
    if (column >= columnCount())
        return {};
    browser_->SetObjectIDList(item.relativeIDList());
    return browser_->GetDetail(column, false);
}

QIcon TShellList::iconOf(const TShellListItem& item) const
{
    browser_->SetObjectIDList(item.relativeIDList());
    const int index = browser_->IconNumber();
    const quint32 attributes = browser_->GetAttributes(
        platform::SFGAO_LINK | platform::SFGAO_SHARE | platform::SFGAO_GHOSTED);
    const int overlay = attributes & platform::SFGAO_LINK    ? 1
                        : attributes & platform::SFGAO_SHARE ? 0
                                                             : -1;
    return icons_.icon(index, -1, overlay, item.isCut() || (attributes & platform::SFGAO_GHOSTED));
}

Qt::Alignment TShellList::alignmentOf(int column) const
{
    return alignments_.value(column, Qt::AlignLeft);
}

int TShellList::compareItems(const TShellListItem& a, const TShellListItem& b) const
{
    return browser_->compareIDs(sortColumn_, a.relativeIDList(), b.relativeIDList());
}

void TShellList::sortItemsBy(int column, Qt::SortOrder order)
{
    sortColumn_ = column;
    sortOrder_ = order;
    const WaitCursor wait;
    sortItems(column, order);
}

// Merges what changed on disk: rows of items that are gone leave, new items
// are added at the end; the order is not changed.
void TShellList::mergeRefresh()
{
    refresh_.stop();
    if (loading_)
        return;
    const UpdatesSuspended frozen(this);
    std::vector<TShellListItem*> existing;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (TShellListItem* item = shellItemOf(topLevelItem(i))) {
            item->seen_ = false;
            existing.push_back(item);
        }
    }
    const auto before = [this](const TShellListItem* a, const ItemIdList& b) {
        return browser_->compareIDs(0, a->relativeIDList(), b) < 0;
    };
    std::sort(existing.begin(), existing.end(),
              [&](const auto* a, const auto* b) { return before(a, b->relativeIDList()); });
    std::vector<std::unique_ptr<TShellListItem>> added;
    int seen = 0;
    while (browser_->Next()) {
        const ItemIdList item = browser_->GetObjectIDList();
        const auto it = std::lower_bound(existing.begin(), existing.end(), item, before);
        if (it != existing.end() && browser_->compareIDs(0, (*it)->relativeIDList(), item) == 0) {
            seen += (*it)->seen_ ? 0 : 1;
            (*it)->seen_ = true;
            // Its size and date may be others now.
            if ((*it)->knownDetails_ != 0)
                (*it)->forgetShownValues();
        } else if (std::unique_ptr<TShellListItem> made = makeItem()) {
            added.push_back(std::move(made));
        }
    }
    QStringList vanishedCut;
    for (int i = topLevelItemCount() - 1; i >= 0; --i) {
        const TShellListItem* item = shellItemOf(topLevelItem(i));
        if (item && !item->seen_ && item->cut_)
            vanishedCut.prepend(Path() + item->text(0));
    }
    const bool removed = seen < int(existing.size());
    if (seen == 0) {
        clear(); // the folder is empty or gone: one step, not one row at a time
    } else {
        for (int i = topLevelItemCount() - 1; i >= 0; --i) {
            if (TShellListItem* item = shellItemOf(topLevelItem(i)); item && !item->seen_)
                delete item;
        }
    }
    const bool changed = removed || !added.empty();
    QList<QTreeWidgetItem*> items;
    for (std::unique_ptr<TShellListItem>& item : added)
        items.append(item.release());
    addTopLevelItems(items);
    report(ShellOperation::CutItemsVanished, vanishedCut, {});
    if (changed && OnMerged)
        OnMerged(this);
    else if (!changed && OnRewritten)
        OnRewritten(this);
}

void TShellList::setCut(TShellListItem* item, bool cut)
{
    if (item->cut_ == cut)
        return;
    item->cut_ = cut;
    item->forgetShownValues();
}

// ---- the link ---------------------------------------------------------------------

void TShellList::customEvent(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == TShellLink::FolderChanged) {
        const ItemIdList& folder = static_cast<TShellLinkFolderEvent*>(event)->idList();
        if (folder.isNull())
            return;
        try {
            browser_->SetFolderIDList(folder);
            Populate();
        } catch (const std::exception&) {
            clear(); // a folder that cannot be shown shows nothing
        }
    } else if (type == TShellLink::SelectAll) {
        selectAll();
        setFocus();
    } else if (type == TShellLink::Refresh) {
        guarded(this, [this] { Populate(); });
    } else if (type == TShellLink::RefreshSelection) {
        guarded(this, [this] { mergeRefresh(); });
    } else {
        QTreeWidget::customEvent(event);
    }
}

// ---- verbs on the selection --------------------------------------------------------

QList<TShellListItem*> TShellList::selectedShellItems() const
{
    QList<TShellListItem*> items; // in display order, not in the order of selecting
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (TShellListItem* item = shellItemOf(topLevelItem(i)); item && item->isSelected())
            items.append(item);
    }
    return items;
}

QList<QPersistentModelIndex> TShellList::indexesOf(const QList<TShellListItem*>& items) const
{
    QList<QPersistentModelIndex> indexes;
    for (const TShellListItem* item : items)
        indexes.append(QPersistentModelIndex(indexFromItem(item)));
    return indexes;
}

QStringList TShellList::pathsOf(const QList<TShellListItem*>& items) const
{
    const ItemIdList folder = browser_->GetFolderIDList();
    QStringList paths;
    for (const TShellListItem* item : items)
        paths.append(platform::SHGetPathFromIDListA(folder.joined(item->relativeIDList())));
    return paths;
}

// A paste goes into the one folder selected, else into the shown folder.
QString TShellList::pasteDestination(const QList<TShellListItem*>& items) const
{
    if (items.size() == 1) {
        browser_->SetObjectIDList(items.front()->relativeIDList());
        if (browser_->IsFolder())
            return pathsOf(items).front();
    }
    return Path();
}

void TShellList::aimAt(const QList<TShellListItem*>& items)
{
    browser_->MultiObjects.clear();
    if (items.size() == 1) {
        browser_->SetObjectIDList(items.front()->relativeIDList());
        return;
    }
    QStringList names;
    for (const TShellListItem* item : items) {
        browser_->SetObjectIDList(item->relativeIDList());
        names.append(browser_->ObjectName());
    }
    browser_->MultiObjects = names;
}

// A folder, or a link to one, opened becomes the shown folder.
bool TShellList::openSelected(TShellListItem* item)
{
    browser_->MultiObjects.clear();
    browser_->SetObjectIDList(item->relativeIDList());
    if (browser_->IsFolder()) {
        if (!browser_->OpenObject())
            return false;
        reportFolder();
        Populate();
        return true;
    }
    const QString target = browser_->GetLinkTarget();
    if (target.isEmpty())
        return false;
    browser_->SetFolder(target);
    Populate();
    reportFolder();
    return true;
}

bool TShellList::ExecuteVerb(const QString& verb)
{
    const QList<TShellListItem*> selected = selectedShellItems();
    if (selected.isEmpty())
        return false;
    const QString v = verb.toLower();
    if (selected.size() == 1 && isOpenVerb(v) && openSelected(selected.front()))
        return true;
    const QStringList paths = pathsOf(selected);
    const QStringList clipboard = platform::ReadClipboardFiles().paths;
    const QString pasteTo = pasteDestination(selected);
    const QList<QPersistentModelIndex> indexes = indexesOf(selected);
    aimAt(selected);
    if (!browser_->ExecuteVerb(verb))
        return false;
    afterVerb(v, paths, clipboard, pasteTo, indexes);
    if (v == u"delete"_s)
        mergeRefresh();
    return true;
}

void TShellList::afterVerb(const QString& verb, const QStringList& paths,
                           const QStringList& clipboard, const QString& pasteTo,
                           const QList<QPersistentModelIndex>& items)
{
    if (verb == u"delete"_s) {
        report(ShellOperation::Deleted, paths, {});
    } else if (verb == u"paste"_s) {
        report(ShellOperation::Pasted, clipboard, pasteTo);
    } else if (verb == u"cut"_s || verb == u"copy"_s) {
        // The clipboard holds only the new items: earlier cut rows look normal again.
        for (int i = 0; i < topLevelItemCount(); ++i) {
            if (TShellListItem* item = shellItemOf(topLevelItem(i)))
                setCut(item, false);
        }
        for (const QPersistentModelIndex& index : items) {
            if (TShellListItem* item =
                    index.isValid() ? shellItemOf(itemFromIndex(index)) : nullptr)
                setCut(item, verb == u"cut"_s);
        }
    }
}

void TShellList::report(TShellOperations operation, const QStringList& files,
                        const QString& destination)
{
    // Deleted rows leave at once, whether or not anyone listens.
    if (operation & 0x40)
        qDeleteAll(selectedItems());
    if (OnOperation && !files.isEmpty())
        OnOperation(this, operation, files, destination);
    // The tree picks up folders deleted, moved or renamed here.
    if (link_ && (operation & (0x2 | 0x40 | 0x80 | 0x200)))
        link_->NotifyRefreshSelection(this);
}

// ---- keys, clicks and the context menu ---------------------------------------------

void TShellList::keyPressEvent(QKeyEvent* event)
{
    bool consumed = false;
    if (state() != EditingState)
        guarded(this, [&] { consumed = handleKey(event); });
    if (consumed)
        event->accept();
    else
        QTreeWidget::keyPressEvent(event);
}

bool TShellList::handleKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::NoModifier) {
        switch (key) {
        case Qt::Key_Delete:
            if (!readOnly_)
                ExecuteVerb(u"delete"_s);
            return true;
        case Qt::Key_F2:
            if (QTreeWidgetItem* item = currentItem(); item && item->isSelected())
                editItem(item);
            return true;
        case Qt::Key_F5:
            Populate();
            if (link_)
                link_->NotifyRefresh(this);
            return true;
        case Qt::Key_Backspace:
            goUp();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
            ExecuteVerb(u"default"_s);
            return true;
        default:
            return false;
        }
    }
    if (modifiers == Qt::ShiftModifier && key == Qt::Key_F10) {
        showContextMenu(!selectedItems().isEmpty(), keyboardMenuPoint());
        return true;
    }
    if (modifiers != Qt::ControlModifier)
        return false;
    switch (key) {
    case Qt::Key_A:
        selectAll();
        setFocus();
        return true;
    case Qt::Key_C:
        ExecuteVerb(u"copy"_s);
        return true;
    case Qt::Key_V:
        if (!readOnly_)
            pasteFromKeyboard();
        return true;
    case Qt::Key_X:
        if (!readOnly_)
            ExecuteVerb(u"cut"_s);
        return true;
    default:
        return false;
    }
}

void TShellList::pasteFromKeyboard()
{
    const QStringList files = platform::ReadClipboardFiles().paths;
    // The folder is not watched during the paste; one merge follows it.
    const TNotifyEvent watch = browser_->OnFileChange();
    browser_->SetOnFileChange({});
    bool pasted = false;
    try {
        pasted = browser_->pasteIntoFolder();
    } catch (...) {
        browser_->SetOnFileChange(watch);
        throw;
    }
    browser_->SetOnFileChange(watch);
    refresh_.start();
    if (pasted)
        report(ShellOperation::Pasted, files, Path());
}

void TShellList::goUp()
{
    browser_->GoUp();
    Populate();
    reportFolder();
}

QPoint TShellList::keyboardMenuPoint() const
{
    const QList<TShellListItem*> selected = selectedShellItems();
    const QPoint point =
        selected.isEmpty() ? QPoint(1, 1) : visualItemRect(selected.front()).topLeft();
    return viewport()->mapToGlobal(point);
}

void TShellList::contextMenuEvent(QContextMenuEvent* event)
{
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    const bool onItem = mouse ? itemAt(event->pos()) != nullptr : !selectedItems().isEmpty();
    const QPoint point = mouse ? event->globalPos() : keyboardMenuPoint();
    guarded(this, [&] { showContextMenu(onItem, point); });
    event->accept();
}

void TShellList::showContextMenu(bool onItem, const QPoint& globalPos)
{
    if (!onItem) {
        if (backgroundPopupMenu_)
            backgroundPopupMenu_->popup(globalPos);
    } else if (shellContextMenu_ && !selectedShellItems().isEmpty()) {
        showShellMenu(globalPos);
    } else if (popupMenu_) {
        popupMenu_->popup(globalPos);
    }
}

void TShellList::showShellMenu(const QPoint& globalPos)
{
    const QList<TShellListItem*> selected = selectedShellItems();
    const QStringList paths = pathsOf(selected);
    const QStringList clipboard = platform::ReadClipboardFiles().paths;
    const QString pasteTo = pasteDestination(selected);
    const QList<QPersistentModelIndex> indexes = indexesOf(selected);
    const ItemIdList folder = browser_->GetFolderIDList();
    aimAt(selected);
    browser_->ReadOnly = readOnly_;
    browser_->OnContextMenuSelect = OnContextMenuSelect;
    browser_->OnRename = TNotifyEvent();
    if (!readOnly_) {
        browser_->OnRename = [this, index = indexes.front()](QObject*) {
            if (index.isValid())
                editItem(itemFromIndex(index));
        };
    }
    const QString verb = browser_->ShowContextMenu(globalPos, popupMenu_);
    browser_->OnRename = TNotifyEvent();
    if (verb == u"open"_s && !(browser_->GetFolderIDList() == folder)) {
        reportFolder(); // a folder opened from the menu is shown
        Populate();
        return;
    }
    afterVerb(verb, paths, clipboard, pasteTo, indexes);
}

void TShellList::mouseDoubleClickEvent(QMouseEvent* event)
{
    QTreeWidget::mouseDoubleClickEvent(event);
    if (OnDblClick) {
        guarded(this, [this] { OnDblClick(this); });
        return;
    }
    if (event->button() == Qt::LeftButton && itemAt(event->position().toPoint()))
        guarded(this, [this] { ExecuteVerb(u"default"_s); });
}

// ---- renaming ----------------------------------------------------------------------

bool TShellList::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if ((trigger == AllEditTriggers || (editTriggers() & trigger)) &&
        !canEdit(itemFromIndex(index)))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

bool TShellList::canEdit(QTreeWidgetItem* item) const
{
    const TShellListItem* row = shellItemOf(item);
    if (readOnly_ || !row)
        return false;
    browser_->SetObjectIDList(row->relativeIDList());
    return browser_->CanRename();
}

void TShellList::renameItem(QTreeWidgetItem* item, const QString& text)
{
    TShellListItem* row = shellItemOf(item);
    if (!row || text.isEmpty() || text == row->text(0))
        return;
    const QString oldPath = pathsOf({row}).front();
    browser_->SetObjectIDList(row->relativeIDList());
    bool renamed = false;
    const QString name = browser_->RenameObject(text, &renamed);
    if (!renamed)
        return; // the caption keeps the name the item still has
    row->setText(0, name);
    row->setRelativeIDList(browser_->GetObjectIDList());
    row->forgetShownValues(); // a new extension may bring a new type and icon
    report(ShellOperation::Renamed, {oldPath}, text);
}

// ---- drag and drop -----------------------------------------------------------------

// The folder that files dropped at the pointer go into: the folder row under
// the pointer, else the shown folder; empty where nothing can be dropped.
QString TShellList::fileDropTarget(QDropEvent* event) const
{
    if (!oleDragDrop_ || readOnly_ ||
        platform::FilesFromMimeData(event->mimeData()).paths.isEmpty())
        return {};
    if (TShellListItem* row = shellItemOf(itemAt(event->position().toPoint()))) {
        browser_->SetObjectIDList(row->relativeIDList());
        if (browser_->IsFolder())
            return pathsOf({row}).front();
    }
    return Path();
}

bool TShellList::acceptsDrag(QDropEvent* event)
{
    const Qt::DropAction action = ShellControls::FileDropAction(*event);
    if (action == Qt::IgnoreAction || fileDropTarget(event).isEmpty())
        return false;
    event->setDropAction(action);
    return true;
}

void TShellList::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TShellList::dragMoveEvent(QDragMoveEvent* event)
{
    scroller_->track(event->position().toPoint());
    bool accept = false;
    guarded(this, [&] { accept = acceptsDrag(event); });
    if (accept)
        event->accept();
    else
        event->ignore();
}

void TShellList::dragLeaveEvent(QDragLeaveEvent* event)
{
    scroller_->stop();
    event->accept();
}

void TShellList::dropEvent(QDropEvent* event)
{
    scroller_->stop();
    event->ignore();
    guarded(this, [&] {
        if (!acceptsDrag(event))
            return;
        event->accept();
        const QString target = fileDropTarget(event);
        const QStringList files = platform::FilesFromMimeData(event->mimeData()).paths;
        const Qt::DropAction action = event->dropAction();
        if (ShellControls::DropFiles(files, action, target).pasted.isEmpty()) {
            event->setDropAction(Qt::IgnoreAction);
            return;
        }
        report(ShellControls::DroppedOperation(action), files, target);
    });
}

void TShellList::startDrag(Qt::DropActions)
{
    const QList<TShellListItem*> selected = selectedShellItems();
    if (!oleDragDrop_ || selected.isEmpty())
        return;
    guarded(this, [&] {
        constexpr quint32 mask =
            platform::SFGAO_CANCOPY | platform::SFGAO_CANMOVE | platform::SFGAO_CANLINK;
        quint32 allowed = mask;
        for (const TShellListItem* item : selected) {
            browser_->SetObjectIDList(item->relativeIDList());
            allowed &= browser_->GetAttributes(mask);
        }
        const QStringList paths = pathsOf(selected);
        const Qt::DropAction done = ShellControls::DragFiles(
            this, paths, ShellControls::ActionsOfAttributes(allowed), selected.front()->icon(0));
        if (done != Qt::IgnoreAction)
            report(ShellControls::DraggedOperation(done), paths, {});
    });
}
