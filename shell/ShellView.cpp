#include "shell/ShellView.h"

#include "platform/ShellClipboard.h"
#include "shell/ShellStrings.h"

#include <QContextMenuEvent>
#include <QDropEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>

using namespace Qt::StringLiterals;
using ShellControls::guarded;

TShellView::TShellView(const QString& className, QWidget* parent)
    : QTreeWidget(parent), className_(className), browser_(new TShellBrowser(this)),
      images_(new TSystemImageList(this)), icons_(*images_),
      scroller_(new ShellControls::DragScroller(this))
{
    setRootIsDecorated(false);
    setUniformRowHeights(true);
    setIconSize(images_->iconSize());
    setEditTriggers(SelectedClicked | EditKeyPressed);
    setItemDelegate(new ShellControls::RenameDelegate(
        this, [this](const QModelIndex& index, const QString& text) {
            guarded(this, [&] { renameItem(itemFromIndex(index), text); });
        }));
    viewport()->setAcceptDrops(true);
    setDropIndicatorShown(false);
}

TShellView::~TShellView()
{
    // The base class deletes the items; nothing of the view may react to that.
    disconnect(this, nullptr, this, nullptr);
    disconnect(header(), nullptr, this, nullptr);
    browser_->SetOnFileChange({});
    if (link_)
        link_->RemoveControl(this);
}

void TShellView::setLoading(bool loading)
{
    loading_ = loading;
    if (!loading)
        loaded();
}

void TShellView::setShellLink(TShellLink* link)
{
    if (link_ == link)
        return;
    if (link_)
        link_->RemoveControl(this);
    link_ = link;
    if (link_)
        link_->AddControl(this);
}

QString TShellView::Version() const
{
    return className_ + ShellStrings::VersionSuffix();
}

QString TShellView::Filter() const
{
    return browser_->Filter();
}

void TShellView::setFilter(const QString& filter)
{
    browser_->SetFilter(filter);
    reread();
}

bool TShellView::FileSystemOnly() const
{
    return browser_->FileSystemOnly;
}

void TShellView::setFileSystemOnly(bool on)
{
    browser_->FileSystemOnly = on;
    reread();
}

bool TShellView::storeShowHidden(bool on)
{
    return ShellControls::assignChanged(showHidden_, on);
}

TShellFolder TShellView::browserSpecialFolder() const
{
    const TShellFolder special = browser_->GetFolderSpecialIndex();
    return special == SF_DRIVES && !browser_->Folder().isEmpty() ? SF_FILESYSTEMFOLDER : special;
}

void TShellView::setOleDragDrop(bool on)
{
    oleDragDrop_ = on;
    setDragEnabled(on);
}

void TShellView::report(TShellOperations operation, const QStringList& files,
                        const QString& destination)
{
    QStringList paths = files;
    paths.removeAll(QString()); // a virtual folder has no path to tell of
    if (OnOperation && !paths.isEmpty())
        OnOperation(this, operation, paths, destination);
}

// ---- the link ---------------------------------------------------------------------

void TShellView::customEvent(QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == TShellLink::FolderChanged) {
        const platform::ItemIdList& folder = static_cast<TShellLinkFolderEvent*>(event)->idList();
        if (!folder.isNull())
            guarded(this, [&] { followFolder(folder); });
    } else if (type == TShellLink::SelectAll) {
        followSelectAll();
    } else if (type == TShellLink::Refresh) {
        guarded(this, [this] { reread(); });
    } else if (type == TShellLink::RefreshSelection) {
        guarded(this, [this] { refreshSelection(); });
    } else {
        QTreeWidget::customEvent(event);
    }
}

// ---- keys and clicks ----------------------------------------------------------------

void TShellView::keyPressEvent(QKeyEvent* event)
{
    bool consumed = false;
    if (state() != EditingState)
        guarded(this, [&] { consumed = handleKey(event); });
    if (consumed)
        event->accept();
    else
        QTreeWidget::keyPressEvent(event);
}

void TShellView::pasteKey()
{
    ExecuteVerb(u"paste"_s);
}

bool TShellView::handleOwnKey(int, Qt::KeyboardModifiers)
{
    return false;
}

bool TShellView::handleKey(QKeyEvent* event)
{
    const Qt::KeyboardModifiers modifiers = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (handleOwnKey(key, modifiers))
        return true;
    if (modifiers == Qt::NoModifier && key == Qt::Key_Delete) {
        if (!readOnly_)
            ExecuteVerb(u"delete"_s);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_F2) {
        if (QTreeWidgetItem* item = currentItem(); item && item->isSelected())
            editItem(item);
    } else if (modifiers == Qt::NoModifier && key == Qt::Key_F5) {
        reread();
        if (link_)
            link_->NotifyRefresh(this);
    } else if (modifiers == Qt::ShiftModifier && key == Qt::Key_F10) {
        showContextMenu(menuOnItems(nullptr), keyboardMenuPoint());
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_A) {
        selectAllKey();
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_C) {
        ExecuteVerb(u"copy"_s);
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_V) {
        if (!readOnly_)
            pasteKey();
    } else if (modifiers == Qt::ControlModifier && key == Qt::Key_X) {
        if (!readOnly_)
            ExecuteVerb(u"cut"_s);
    } else {
        return false;
    }
    return true;
}

void TShellView::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeWidget::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && OnClick)
        guarded(this, [this] { OnClick(this); });
}

// ---- the context menu ---------------------------------------------------------------

bool TShellView::menuOnItems(const QPoint* viewportPos) const
{
    return viewportPos ? itemAt(*viewportPos) != nullptr : menuItem() != nullptr;
}

QPoint TShellView::keyboardMenuPoint() const
{
    const QTreeWidgetItem* item = menuItem();
    return viewport()->mapToGlobal(item ? visualItemRect(item).topLeft() : QPoint(1, 1));
}

void TShellView::contextMenuEvent(QContextMenuEvent* event)
{
    const bool mouse = event->reason() == QContextMenuEvent::Mouse;
    const QPoint pos = event->pos();
    const bool onItems = menuOnItems(mouse ? &pos : nullptr);
    const QPoint point = mouse ? event->globalPos() : keyboardMenuPoint();
    guarded(this, [&] { showContextMenu(onItems, point); });
    event->accept();
}

void TShellView::showContextMenu(bool onItems, const QPoint& globalPos)
{
    if (!onItems)
        showBackgroundMenu(globalPos);
    else if (shellContextMenu_ && hasShellMenu())
        showShellMenu(globalPos);
    else if (popupMenu_)
        popupMenu_->popup(globalPos);
}

QString TShellView::runShellMenu(const QPoint& globalPos, const QPersistentModelIndex& renameIndex)
{
    browser_->ReadOnly = readOnly_;
    browser_->OnContextMenuSelect = OnContextMenuSelect;
    browser_->OnRename = TNotifyEvent();
    if (!readOnly_) {
        browser_->OnRename = [this, renameIndex](QObject*) {
            if (renameIndex.isValid())
                editItem(itemFromIndex(renameIndex));
        };
    }
    const QString verb = browser_->ShowContextMenu(globalPos, popupMenu_);
    browser_->OnRename = TNotifyEvent();
    return verb;
}

// ---- renaming ----------------------------------------------------------------------

bool TShellView::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    if ((trigger == AllEditTriggers || (editTriggers() & trigger)) &&
        !canEdit(itemFromIndex(index)))
        return false;
    return QTreeWidget::edit(index, trigger, event);
}

bool TShellView::canEdit(QTreeWidgetItem* item) const
{
    if (readOnly_ || !item)
        return false;
    try {
        // An item that is no shell item is only a label.
        return !aimAtItem(item) || browser_->CanRename();
    } catch (const EShellBrowserError&) {
        return false;
    }
}

void TShellView::renameItem(QTreeWidgetItem* item, const QString& text)
{
    if (!item || text.isEmpty() || text == item->text(0))
        return;
    const QString oldPath = itemPath(item);
    if (!aimAtItem(item)) {
        item->setText(0, text);
        return;
    }
    bool renamed = false;
    const QString name = browser_->RenameObject(text, &renamed);
    if (!renamed)
        return; // the label keeps the name the item still has
    item->setText(0, name);
    itemRenamed(item, oldPath, text);
}

// ---- drag and drop -----------------------------------------------------------------

QTreeWidgetItem* TShellView::dropTarget() const
{
    return dropIndex_.isValid() ? itemFromIndex(dropIndex_) : nullptr;
}

void TShellView::setDropTarget(QTreeWidgetItem* item)
{
    QTreeWidgetItem* old = dropTarget();
    if (old == item)
        return;
    dropIndex_ = item ? QPersistentModelIndex(indexFromItem(item)) : QPersistentModelIndex();
    dropTargetChanged(old, item);
}

void TShellView::endDrag()
{
    setDropTarget(nullptr);
    scroller_->stop();
}

QString TShellView::fileDropFolder(QDropEvent* event) const
{
    if (readOnly_ || platform::FilesFromMimeData(event->mimeData()).paths.isEmpty())
        return {};
    return dropFolderAt(event->position().toPoint());
}

bool TShellView::acceptsDrag(QDropEvent* event)
{
    if (oleDragDrop_) {
        const Qt::DropAction action = ShellControls::FileDropAction(*event);
        if (action == Qt::IgnoreAction || fileDropFolder(event).isEmpty())
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

void TShellView::dragEnterEvent(QDragEnterEvent* event)
{
    dragMoveEvent(event);
}

void TShellView::dragMoveEvent(QDragMoveEvent* event)
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

void TShellView::dragLeaveEvent(QDragLeaveEvent* event)
{
    endDrag();
    event->accept();
}

void TShellView::dropEvent(QDropEvent* event)
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

void TShellView::dropFiles(QDropEvent* event)
{
    const QString target = fileDropFolder(event);
    if (target.isEmpty())
        return;
    // Asking whether to replace a file lets other events in: the item may go.
    const QPersistentModelIndex at(indexAt(event->position().toPoint()));
    const QStringList files = platform::FilesFromMimeData(event->mimeData()).paths;
    const Qt::DropAction action = event->dropAction();
    if (ShellControls::DropFiles(files, action, target).pasted.isEmpty()) {
        event->setDropAction(Qt::IgnoreAction);
        return;
    }
    report(ShellControls::DroppedOperation(action), files, target);
    filesDropped(at);
}

void TShellView::startDrag(Qt::DropActions)
{
    if (!oleDragDrop_)
        return;
    guarded(this, [this] {
        const DragSet dragged = dragSet();
        if (dragged.paths.isEmpty())
            return;
        const Qt::DropAction done =
            ShellControls::DragFiles(this, dragged.paths, dragged.actions, dragged.icon);
        dragEnded(dragged);
        if (done != Qt::IgnoreAction)
            report(ShellControls::DraggedOperation(done), dragged.paths, {});
    });
}
