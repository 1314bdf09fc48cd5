#include "shell/ShellTree.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellItem.h"
#include "platform/ShellNamespace.h"
#include "shell/ShellStrings.h"

#include <QCoreApplication>
#include <QKeyEvent>
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

TShellTree::TShellTree(QWidget* parent) : TShellView(u"TShellTree"_s, parent)
{
    resize(150, 200);
    setColumnCount(1);
    setHeaderHidden(true);
    setSelectionMode(SingleSelection);
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

void TShellTree::setRootedAtFileSystemFolder(const QString& path)
{
    rootedAtFileSystemFolder_ = path;
    if (!path.isEmpty() && platform::ShellFolder::bind(platform::ParsePath(path)))
        setRootedAt(SF_FILESYSTEMFOLDER);
}

void TShellTree::setShowHidden(bool on)
{
    if (storeShowHidden(on))
        rebuildKeepingSelection();
}

void TShellTree::setShowNetHood(bool on)
{
    if (ShellControls::assignChanged(showNetHood_, on))
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
    if (ShellControls::assignChanged(showFiles_, on))
        RefreshTree();
}

void TShellTree::showEvent(QShowEvent* event)
{
    QTreeWidget::showEvent(event);
    // A tree shown before anyone chose its root shows the desktop, as it
    // would in a designer.
    if (!shown_ && !loading() && topLevelItemCount() == 0)
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
        browser().SetFolderIDList(ItemIdList::empty());
        return;
    }
    browser().SetFolderIDList(absolute.parent());
    browser().SetObjectIDList(absolute.last());
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
    node->setIcon(0, icons().icon(node->iconIndex_, node->selectedIconIndex_, node->overlay_,
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
    return browser().compareIDs(0, a.relativeIDList(), b.relativeIDList());
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
            browser().SetFolder(rootedAtFileSystemFolder_);
        } else if (!browser().SetSpecialFolder(folder)) {
            return {}; // no such folder here: the tree stays empty
        }
        const ItemIdList absolute = browser().GetFolderIDList();
        browser().GoUp();
        root = std::make_unique<TShellTreeItem>(absolute.copy(), absolute.copy());
        root->setText(0, browser().GetDisplayName());
        root->iconIndex_ = browser().IconNumber();
        root->selectedIconIndex_ = browser().SelectedIconNumber();
        setHasChildren(root.get(), browser().HasSubFolders());
    }
    updateIcon(root.get());
    return root;
}

// A node for the browser's current item, or null when the item is not shown.
std::unique_ptr<TShellTreeItem> TShellTree::makeChild()
{
    const bool folder = browser().IsFolder();
    if (!showFiles_ && !folder)
        return {};
    if (!ShowHidden() && browser().IsGhosted())
        return {};
    if (!showNetHood_) {
        const TShellFolder special = browser().GetObjectSpecialIndex();
        if (special == SF_NETHOOD || special == SF_NETWORK)
            return {};
    }
    auto node = std::make_unique<TShellTreeItem>(browser().GetObjectIDList(),
                                                 browser().GetAbsoluteIDList());
    node->setText(0, browser().GetDisplayName());
    node->iconIndex_ = browser().IconNumber();
    node->selectedIconIndex_ = browser().SelectedIconNumber();
    const quint32 attributes =
        browser().GetAttributes(platform::SFGAO_SHARE | platform::SFGAO_GHOSTED);
    node->overlay_ = attributes & platform::SFGAO_SHARE ? 0 : -1;
    node->hidden_ = attributes & platform::SFGAO_GHOSTED;
    setHasChildren(node.get(), showFiles_ ? folder : browser().HasSubFolders());
    updateIcon(node.get());
    return node;
}

void TShellTree::fillNode(TShellTreeItem* node)
{
    if (!node || node->childCount() > 0)
        return;
    const WaitCursor wait;
    const UpdatesSuspended frozen(this);
    browser().SetFolderIDList(node->absoluteIDList());
    std::vector<std::unique_ptr<TShellTreeItem>> children;
    while (browser().Next()) {
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
        browser().SetFolderIDList(node->absoluteIDList());
    } catch (const EShellBrowserError&) {
        return {}; // a file, shown with ShowFiles
    }
    return browser().Folder();
}

void TShellTree::setSelectedFolder(const QString& path)
{
    const QTreeWidgetItem* before = currentItem();
    if (!selectFolder(path) && !loading())
        throw EShellBrowserError(ShellStrings::CannotFindFolder() + path);
    // A new current folder told the link as it was selected: telling it again
    // would make it read the folder twice.
    if (currentItem() != before && !loading())
        return;
    if (const TShellTreeItem* node = nodeOf(currentItem()); node && ShellLink())
        ShellLink()->NotifyFolderChange(this, node->absoluteIDList());
}

bool TShellTree::selectFolder(const QString& path)
{
    QString text = path;
    if (rootedAt_ != SF_FILESYSTEMFOLDER) {
        if (!browser().SetSpecialFolder(rootedAt_))
            return false;
    } else {
        if (rootedAtFileSystemFolder_.isEmpty())
            return false;
        browser().SetFolder(rootedAtFileSystemFolder_);
        const QString root = browser().Folder();
        if (text.startsWith(root) || text + u'/' == root)
            text = text.mid(root.size());
    }
    ItemIdList list;
    if (!text.isEmpty())
        list = browser().parseDisplayName(text);
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
        browser().SetFolderIDList(node->absoluteIDList());
    } catch (const EShellBrowserError&) {
        return SF_FILESYSTEMFOLDER;
    }
    return browserSpecialFolder();
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
    browser().SetFolderIDList(node->absoluteIDList());
    for (int i = 0; i < node->childCount(); ++i) {
        TShellTreeItem* child = nodeOf(node->child(i));
        if (child && (child->relativeIDList() == item ||
                      browser().compareIDs(0, child->relativeIDList(), item) == 0))
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
    if (ShellLink() && node && !loading())
        guarded(this, [&] { ShellLink()->NotifyFolderChange(this, node->absoluteIDList()); });
}

void TShellTree::reportSelection()
{
    delay_.stop();
    const TShellTreeItem* node = nodeOf(currentItem());
    if (ShellLink() && node && !loading())
        ShellLink()->NotifyFolderChange(this, node->absoluteIDList());
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
    browser().SetFolderIDList(absolute);
    selectFolder(browser().Folder());
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
    browser().SetFolderIDList(node->absoluteIDList());
    std::vector<std::unique_ptr<TShellTreeItem>> added;
    while (browser().Next()) {
        const bool folder = browser().IsFolder();
        if (!showFiles_ && !folder)
            continue;
        if (TShellTreeItem* match = byText.value(browser().GetDisplayName())) {
            match->seen_ = true;
            setHasChildren(match, showFiles_ ? folder : browser().HasSubFolders());
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
    if (!loading())
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

void TShellTree::keyPressEvent(QKeyEvent* event)
{
    delay_.setInterval(keyDelay);
    TShellView::keyPressEvent(event);
}

void TShellTree::selectAllKey()
{
    if (ShellLink())
        ShellLink()->NotifySelectAll(this);
}

TShellTree::VerbContext TShellTree::contextOf(TShellTreeItem* node) const
{
    return {QPersistentModelIndex(indexFromItem(node)), GetNodePath(node),
            platform::ReadClipboardFiles().paths};
}

// The desktop is no item of any folder: it has no shell menu.
bool TShellTree::hasShellMenu() const
{
    const TShellTreeItem* node = nodeOf(currentItem());
    return node && !node->absoluteIDList().isEmpty();
}

void TShellTree::showShellMenu(const QPoint& globalPos)
{
    TShellTreeItem* node = nodeOf(currentItem());
    const VerbContext context = contextOf(node);
    pointAtNode(node);
    afterVerb(runShellMenu(globalPos, context.node), context);
}

bool TShellTree::ExecuteVerb(const QString& verb)
{
    TShellTreeItem* node = nodeOf(currentItem());
    if (!node)
        return false;
    const VerbContext context = contextOf(node);
    pointAtNode(node);
    if (!browser().ExecuteVerb(verb))
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

// ---- renaming ----------------------------------------------------------------------

bool TShellTree::aimAtItem(QTreeWidgetItem* item) const
{
    const TShellTreeItem* node = nodeOf(item);
    if (node)
        pointAtNode(node);
    return node;
}

void TShellTree::itemRenamed(QTreeWidgetItem* item, const QString& oldPath, const QString& text)
{
    TShellTreeItem* node = nodeOf(item);
    node->setIdLists(browser().GetObjectIDList(), browser().GetAbsoluteIDList());
    updateDescendants(node);
    report(ShellOperation::Renamed, {oldPath}, text);
    if (ShellLink())
        ShellLink()->NotifyFolderChange(this, node->absoluteIDList());
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

void TShellTree::dropTargetChanged(QTreeWidgetItem* old, QTreeWidgetItem* now)
{
    if (TShellTreeItem* node = nodeOf(old))
        node->setDropHighlight(false);
    if (TShellTreeItem* node = nodeOf(now))
        node->setDropHighlight(true);
    if (now)
        hoverExpand_.start();
    else
        hoverExpand_.stop();
}

QString TShellTree::dropFolderAt(const QPoint& viewportPos) const
{
    const TShellTreeItem* node = nodeOf(itemAt(viewportPos));
    if (!node || !platform::ShellFolder::bind(node->absoluteIDList()))
        return {};
    return platform::SHGetPathFromIDListA(node->absoluteIDList());
}

void TShellTree::filesDropped(const QPersistentModelIndex& target)
{
    if (TShellTreeItem* node = nodeOf(target.isValid() ? itemFromIndex(target) : nullptr);
        node && hasChildrenMark(node))
        mergeRefresh(node, false);
}

// The selected node, except the root.
TShellView::DragSet TShellTree::dragSet()
{
    TShellTreeItem* node = nodeOf(currentItem());
    if (!node || node == rootNode())
        return {};
    const QString path = GetNodePath(node);
    if (path.isEmpty())
        return {};
    pointAtNode(node);
    const Qt::DropActions actions = ShellControls::ActionsOfAttributes(browser().GetAttributes(
        platform::SFGAO_CANCOPY | platform::SFGAO_CANMOVE | platform::SFGAO_CANLINK));
    return {{path}, actions, node->icon(0), QPersistentModelIndex(indexFromItem(node->parent()))};
}

void TShellTree::dragEnded(const DragSet& dragged)
{
    if (TShellTreeItem* parent =
            nodeOf(dragged.origin.isValid() ? itemFromIndex(dragged.origin) : nullptr))
        mergeRefresh(parent, false);
}
