#pragma once

#include "platform/Events.h"
#include "platform/ItemIdList.h"
#include "shell/ShellBrowser.h"
#include "shell/ShellControlSupport.h"
#include "shell/ShellLink.h"

#include <QIcon>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTreeWidget>

#include <functional>

// What the folder tree and the shell file list have in common: a private
// namespace browser, the link to the other controls, the keys, the context
// menu, renaming, drag and drop and the link's messages. Each view answers a
// few questions about its items (which one is aimed at, which folder a drop
// goes into) and adds what is its own.
class TShellView : public QTreeWidget {
public:
    ~TShellView() override;

    // Between setLoading(true) and setLoading(false) the window sets the
    // view's designed properties; what the view does then is its own.
    void setLoading(bool loading);
    bool loading() const { return loading_; }

    TShellLink* ShellLink() const { return link_; }
    void setShellLink(TShellLink* link);

    // Filter and FileSystemOnly read the view again.
    QString Filter() const;
    void setFilter(const QString& filter);
    bool FileSystemOnly() const;
    void setFileSystemOnly(bool on);
    bool ShowHidden() const { return showHidden_; }
    // No renaming, and no "delete", "cut" or "paste" (nor drops).
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool on) { readOnly_ = on; }
    // Platform drag and drop of files; off, the view takes part in the
    // framework's drag and drop through OnDragOver and OnDragDrop.
    bool OleDragDrop() const { return oleDragDrop_; }
    void setOleDragDrop(bool on);
    bool ShellContextMenu() const { return shellContextMenu_; }
    void setShellContextMenu(bool on) { shellContextMenu_ = on; }
    // Merged into the shell context menu; shown alone where that has no place.
    QMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    QString Version() const;

    // Runs a verb ("delete", "copy", "cut", "paste", ...) on the selection.
    virtual bool ExecuteVerb(const QString& verb) = 0;
    // The item highlighted as the target of the drag under way; null for none.
    QTreeWidgetItem* dropTarget() const;

    // Events, raised only when assigned.
    TNotifyEvent OnClick; // a left click
    // The framework's drag and drop (OleDragDrop off): a drag over the view
    // asks OnDragOver (Accept starts true) with the position in the viewport's
    // coordinates; a drop calls OnDragDrop.
    std::function<void(QObject* Sender, QObject* Source, int X, int Y, bool& Accept)> OnDragOver;
    std::function<void(QObject* Sender, QObject* Source, int X, int Y)> OnDragDrop;
    TOnOperation OnOperation;
    TOnContextMenuSelectEvent OnContextMenuSelect;

protected:
    // The class name is what Version reports.
    TShellView(const QString& className, QWidget* parent);

    TShellBrowser& browser() const { return *browser_; }
    ShellControls::IconCache& icons() const { return icons_; }
    // The special folder the browser is pointed at; a folder with a path
    // reads as SF_FILESYSTEMFOLDER, not as "计算机" that holds it.
    TShellFolder browserSpecialFolder() const;

    // ---- what each view answers ----
    // Reads the view again (F5, the link's refresh, Filter, FileSystemOnly).
    virtual void reread() = 0;
    // Setting loading to false.
    virtual void loaded() {}
    // The link's messages: a folder shown elsewhere (not null), a refresh of
    // the selection after an operation elsewhere, a selection of everything.
    virtual void followFolder(const platform::ItemIdList& absolute) = 0;
    virtual void refreshSelection() = 0;
    virtual void followSelectAll() {}
    // Ctrl+A.
    virtual void selectAllKey() = 0;
    // Ctrl+V, unless read-only.
    virtual void pasteKey();
    // Keys of one view only; true when handled.
    virtual bool handleOwnKey(int key, Qt::KeyboardModifiers modifiers);
    // The item a menu asked for from the keyboard stands at; null for none.
    virtual QTreeWidgetItem* menuItem() const = 0;
    // Whether a menu asked for at the point (from the keyboard: null) is the
    // menu of the items, not the one of the background.
    virtual bool menuOnItems(const QPoint* viewportPos) const;
    virtual bool hasShellMenu() const = 0;
    virtual void showShellMenu(const QPoint& globalPos) = 0;
    virtual void showBackgroundMenu(const QPoint&) {}
    // Points the browser at the item; false for an item that is no shell item.
    virtual bool aimAtItem(QTreeWidgetItem* item) const = 0;
    virtual QString itemPath(QTreeWidgetItem* item) const = 0;
    // The item took its new name on disk: it takes on the new identity and
    // reports the operation.
    virtual void itemRenamed(QTreeWidgetItem* item, const QString& oldPath,
                             const QString& text) = 0;
    virtual void report(TShellOperations operation, const QStringList& files,
                        const QString& destination);
    // The folder that files dropped at the point go into; empty for none.
    virtual QString dropFolderAt(const QPoint& viewportPos) const = 0;
    virtual void filesDropped(const QPersistentModelIndex&) {}
    virtual void dropTargetChanged(QTreeWidgetItem*, QTreeWidgetItem*) {}
    // What a drag out of the view takes along; no paths for no drag.
    struct DragSet {
        QStringList paths;
        Qt::DropActions actions;
        QIcon icon;
        QPersistentModelIndex origin; // where the dragged items came from
    };
    virtual DragSet dragSet() = 0;
    virtual void dragEnded(const DragSet&) {}

    // ---- shared steps ----
    // Shows the browser's menu for the items it is aimed at, the view's own
    // menu merged in; the item at renameIndex is edited for "rename". The verb run.
    QString runShellMenu(const QPoint& globalPos, const QPersistentModelIndex& renameIndex);
    QPoint keyboardMenuPoint() const;
    void showContextMenu(bool onItems, const QPoint& globalPos);

    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

    // True when it changed.
    bool storeShowHidden(bool on);

private:
    bool handleKey(QKeyEvent* event);
    bool canEdit(QTreeWidgetItem* item) const;
    void renameItem(QTreeWidgetItem* item, const QString& text);
    QString fileDropFolder(QDropEvent* event) const;
    bool acceptsDrag(QDropEvent* event);
    void dropFiles(QDropEvent* event);
    void setDropTarget(QTreeWidgetItem* item);
    void endDrag();

    QString className_;
    TShellBrowser* browser_;
    TSystemImageList* images_;
    mutable ShellControls::IconCache icons_;
    ShellControls::DragScroller* scroller_;
    QPointer<TShellLink> link_;
    QPointer<QMenu> popupMenu_;
    QPersistentModelIndex dropIndex_;
    bool loading_ = false;
    bool showHidden_ = true;
    bool readOnly_ = false;
    bool oleDragDrop_ = false;
    bool shellContextMenu_ = true;
};
