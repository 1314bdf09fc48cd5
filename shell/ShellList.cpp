#include "shell/ShellList.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"
#include "platform/ShellNamespace.h"
#include "shell/ShellStrings.h"

#include <QHeaderView>
#include <QMouseEvent>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;
using platform::ItemIdList;
using ShellControls::guarded;

namespace {

constexpr int refreshDelay = 500;
constexpr int maxColumns = 32; // bits of TShellListItem::Shown::knownDetails

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

TShellListItem::Shown& TShellListItem::shown() const
{
    if (!shown_)
        shown_ = std::make_unique<Shown>();
    return *shown_;
}

void TShellListItem::setDetail(int column, const QString& text) const
{
    Shown& s = shown();
    while (s.details.size() <= column)
        s.details.append(QString());
    s.details[column] = text;
    s.knownDetails |= 1u << column;
}

void TShellListItem::forgetShownValues()
{
    shown_.reset();
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
        if (!(shown().knownDetails & (1u << column)))
            setDetail(column, list->detailOf(*this, column));
        return shown_->details.value(column);
    }
    if (role == Qt::DecorationRole && column == 0) {
        Shown& s = shown();
        if (!s.iconKnown) {
            s.icon = list->iconOf(*this);
            s.iconKnown = true;
        }
        return s.icon;
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

TShellList::TShellList(QWidget* parent) : TShellView(u"TShellList"_s, parent)
{
    setItemsExpandable(false);
    setSelectionMode(ExtendedSelection);
    setAllColumnsShowFocus(true);
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(0, Qt::AscendingOrder);
    header()->setStretchLastSection(false);
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) {
        const bool reverse = column == sortColumn_ && sortOrder_ == Qt::AscendingOrder;
        guarded(this,
                [&] { sortItemsBy(column, reverse ? Qt::DescendingOrder : Qt::AscendingOrder); });
    });

    refresh_.setSingleShot(true);
    refresh_.setInterval(refreshDelay);
    refresh_.setTimerType(Qt::PreciseTimer);
    connect(&refresh_, &QTimer::timeout, this, [this] {
        if (refreshHeld_ && refreshHeld_())
            refresh_.start();
        else
            guarded(this, [this] { mergeRefresh(); });
    });
    // A burst of changes on disk is merged once, when the folder has been quiet.
    browser().SetOnFileChange([this](QObject*) { refresh_.start(); });
}

void TShellList::loaded()
{
    const bool first = !created_;
    created_ = true;
    if (first && Path().isEmpty()) {
        setPath(QString()); // "计算机"
        return;
    }
    if (!(ShellLink() && topLevelItemCount() > 0))
        Populate();
}

void TShellList::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    // A list shown before anyone chose its folder shows "计算机".
    if (!created_ && !loading()) {
        created_ = true;
        if (Path().isEmpty() && topLevelItemCount() == 0)
            guarded(this, [this] { setPath(QString()); });
    }
}

void TShellList::setRefreshHeld(std::function<bool()> held)
{
    refreshHeld_ = std::move(held);
}

QString TShellList::Path() const
{
    return browser().Folder();
}

void TShellList::setPath(const QString& path)
{
    try {
        browser().SetFolder(path);
    } catch (const EShellBrowserError&) {
        if (!loading())
            throw;
        ShellControls::showError(this, ShellStrings::CannotFindPath() + path);
    }
    reportFolder();
    Populate();
}

void TShellList::reportFolder()
{
    if (ShellLink())
        ShellLink()->NotifyFolderChange(this, browser().GetFolderIDList());
}

TShellFolder TShellList::SpecialFolder() const
{
    return browserSpecialFolder();
}

void TShellList::setSpecialFolder(TShellFolder folder)
{
    if (folder != SF_FILESYSTEMFOLDER)
        browser().SetSpecialFolder(folder);
    Populate();
    reportFolder();
}

void TShellList::setShowHidden(bool on)
{
    storeShowHidden(on);
    Populate();
}

void TShellList::setDetails(bool on)
{
    if (ShellControls::assignChanged(details_, on))
        Populate();
}

// ---- reading the folder -------------------------------------------------------------

bool TShellList::Populate()
{
    if (loading() || !isEnabled())
        return false;
    const ShellControls::WaitCursor wait;
    const ShellControls::UpdatesSuspended frozen(this);
    refresh_.stop(); // what changed so far is read now
    clear();
    buildColumns();
    if (OnCreateColumns)
        OnCreateColumns(this);
    std::vector<std::unique_ptr<TShellListItem>> made;
    while (browser().Next()) {
        if (std::unique_ptr<TShellListItem> item = makeItem())
            made.push_back(std::move(item));
    }
    // Sorted before they are added: the items' own comparison decodes and
    // collates both names each time, which made a big folder slow to show.
    std::vector<const platform::ItemIdList*> ids;
    ids.reserve(made.size());
    for (const std::unique_ptr<TShellListItem>& item : made)
        ids.push_back(&item->relativeIDList());
    QList<QTreeWidgetItem*> items;
    items.reserve(qsizetype(made.size()));
    for (const std::size_t i :
         browser().sortOrder(sortColumn_, ids, sortOrder_ == Qt::DescendingOrder))
        items.append(made[i].release());
    addTopLevelItems(items);
    header()->setSortIndicator(sortColumn_, sortOrder_);
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
        const QString caption = browser().GetDetail(c, true);
        if (caption.isEmpty())
            break;
        captions.append(caption);
        alignments_.append(browser().GetColumnInfo(c).alignment);
        if (!details_)
            break;
    }
    setColumnCount(int(captions.size()));
    setHeaderLabels(captions);
    for (int c = 0; c < int(captions.size()); ++c) {
        headerItem()->setTextAlignment(c, alignments_[c] | Qt::AlignVCenter);
        const int remembered = c < widths.size() ? widths[c] : 0;
        setColumnWidth(c, remembered >= 1 ? remembered : browser().GetColumnInfo(c).width);
    }
    if (sortColumn_ >= columnCount()) {
        sortColumn_ = 0;
        sortOrder_ = Qt::AscendingOrder;
    }
}

// A row for the browser's current item, or null when the item is not shown.
std::unique_ptr<TShellListItem> TShellList::makeItem()
{
    if (!ShowHidden() && browser().IsGhosted())
        return {};
    auto item = std::make_unique<TShellListItem>(browser().GetObjectIDList());
    item->setText(0, browser().GetDisplayName());
    if (OnAddItem) {
        if (details_) {
            for (int c = 1; c < columnCount(); ++c)
                item->setText(c, browser().GetDetail(c, false));
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
    browser().SetObjectIDList(item.relativeIDList());
    return browser().GetDetail(column, false);
}

QIcon TShellList::iconOf(const TShellListItem& item) const
{
    browser().SetObjectIDList(item.relativeIDList());
    const int index = browser().IconNumber();
    const quint32 attributes = browser().GetAttributes(
        platform::SFGAO_LINK | platform::SFGAO_SHARE | platform::SFGAO_GHOSTED);
    const int overlay = attributes & platform::SFGAO_LINK    ? 1
                        : attributes & platform::SFGAO_SHARE ? 0
                                                             : -1;
    return icons().icon(index, -1, overlay, item.isCut() || (attributes & platform::SFGAO_GHOSTED));
}

Qt::Alignment TShellList::alignmentOf(int column) const
{
    return alignments_.value(column, Qt::AlignLeft);
}

int TShellList::compareItems(const TShellListItem& a, const TShellListItem& b) const
{
    return browser().compareIDs(sortColumn_, a.relativeIDList(), b.relativeIDList());
}

void TShellList::sortItemsBy(int column, Qt::SortOrder order)
{
    sortColumn_ = column;
    sortOrder_ = order;
    const ShellControls::WaitCursor wait;
    sortItems(column, order);
}

// Merges what changed on disk: rows of items that are gone leave, new items
// are added at the end; the order is not changed.
void TShellList::mergeRefresh()
{
    refresh_.stop();
    if (loading())
        return;
    const ShellControls::UpdatesSuspended frozen(this);
    std::vector<TShellListItem*> existing;
    for (int i = 0; i < topLevelItemCount(); ++i) {
        if (TShellListItem* item = shellItemOf(topLevelItem(i))) {
            item->seen_ = false;
            existing.push_back(item);
        }
    }
    const auto before = [this](const TShellListItem* a, const ItemIdList& b) {
        return browser().compareIDs(0, a->relativeIDList(), b) < 0;
    };
    std::sort(existing.begin(), existing.end(),
              [&](const auto* a, const auto* b) { return before(a, b->relativeIDList()); });
    std::vector<std::unique_ptr<TShellListItem>> added;
    int seen = 0;
    while (browser().Next()) {
        const ItemIdList item = browser().GetObjectIDList();
        const auto it = std::lower_bound(existing.begin(), existing.end(), item, before);
        if (it != existing.end() && browser().compareIDs(0, (*it)->relativeIDList(), item) == 0) {
            seen += (*it)->seen_ ? 0 : 1;
            (*it)->seen_ = true;
            // Its size and date may be others now.
            if ((*it)->shown_ && (*it)->shown_->knownDetails != 0)
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

// A folder that cannot be shown shows nothing.
void TShellList::followFolder(const ItemIdList& absolute)
{
    try {
        browser().SetFolderIDList(absolute);
        Populate();
    } catch (const std::exception&) {
        clear();
    }
}

void TShellList::followSelectAll()
{
    selectAll();
    setFocus();
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
    const ItemIdList folder = browser().GetFolderIDList();
    QStringList paths;
    for (const TShellListItem* item : items)
        paths.append(platform::SHGetPathFromIDListA(folder.joined(item->relativeIDList())));
    return paths;
}

// A paste goes into the one folder selected, else into the shown folder.
QString TShellList::pasteDestination(const QList<TShellListItem*>& items) const
{
    if (items.size() == 1) {
        browser().SetObjectIDList(items.front()->relativeIDList());
        if (browser().IsFolder())
            return pathsOf(items).front();
    }
    return Path();
}

void TShellList::aimAt(const QList<TShellListItem*>& items)
{
    browser().MultiObjects.clear();
    if (items.size() == 1) {
        browser().SetObjectIDList(items.front()->relativeIDList());
        return;
    }
    QStringList names;
    for (const TShellListItem* item : items) {
        browser().SetObjectIDList(item->relativeIDList());
        names.append(browser().ObjectName());
    }
    browser().MultiObjects = names;
}

// A folder, or a link to one, opened becomes the shown folder.
bool TShellList::openSelected(TShellListItem* item)
{
    browser().MultiObjects.clear();
    browser().SetObjectIDList(item->relativeIDList());
    if (browser().IsFolder()) {
        if (!browser().OpenObject())
            return false;
        reportFolder();
        Populate();
        return true;
    }
    const QString target = browser().GetLinkTarget();
    if (target.isEmpty())
        return false;
    browser().SetFolder(target);
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
    if (!browser().ExecuteVerb(verb))
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
    TShellView::report(operation, files, destination);
    // The tree picks up folders deleted, moved or renamed here.
    if (ShellLink() && (operation & (0x2 | 0x40 | 0x80 | 0x200)))
        ShellLink()->NotifyRefreshSelection(this);
}

// ---- keys, clicks and the context menu ---------------------------------------------

bool TShellList::handleOwnKey(int key, Qt::KeyboardModifiers modifiers)
{
    if (modifiers != Qt::NoModifier)
        return false;
    if (key == Qt::Key_Backspace)
        goUp();
    else if (key == Qt::Key_Return || key == Qt::Key_Enter)
        ExecuteVerb(u"default"_s);
    else
        return false;
    return true;
}

void TShellList::pasteKey()
{
    const QStringList files = platform::ReadClipboardFiles().paths;
    // The folder is not watched during the paste; one merge follows it.
    const TNotifyEvent watch = browser().OnFileChange();
    browser().SetOnFileChange({});
    bool pasted = false;
    try {
        pasted = browser().pasteIntoFolder();
    } catch (...) {
        browser().SetOnFileChange(watch);
        throw;
    }
    browser().SetOnFileChange(watch);
    refresh_.start();
    if (pasted)
        report(ShellOperation::Pasted, files, Path());
}

void TShellList::goUp()
{
    browser().GoUp();
    Populate();
    reportFolder();
}

QTreeWidgetItem* TShellList::menuItem() const
{
    const QList<TShellListItem*> selected = selectedShellItems();
    return selected.isEmpty() ? nullptr : selected.front();
}

void TShellList::showBackgroundMenu(const QPoint& globalPos)
{
    if (backgroundPopupMenu_)
        backgroundPopupMenu_->popup(globalPos);
}

void TShellList::showShellMenu(const QPoint& globalPos)
{
    const QList<TShellListItem*> selected = selectedShellItems();
    const QStringList paths = pathsOf(selected);
    const QStringList clipboard = platform::ReadClipboardFiles().paths;
    const QString pasteTo = pasteDestination(selected);
    const QList<QPersistentModelIndex> indexes = indexesOf(selected);
    const ItemIdList folder = browser().GetFolderIDList();
    aimAt(selected);
    const QString verb = runShellMenu(globalPos, indexes.front());
    if (verb == u"open"_s && !(browser().GetFolderIDList() == folder)) {
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

bool TShellList::aimAtItem(QTreeWidgetItem* item) const
{
    const TShellListItem* row = shellItemOf(item);
    if (row)
        browser().SetObjectIDList(row->relativeIDList());
    return row;
}

QString TShellList::itemPath(QTreeWidgetItem* item) const
{
    TShellListItem* row = shellItemOf(item);
    return row ? pathsOf({row}).front() : QString();
}

void TShellList::itemRenamed(QTreeWidgetItem* item, const QString& oldPath, const QString& text)
{
    TShellListItem* row = shellItemOf(item);
    row->setRelativeIDList(browser().GetObjectIDList());
    row->forgetShownValues(); // a new extension may bring a new type and icon
    report(ShellOperation::Renamed, {oldPath}, text);
}

// ---- drag and drop -----------------------------------------------------------------

// The folder row under the pointer, else the shown folder.
QString TShellList::dropFolderAt(const QPoint& viewportPos) const
{
    if (TShellListItem* row = shellItemOf(itemAt(viewportPos))) {
        browser().SetObjectIDList(row->relativeIDList());
        if (browser().IsFolder())
            return pathsOf({row}).front();
    }
    return Path();
}

// The selected items, as far as all of them allow.
TShellView::DragSet TShellList::dragSet()
{
    const QList<TShellListItem*> selected = selectedShellItems();
    if (selected.isEmpty())
        return {};
    constexpr quint32 mask =
        platform::SFGAO_CANCOPY | platform::SFGAO_CANMOVE | platform::SFGAO_CANLINK;
    quint32 allowed = mask;
    for (const TShellListItem* item : selected) {
        browser().SetObjectIDList(item->relativeIDList());
        allowed &= browser().GetAttributes(mask);
    }
    return {pathsOf(selected),
            ShellControls::ActionsOfAttributes(allowed),
            selected.front()->icon(0),
            {}};
}
