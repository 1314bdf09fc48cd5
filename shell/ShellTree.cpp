#include "shell/ShellTree.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"
#include "platform/ShellNamespace.h"
#include "shell/ShellLink.h"
#include "shell/ShellStrings.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QTreeWidgetItemIterator>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;
using platform::ItemIdList;
using ShellControls::guarded;
using ShellControls::UpdatesSuspended;
using ShellControls::WaitCursor;

namespace {

constexpr int clickDelay = 100;
constexpr int keyDelay = 800;
constexpr int hoverExpandDelay = 2000;

TShellTreeItem* nodeOf(QTreeWidgetItem* item)
{
    return item && item->type() == TShellTreeItem::ItemType ? static_cast<TShellTreeItem*>(item)
                                                            : nullptr;
}

const TShellTreeItem* nodeOf(const QTreeWidgetItem* item)
{
    return item && item->type() == TShellTreeItem::ItemType
               ? static_cast<const TShellTreeItem*>(item)
               : nullptr;
}

bool contains(const QTreeWidgetItem* ancestor, const QTreeWidgetItem* item)
{
    for (; item; item = item->parent()) {
        if (item == ancestor)
            return true;
    }
    return false;
}

int depthOf(const QTreeWidgetItem* item)
{
    int depth = 0;
    for (; item->parent(); item = item->parent())
        ++depth;
    return depth;
}

// Lets what happened on disk and in other windows be seen before re-reading;
// user input waits, so that no click lands in the middle of a refresh.
void processPendingEvents()
{
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

} // namespace

// ---- the node -------------------------------------------------------------------

TShellTreeItem::TShellTreeItem(ItemIdList relative, ItemIdList absolute)
    : QTreeWidgetItem(ItemType), relative_(std::move(relative)), absolute_(std::move(absolute))
{
    setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled | Qt::ItemIsEditable | Qt::ItemIsDragEnabled);
}

void TShellTreeItem::setIdLists(ItemIdList relative, ItemIdList absolute)
{
    relative_ = std::move(relative);
    absolute_ = std::move(absolute);
}

void TShellTreeItem::setDropHighlight(bool on)
{
    if (dropHighlight_ == on)
        return;
    dropHighlight_ = on;
    emitDataChanged();
}

QVariant TShellTreeItem::data(int column, int role) const
{
    if (dropHighlight_ && column == 0 && treeWidget()) {
        if (role == Qt::BackgroundRole)
            return treeWidget()->palette().brush(QPalette::Highlight);
        if (role == Qt::ForegroundRole)
            return treeWidget()->palette().brush(QPalette::HighlightedText);
    }
    return QTreeWidgetItem::data(column, role);
}

bool TShellTreeItem::operator<(const QTreeWidgetItem& other) const
{
    const auto* tree = dynamic_cast<const TShellTree*>(treeWidget());
    const TShellTreeItem* node = nodeOf(&other);
    if (!tree || !node)
        return QTreeWidgetItem::operator<(other);
    return tree->compareNodes(*this, *node) < 0;
}

// ---- construction and properties -------------------------------------------------

TShellTree::TShellTree(QWidget* parent)
    : QTreeWidget(parent), browser_(new TShellBrowser(this)), images_(new TSystemImageList(this)),
      icons_(*images_), scroller_(new ShellControls::DragScroller(this))
{
    resize(150, 200);
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(SingleSelection);
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(images_->iconSize());
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setItemDelegate(new ShellControls::RenameDelegate(
        this, [this](const QModelIndex& index, const QString& text) {
            guarded(this, [&] { renameNode(itemFromIndex(index), text); });
        }));
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
    setAutoScroll(false); // the drag scroller does it, at its own pace

    delay_.setSingleShot(true);
    delay_.setInterval(clickDelay);
    connect(&delay_, &QTimer::timeout, this,
            [this] { guarded(this, [this] { reportSelection(); }); });
    hoverExpand_.setSingleShot(true);
    hoverExpand_.setInterval(hoverExpandDelay);
    connect(&hoverExpand_, &QTimer::timeout, this, [this] {
        if (QTreeWidgetItem* node = dropTarget())
            node->setExpanded(true);
    });
    connect(this, &QTreeWidget::itemExpanded, this, [this](QTreeWidgetItem* item) {
        // A node read before as having no children is not read again.
        if (item->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator)
            guarded(this, [&] { fillNode(nodeOf(item)); });
    });
    connect(this, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { selectionChanged(current); });
}

TShellTree::~TShellTree()
{
    // The base class deletes the nodes; nothing of this class may react to that.
    disconnect(this, nullptr, this, nullptr);
    if (link_)
        link_->RemoveControl(this);
}

void TShellTree::setLoading(bool loading)
{
    loading_ = loading;
}

void TShellTree::setShellLink(TShellLink* link)
{
    if (link_ == link)
        return;
    if (link_)
        link_->RemoveControl(this);
    link_ = link;
    if (link_)
        link_->AddControl(this);
}

QString TShellTree::Version() const
{
    return u"TShellTree"_s + ShellStrings::VersionSuffix();
}

void TShellTree::setRootedAtFileSystemFolder(const QString& path)
{
    rootedAtFileSystemFolder_ = path;
    if (!path.isEmpty() && platform::ShellFolder::bind(platform::ParsePath(path)))
        setRootedAt(SF_FILESYSTEMFOLDER);
}

void TShellTree::setOleDragDrop(bool on)
{
    oleDragDrop_ = on;
    setDragEnabled(on);
}

void TShellTree::setShowHidden(bool on)
{
    if (showHidden_ == on)
        return;
    showHidden_ = on;
    rebuildKeepingSelection();
}

void TShellTree::setShowNetHood(bool on)
{
    if (showNetHood_ == on)
        return;
    showNetHood_ = on;
    rebuildKeepingSelection();
}

void TShellTree::rebuildKeepingSelection()
{
    if (!rootNode())
        return;
    const QString selected = SelectedFolder();
    setRootedAt(rootedAt_);
    selectFolder(selected);
}

void TShellTree::setShowFiles(bool on)
{
    if (showFiles_ == on)
        return;
    showFiles_ = on;
    RefreshTree();
}

bool TShellTree::FileSystemOnly() const
{
    return browser_->FileSystemOnly;
}

void TShellTree::setFileSystemOnly(bool on)
{
    browser_->FileSystemOnly = on;
    RefreshTree();
}

QString TShellTree::Filter() const
{
    return browser_->Filter();
}

void TShellTree::setFilter(const QString& filter)
{
    browser_->SetFilter(filter);
    RefreshTree();
}

void TShellTree::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    // A tree shown before anyone chose its root shows the desktop, as it
    // would in a designer.
    if (!shown_ && !loading_ && topLevelItemCount() == 0)
        guarded(this, [this] { setRootedAt(rootedAt_); });
    // Chosen before the tree had a size: brought into view now.
    if (!shown_ && currentItem())
        scrollToItem(currentItem(), PositionAtCenter);
    shown_ = true;
}

// ---- nodes ------------------------------------------------------------------------

TShellTreeItem* TShellTree::rootNode() const
{
    return nodeOf(topLevelItem(0));
}

void TShellTree::pointAtNode(const TShellTreeItem* node) const
{
    const ItemIdList& absolute = node->absoluteIDList();
    if (absolute.isEmpty()) { // the desktop has no parent: it stays without an item
        browser_->SetFolderIDList(ItemIdList::empty());
        return;
    }
    browser_->SetFolderIDList(absolute.parent());
    browser_->SetObjectIDList(absolute.last());
}

void TShellTree::setHasChildren(QTreeWidgetItem* node, bool has) const
{
    node->setChildIndicatorPolicy(has ? QTreeWidgetItem::ShowIndicator
                                      : QTreeWidgetItem::DontShowIndicatorWhenChildless);
}

bool TShellTree::hasChildrenMark(const QTreeWidgetItem* node) const
{
    return node->childCount() > 0 || node->childIndicatorPolicy() == QTreeWidgetItem::ShowIndicator;
}

void TShellTree::updateIcon(TShellTreeItem* node)
{
    node->setIcon(0, icons_.icon(node->iconIndex_, node->selectedIconIndex_, node->overlay_,
                                 node->cut_ || node->hidden_));
}

void TShellTree::setCut(TShellTreeItem* node, bool cut)
{
    if (node->cut_ == cut)
        return;
    node->cut_ = cut;
    updateIcon(node);
}

int TShellTree::compareNodes(const TShellTreeItem& a, const TShellTreeItem& b) const
{
    return browser_->compareIDs(0, a.relativeIDList(), b.relativeIDList());
}

std::unique_ptr<TShellTreeItem> TShellTree::makeRoot(TShellFolder folder)
{
    std::unique_ptr<TShellTreeItem> root;
    if (folder == SF_DESKTOP) {
        root = std::make_unique<TShellTreeItem>(ItemIdList::empty(), ItemIdList::empty());
        root->setText(0, TShellBrowser::desktopDisplayName());
        root->iconIndex_ = root->selectedIconIndex_ = TShellBrowser::desktopIconNumber();
        setHasChildren(root.get(), true);
    } else {
        if (folder == SF_FILESYSTEMFOLDER) {
            if (rootedAtFileSystemFolder_.isEmpty())
                return {};
            browser_->SetFolder(rootedAtFileSystemFolder_);
        } else if (!browser_->SetSpecialFolder(folder)) {
            return {}; // no such folder here: the tree stays empty
        }
        const ItemIdList absolute = browser_->GetFolderIDList();
        browser_->GoUp();
        root = std::make_unique<TShellTreeItem>(absolute.copy(), absolute.copy());
        root->setText(0, browser_->GetDisplayName());
        root->iconIndex_ = browser_->IconNumber();
        root->selectedIconIndex_ = browser_->SelectedIconNumber();
        setHasChildren(root.get(), browser_->HasSubFolders());
    }
    updateIcon(root.get());
    return root;
}

// A node for the browser's current item, or null when the item is not shown.
std::unique_ptr<TShellTreeItem> TShellTree::makeChild()
{
    const bool folder = browser_->IsFolder();
    if (!showFiles_ && !folder)
        return {};
    if (!showHidden_ && browser_->IsGhosted())
        return {};
    if (!showNetHood_) {
        const TShellFolder special = browser_->GetObjectSpecialIndex();
        if (special == SF_NETHOOD || special == SF_NETWORK)
            return {};
    }
    auto node = std::make_unique<TShellTreeItem>(browser_->GetObjectIDList(),
                                                 browser_->GetAbsoluteIDList());
    node->setText(0, browser_->GetDisplayName());
    node->iconIndex_ = browser_->IconNumber();
    node->selectedIconIndex_ = browser_->SelectedIconNumber();
    const quint32 attributes =
        browser_->GetAttributes(platform::SFGAO_SHARE | platform::SFGAO_GHOSTED);
    node->overlay_ = attributes & platform::SFGAO_SHARE ? 0 : -1;
    node->hidden_ = attributes & platform::SFGAO_GHOSTED;
    setHasChildren(node.get(), showFiles_ ? folder : browser_->HasSubFolders());
    updateIcon(node.get());
    return node;
}

void TShellTree::fillNode(TShellTreeItem* node)
{
    if (!node || node->childCount() > 0)
        return;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    browser_->SetFolderIDList(node->absoluteIDList());
    std::vector<std::unique_ptr<TShellTreeItem>> children;
    while (browser_->Next()) {
        if (std::unique_ptr<TShellTreeItem> child = makeChild())
            children.push_back(std::move(child));
    }
    std::stable_sort(children.begin(), children.end(),
                     [this](const auto& a, const auto& b) { return compareNodes(*a, *b) < 0; });
    QList<QTreeWidgetItem*> items;
    for (std::unique_ptr<TShellTreeItem>& child : children)
        items.append(child.release());
    node->addChildren(items);
    setHasChildren(node, !items.isEmpty());
}

// ---- the root and the selected folder ----------------------------------------------

void TShellTree::setRootedAt(TShellFolder folder)
{
    rootedAt_ = folder;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    delay_.stop();
    clear();
    if (std::unique_ptr<TShellTreeItem> made = makeRoot(folder)) {
        TShellTreeItem* root = made.get();
        addTopLevelItem(made.release());
        fillNode(root);
        root->setExpanded(true);
        // The first child even in "计算机": it lists the file-system root first,
        // where a list of drives has its floppy drive.
        if (QTreeWidgetItem* first = root->child(0))
            setCurrentItem(first);
    }
    if (folder != SF_FILESYSTEMFOLDER)
        rootedAtFileSystemFolder_.clear();
}

QString TShellTree::SelectedFolder() const
{
    const TShellTreeItem* node = nodeOf(currentItem());
    if (!node)
        return {};
    try {
        browser_->SetFolderIDList(node->absoluteIDList());
    } catch (const EShellBrowserError&) {
        return {}; // a file, shown with ShowFiles
    }
    return browser_->Folder();
}

void TShellTree::setSelectedFolder(const QString& path)
{
    if (!selectFolder(path) && !loading_)
        throw EShellBrowserError(ShellStrings::CannotFindFolder() + path);
    if (const TShellTreeItem* node = nodeOf(currentItem()); node && link_)
        link_->NotifyFolderChange(this, node->absoluteIDList());
}

bool TShellTree::selectFolder(const QString& path)
{
    QString text = path;
    if (rootedAt_ != SF_FILESYSTEMFOLDER) {
        if (!browser_->SetSpecialFolder(rootedAt_))
            return false;
    } else {
        if (rootedAtFileSystemFolder_.isEmpty())
            return false;
        browser_->SetFolder(rootedAtFileSystemFolder_);
        const QString root = browser_->Folder();
        if (text.startsWith(root) || text + u'/' == root)
            text = text.mid(root.size());
    }
    ItemIdList list;
    if (!text.isEmpty())
        list = browser_->parseDisplayName(text);
    else if (rootedAt_ == SF_DESKTOP)
        list = platform::SHGetSpecialFolderLocation(platform::CSIDL_DRIVES);
    else
        list = ItemIdList::empty();
    return !list.isNull() && SelectIDList(list);
}

TShellFolder TShellTree::SpecialFolder() const
{
    const TShellTreeItem* node = nodeOf(currentItem());
    if (!node)
        return SF_FILESYSTEMFOLDER;
    try {
        browser_->SetFolderIDList(node->absoluteIDList());
    } catch (const EShellBrowserError&) {
        return SF_FILESYSTEMFOLDER;
    }
    const TShellFolder special = browser_->GetFolderSpecialIndex();
    return special == SF_DRIVES && !browser_->Folder().isEmpty() ? SF_FILESYSTEMFOLDER : special;
}

void TShellTree::setSpecialFolder(TShellFolder folder)
{
    if (folder == SF_FILESYSTEMFOLDER)
        return;
    const ItemIdList list = platform::SHGetSpecialFolderLocation(ShellFolderCsidl(folder));
    if (!list.isNull())
        SelectIDList(list);
}

bool TShellTree::SelectIDList(const ItemIdList& list)
{
    TShellTreeItem* node = rootNode();
    if (!node || list.isNull())
        return false;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    const ItemIdList& root = node->absoluteIDList();
    const int skip = !root.isEmpty() && list.count() >= root.count() &&
                             platform::CompareAbsoluteIDs(list.first(root.count()), root) == 0
                         ? root.count()
                         : 0;
    bool whole = true;
    for (int i = skip; i < list.count(); ++i) {
        setHasChildren(node, true);
        fillNode(node);
        node->setExpanded(true);
        const ItemIdList item = list.item(i);
        TShellTreeItem* next = childMatching(node, item);
        if (!next) { // the folder may have appeared since the node was read
            mergeRefresh(node, false);
            next = childMatching(node, item);
        }
        if (!next) {
            whole = false;
            break;
        }
        node = next;
    }
    selectNode(node);
    return whole;
}

TShellTreeItem* TShellTree::childMatching(TShellTreeItem* node, const ItemIdList& item) const
{
    browser_->SetFolderIDList(node->absoluteIDList());
    for (int i = 0; i < node->childCount(); ++i) {
        TShellTreeItem* child = nodeOf(node->child(i));
        if (child && (child->relativeIDList() == item ||
                      browser_->compareIDs(0, child->relativeIDList(), item) == 0))
            return child;
    }
    return nullptr;
}

void TShellTree::selectNode(QTreeWidgetItem* node)
{
    notifyNext_ = true;
    const QTreeWidgetItem* before = currentItem();
    setCurrentItem(node);
    // Already selected: no change told the link, and the next change is the user's.
    if (currentItem() == before)
        notifyNext_ = false;
    scrollToItem(node);
}

// ---- telling the link, and following it ---------------------------------------------

void TShellTree::selectionChanged(QTreeWidgetItem* current)
{
    if (!current) {
        delay_.stop();
        return;
    }
    if (!notifyNext_) {
        delay_.start();
        return;
    }
    notifyNext_ = false;
    delay_.stop();
    const TShellTreeItem* node = nodeOf(current);
    if (link_ && node && !loading_)
        guarded(this, [&] { link_->NotifyFolderChange(this, node->absoluteIDList()); });
}

void TShellTree::reportSelection()
{
    delay_.stop();
    const TShellTreeItem* node = nodeOf(currentItem());
    if (link_ && node && !loading_)
        link_->NotifyFolderChange(this, node->absoluteIDList());
}

void TShellTree::followFolder(const ItemIdList& absolute)
{
    if (absolute.isNull())
        return;
    if (rootedAt_ != SF_FILESYSTEMFOLDER) {
        SelectIDList(absolute);
        return;
    }
    // A folder outside the root is no error: the tree stays where it is.
    browser_->SetFolderIDList(absolute);
    selectFolder(browser_->Folder());
}

void TShellTree::customEvent(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == TShellLink::FolderChanged) {
        const ItemIdList& folder = static_cast<TShellLinkFolderEvent*>(event)->idList();
        guarded(this, [&] { followFolder(folder); });
    } else if (type == TShellLink::Refresh) {
        guarded(this, [this] { RefreshTree(); });
    } else if (type == TShellLink::RefreshSelection) {
        guarded(this, [this] { RefreshSelection(); });
    } else {
        QTreeWidget::customEvent(event);
    }
}

// ---- merge refresh ---------------------------------------------------------------

void TShellTree::mergeRefresh(TShellTreeItem* node, bool recursive)
{
    QHash<QString, TShellTreeItem*> byText;
    for (int i = node->childCount() - 1; i >= 0; --i) { // backwards: the first match wins
        if (TShellTreeItem* child = nodeOf(node->child(i))) {
            child->seen_ = false;
            byText.insert(child->text(0), child);
        }
    }
    browser_->SetFolderIDList(node->absoluteIDList());
    std::vector<std::unique_ptr<TShellTreeItem>> added;
    while (browser_->Next()) {
        const bool folder = browser_->IsFolder();
        if (!showFiles_ && !folder)
            continue;
        if (TShellTreeItem* match = byText.value(browser_->GetDisplayName())) {
            match->seen_ = true;
            setHasChildren(match, showFiles_ ? folder : browser_->HasSubFolders());
        } else if (std::unique_ptr<TShellTreeItem> child = makeChild()) {
            added.push_back(std::move(child));
        }
    }
    for (int i = 0; i < node->childCount();) {
        TShellTreeItem* child = nodeOf(node->child(i));
        if (child && !child->seen_) {
            // The selection leaves a vanished folder for the folder around it.
            if (contains(child, currentItem()))
                setCurrentItem(node);
            delete child;
            continue;
        }
        if (child && recursive && child->isExpanded())
            mergeRefresh(child, true);
        ++i;
    }
    if (!added.empty()) {
        QList<QTreeWidgetItem*> items;
        for (std::unique_ptr<TShellTreeItem>& child : added)
            items.append(child.release());
        node->addChildren(items);
        node->sortChildren(0, Qt::AscendingOrder); // keeps expanded nodes expanded
    }
    if (node->childCount() == 0)
        setHasChildren(node, false);
}

void TShellTree::RefreshTree()
{
    if (!loading_)
        processPendingEvents();
    TShellTreeItem* root = rootNode();
    if (!root)
        return;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    mergeRefresh(root, true);
}

void TShellTree::RefreshSelection()
{
    const TShellTreeItem* selected = nodeOf(currentItem());
    if (!selected || (!selected->isExpanded() && !hasChildrenMark(selected)))
        return;
    processPendingEvents();
    TShellTreeItem* node = nodeOf(currentItem());
    if (!node)
        return;
    const UpdatesSuspended frozen(this);
    if (node->text(0).isEmpty() && nodeOf(node->parent()))
        node = nodeOf(node->parent());
    mergeRefresh(node, true);
    refreshParentsOfCutNodes();
}

// A cut folder may have been pasted elsewhere: its parent is read again.
void TShellTree::refreshParentsOfCutNodes()
{
    std::vector<TShellTreeItem*> parents;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        const TShellTreeItem* node = nodeOf(*it);
        TShellTreeItem* parent = node && node->cut_ ? nodeOf(node->parent()) : nullptr;
        if (parent && std::find(parents.begin(), parents.end(), parent) == parents.end())
            parents.push_back(parent);
    }
    // Deepest first: a merge deletes only nodes below the one merged, never one
    // still waiting here.
    std::stable_sort(parents.begin(), parents.end(),
                     [](const auto* a, const auto* b) { return depthOf(a) > depthOf(b); });
    for (TShellTreeItem* parent : parents)
        mergeRefresh(parent, false);
}

QString TShellTree::GetNodePath(QTreeWidgetItem* node) const
{
    const TShellTreeItem* n = nodeOf(node);
    return n ? platform::SHGetPathFromIDListA(n->absoluteIDList()) : QString();
}

// ---- keys, clicks and the context menu ---------------------------------------------

void TShellTree::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        delay_.setInterval(clickDelay);
    QTreeWidget::mousePressEvent(event);
}

void TShellTree::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && OnClick)
        guarded(this, [this] { OnClick(this); });
}

void TShellTree::keyPressEvent(QKeyEvent* event)
{
    delay_.setInterval(keyDelay);
    bool consumed = false;
    if (state() != EditingState)
        guarded(this, [&] { consumed = handleKey(event); });
    if (consumed)
        event->accept();
    else
        QTreeWidget::keyPressEvent(event);
}

bool TShellTree::handleKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (modifiers == Qt::NoModifier && key == Qt::Key_Delete) {
        if (!readOnly_)
            ExecuteVerb(u"delete"_s);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_F2) {
        if (currentItem())
            editItem(currentItem());
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_F5) {
        RefreshTree();
        if (link_)
            link_->NotifyRefresh(this);
    } else if (modifiers == Qt::ShiftModifier && key == Qt::Key_F10) {
        showContextMenu(keyboardMenuPoint());
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_A) {
        if (link_)
            link_->NotifySelectAll(this);
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_C) {
        ExecuteVerb(u"copy"_s);
    } else if (modifiers == Qt::ControlModifier && (key == Qt::Key_V || key == Qt::Key_X)) {
        if (!readOnly_)
            ExecuteVerb(key == Qt::Key_V ? u"paste"_s : u"cut"_s);
    } else {
        return false;
    }
    return true;
}

QPoint TShellTree::keyboardMenuPoint() const
{
    const QTreeWidgetItem* node = currentItem();
    return viewport()->mapToGlobal(node ? visualItemRect(node).topLeft() : QPoint(1, 1));
}

void TShellTree::contextMenuEvent(QContextMenuEvent* event)
{
    const QPoint point =
        event->reason() == QContextMenuEvent::Mouse ? event->globalPos() : keyboardMenuPoint();
    guarded(this, [&] { showContextMenu(point); });
    event->accept();
}

TShellTree::VerbContext TShellTree::contextOf(TShellTreeItem* node) const
{
    return {QPersistentModelIndex(indexFromItem(node)), GetNodePath(node),
            platform::ReadClipboardFiles().paths};
}

void TShellTree::showContextMenu(const QPoint& globalPos)
{
    TShellTreeItem* node = nodeOf(currentItem());
    // The desktop is no item of any folder: it has no shell menu.
    if (!shellContextMenu_ || !node || node->absoluteIDList().isEmpty()) {
        if (popupMenu_)
            popupMenu_->popup(globalPos);
        return;
    }
    const VerbContext context = contextOf(node);
    pointAtNode(node);
    browser_->ReadOnly = readOnly_;
    browser_->OnContextMenuSelect = OnContextMenuSelect;
    browser_->OnRename = TNotifyEvent();
    if (!readOnly_) {
        browser_->OnRename = [this, index = context.node](QObject*) {
            if (index.isValid())
                editItem(itemFromIndex(index));
        };
    }
    const QString verb = browser_->ShowContextMenu(globalPos, popupMenu_);
    browser_->OnRename = TNotifyEvent();
    afterVerb(verb, context);
}

bool TShellTree::ExecuteVerb(const QString& verb)
{
    TShellTreeItem* node = nodeOf(currentItem());
    if (!node)
        return false;
    const VerbContext context = contextOf(node);
    pointAtNode(node);
    if (!browser_->ExecuteVerb(verb))
        return false;
    afterVerb(verb.toLower(), context);
    return true;
}

void TShellTree::afterVerb(const QString& verb, const VerbContext& context)
{
    QTreeWidgetItem* node = context.node.isValid() ? itemFromIndex(context.node) : nullptr;
    if (verb == u"delete"_s) {
        if (node)
            removeDeletedNode(node);
        report(ShellOperation::Deleted, {context.path}, {});
    } else if (verb == u"cut"_s) {
        if (TShellTreeItem* cut = nodeOf(node))
            setCut(cut, true);
    } else if (verb == u"paste"_s) {
        processPendingEvents();
        if (node && node == currentItem())
            setHasChildren(node, true); // so that a pasted folder is read in
        RefreshSelection();
        report(ShellOperation::Pasted, context.clipboard, SelectedFolder());
    }
}

void TShellTree::removeDeletedNode(QTreeWidgetItem* node)
{
    notifyNext_ = true; // the node selected instead is shown at once
    delete node;
}

void TShellTree::report(TShellOperations operation, const QStringList& files,
                        const QString& destination)
{
    QStringList paths = files;
    paths.removeAll(QString());
    if (OnOperation && !paths.isEmpty())
        OnOperation(this, operation, paths, destination);
}

// ---- renaming ----------------------------------------------------------------------

bool TShellTree::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if ((trigger == AllEditTriggers || (editTriggers() & trigger)) &&
        !canEdit(itemFromIndex(index)))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

bool TShellTree::canEdit(QTreeWidgetItem* item) const
{
    if (readOnly_ || !item)
        return false;
    const TShellTreeItem* node = nodeOf(item);
    if (!node)
        return true;
    try {
        pointAtNode(node);
        return browser_->CanRename();
    } catch (const EShellBrowserError&) {
        return false;
    }
}

void TShellTree::renameNode(QTreeWidgetItem* item, const QString& text)
{
    TShellTreeItem* node = nodeOf(item);
    if (!node) {
        if (item)
            item->setText(0, text);
        return;
    }
    if (text.isEmpty() || text == node->text(0))
        return;
    const QString oldPath = GetNodePath(node);
    pointAtNode(node);
    bool renamed = false;
    const QString name = browser_->RenameObject(text, &renamed);
    if (!renamed)
        return; // the label keeps the name the item still has
    node->setText(0, name);
    node->setIdLists(browser_->GetObjectIDList(), browser_->GetAbsoluteIDList());
    updateDescendants(node);
    report(ShellOperation::Renamed, {oldPath}, text);
    if (link_)
        link_->NotifyFolderChange(this, node->absoluteIDList());
}

// The nodes below a renamed folder lead through its new name.
void TShellTree::updateDescendants(TShellTreeItem* node)
{
    for (int i = 0; i < node->childCount(); ++i) {
        if (TShellTreeItem* child = nodeOf(node->child(i))) {
            child->setIdLists(child->relativeIDList().copy(),
                              node->absoluteIDList().joined(child->relativeIDList()));
            updateDescendants(child);
        }
    }
}

// ---- drag and drop -----------------------------------------------------------------

QTreeWidgetItem* TShellTree::dropTarget() const
{
    return dropIndex_.isValid() ? itemFromIndex(dropIndex_) : nullptr;
}

void TShellTree::setDropTarget(QTreeWidgetItem* item)
{
    QTreeWidgetItem* old = dropTarget();
    if (old == item)
        return;
    if (TShellTreeItem* node = nodeOf(old))
        node->setDropHighlight(false);
    dropIndex_ = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    if (TShellTreeItem* node = nodeOf(item))
        node->setDropHighlight(true);
    if (item)
        hoverExpand_.start();
    else
        hoverExpand_.stop();
}

void TShellTree::endDrag()
{
    setDropTarget(nullptr);
    scroller_->stop();
    hoverExpand_.stop();
}

TShellTreeItem* TShellTree::fileDropTarget(QDropEvent* event) const
{
    if (readOnly_ || platform::FilesFromMimeData(event->mimeData()).paths.isEmpty())
        return nullptr;
    TShellTreeItem* node = nodeOf(itemAt(event->position().toPoint()));
    if (!node || GetNodePath(node).isEmpty() ||
        !platform::ShellFolder::bind(node->absoluteIDList()))
        return nullptr;
    return node;
}

bool TShellTree::acceptsDrag(QDropEvent* event)
{
    if (oleDragDrop_) {
        const Qt::DropAction action = ShellControls::FileDropAction(*event);
        if (!fileDropTarget(event) || action == Qt::IgnoreAction)
            return false;
        event->setDropAction(action);
        return true;
    }
    const QPoint pos = event->position().toPoint();
    bool accept = false;
    if (OnDragOver) {
        accept = true;
        OnDragOver(this, ShellControls::DragSource(*event, *this), pos.x(), pos.y(), accept);
    }
    // A copy as far as the source knows: a view that is told of a move removes
    // the dragged rows itself, and what happens to them is the drop handler's call.
    if (accept && (event->possibleActions() & Qt::CopyAction))
        event->setDropAction(Qt::CopyAction);
    return accept;
}

void TShellTree::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TShellTree::dragMoveEvent(QDragMoveEvent* event)
{
    scroller_->track(event->position().toPoint());
    bool accept = false;
    guarded(this, [&] { accept = acceptsDrag(event); });
    setDropTarget(accept ? itemAt(event->position().toPoint()) : nullptr);
    if (accept)
        event->accept();
    else
        event->ignore();
}

void TShellTree::dragLeaveEvent(QDragLeaveEvent* event)
{
    endDrag();
    event->accept();
}

void TShellTree::dropEvent(QDropEvent* event)
{
    endDrag();
    event->ignore();
    guarded(this, [&] {
        if (!acceptsDrag(event))
            return;
        event->accept();
        const QPoint pos = event->position().toPoint();
        if (oleDragDrop_)
            dropFiles(event);
        else if (OnDragDrop)
            OnDragDrop(this, ShellControls::DragSource(*event, *this), pos.x(), pos.y());
    });
}

void TShellTree::dropFiles(QDropEvent* event)
{
    TShellTreeItem* node = fileDropTarget(event);
    if (!node)
        return;
    const QPersistentModelIndex index(indexFromItem(node));
    const QString target = GetNodePath(node);
    const QStringList files = platform::FilesFromMimeData(event->mimeData()).paths;
    const Qt::DropAction action = event->dropAction();
    if (ShellControls::DropFiles(files, action, target).pasted.isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        return;
    }
    report(ShellControls::DroppedOperation(action), files, target);
    if (TShellTreeItem* n = nodeOf(index.isValid() ? itemFromIndex(index) : nullptr);
        n && hasChildrenMark(n))
        mergeRefresh(n, false);
}

void TShellTree::startDrag(Qt::DropActions)
{
    TShellTreeItem* node = nodeOf(currentItem());
    if (!oleDragDrop_ || !node || node == rootNode())
        return;
    guarded(this, [&] {
        const QString path = GetNodePath(node);
        if (path.isEmpty())
            return;
        pointAtNode(node);
        const Qt::DropActions actions = ShellControls::ActionsOfAttributes(browser_->GetAttributes(
            platform::SFGAO_CANCOPY | platform::SFGAO_CANMOVE | platform::SFGAO_CANLINK));
        const QPersistentModelIndex parent(indexFromItem(node->parent()));
        const Qt::DropAction done = ShellControls::DragFiles(this, {path}, actions, node->icon(0));
        if (TShellTreeItem* p = nodeOf(parent.isValid() ? itemFromIndex(parent) : nullptr))
            mergeRefresh(p, false);
        if (done != Qt::IgnoreAction)
            report(ShellControls::DraggedOperation(done), {path}, {});
    });
}
