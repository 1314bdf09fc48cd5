#pragma once

#include "platform/Events.h"
#include "platform/ItemIdList.h"
#include "shell/ShellBrowser.h"
#include "shell/ShellControlSupport.h"
#include "shell/ShellLink.h"

#include <QMenu>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

class TShellTree;

// A node of the folder tree and the shell item it stands for: the item's
// identifier list relative to its parent folder and from the desktop.
class TShellTreeItem : public QTreeWidgetItem {
public:
    static constexpr int ItemType = QTreeWidgetItem::UserType + 1;
    TShellTreeItem(platform::ItemIdList relative, platform::ItemIdList absolute);

    const platform::ItemIdList& relativeIDList() const { return relative_; }
    const platform::ItemIdList& absoluteIDList() const { return absolute_; }
    // Cut to the clipboard by the tree; drawn dimmed, as hidden items are.
    bool isCut() const { return cut_; }
    bool isHidden() const { return hidden_; }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    friend class TShellTree;
    void setIdLists(platform::ItemIdList relative, platform::ItemIdList absolute);
    void setDropHighlight(bool on);

    platform::ItemIdList relative_;
    platform::ItemIdList absolute_;
    bool seen_ = true;
    bool cut_ = false;
    bool hidden_ = false;
    bool dropHighlight_ = false;
    int iconIndex_ = -1;
    int selectedIconIndex_ = -1;
    int overlay_ = -1;
};

// The shell namespace as a tree of folders, read as nodes are expanded. It
// reports the chosen folder to the other controls of its TShellLink, 100 ms
// after a click or 800 ms after a key, and follows what they report. It does
// not watch the disk: RefreshTree and the link's refresh messages bring it up
// to date, keeping expanded sub-trees expanded.
class TShellTree : public QTreeWidget {
public:
    explicit TShellTree(QWidget* parent = nullptr);
    ~TShellTree() override;

    // Between setLoading(true) and setLoading(false) the window sets the
    // tree's designed properties: nothing is reported to the link on a
    // selection change, and a folder that cannot be found raises no error.
    void setLoading(bool loading);
    bool loading() const { return loading_; }

    TShellLink* ShellLink() const { return link_; }
    void setShellLink(TShellLink* link);

    // Builds the single root node and selects its first child.
    TShellFolder RootedAt() const { return rootedAt_; }
    void setRootedAt(TShellFolder folder);
    // The root when RootedAt is SF_FILESYSTEMFOLDER; an existing directory
    // written here makes it so.
    QString RootedAtFileSystemFolder() const { return rootedAtFileSystemFolder_; }
    void setRootedAtFileSystemFolder(const QString& path);

    // Ends in "/"; empty without a selection or for a virtual folder.
    QString SelectedFolder() const;
    // Selects the folder, expanding the nodes on the way, and reports it to
    // the link. An empty text selects "计算机" (the root when not rooted at the
    // desktop). Raises EShellBrowserError "Cannot Find Folder: " + path, except
    // while loading; the nearest node reached stays selected.
    void setSelectedFolder(const QString& path);
    TShellFolder SpecialFolder() const;
    void setSpecialFolder(TShellFolder folder);
    // Selects the node of a list relative to the root (a list from the desktop
    // that leads through the root is taken as well). True when it was found whole.
    bool SelectIDList(const platform::ItemIdList& list);

    bool OleDragDrop() const { return oleDragDrop_; }
    void setOleDragDrop(bool on);
    bool ShellContextMenu() const { return shellContextMenu_; }
    void setShellContextMenu(bool on) { shellContextMenu_ = on; }
    // ShowHidden and ShowNetHood rebuild the tree and keep the selected
    // folder; ShowFiles, Filter and FileSystemOnly re-read it.
    bool ShowHidden() const { return showHidden_; }
    void setShowHidden(bool on);
    bool ShowNetHood() const { return showNetHood_; }
    void setShowNetHood(bool on);
    bool ShowFiles() const { return showFiles_; }
    void setShowFiles(bool on);
    bool FileSystemOnly() const;
    void setFileSystemOnly(bool on);
    QString Filter() const;
    void setFilter(const QString& filter);
    // No label editing, and no "delete", "cut" or "paste" (nor drops).
    bool ReadOnly() const { return readOnly_; }
    void setReadOnly(bool on) { readOnly_ = on; }
    // Merged into the shell context menu; shown alone where that has no place.
    QMenu* PopupMenu() const { return popupMenu_; }
    void setPopupMenu(QMenu* menu) { popupMenu_ = menu; }
    QString Version() const;

    // Merge refreshes: the whole tree (into expanded nodes), the selected node.
    void RefreshTree();
    void RefreshSelection();
    // No trailing "/" except "/" itself; empty for a virtual folder or a node
    // that is not the tree's.
    QString GetNodePath(QTreeWidgetItem* node) const;
    QTreeWidgetItem* Selected() const { return currentItem(); }
    // Runs a verb ("delete", "copy", "cut", "paste", ...) on the selected node.
    bool ExecuteVerb(const QString& verb);
    // The node highlighted as the target of the drag under way; null for none.
    QTreeWidgetItem* dropTarget() const;

    // Events, raised only when assigned.
    TNotifyEvent OnClick;
    // The framework's drag and drop (OleDragDrop off): a drag over the tree
    // asks OnDragOver (Accept starts true) with the position in the viewport's
    // coordinates; a drop calls OnDragDrop.
    std::function<void(QObject* Sender, QObject* Source, int X, int Y, bool& Accept)> OnDragOver;
    std::function<void(QObject* Sender, QObject* Source, int X, int Y)> OnDragDrop;
    TOnOperation OnOperation;
    TOnContextMenuSelectEvent OnContextMenuSelect;

protected:
    void customEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;

private:
    friend class TShellTreeItem;

    TShellTreeItem* rootNode() const;
    void pointAtNode(const TShellTreeItem* node) const;
    std::unique_ptr<TShellTreeItem> makeRoot(TShellFolder folder);
    std::unique_ptr<TShellTreeItem> makeChild();
    void setHasChildren(QTreeWidgetItem* node, bool has) const;
    bool hasChildrenMark(const QTreeWidgetItem* node) const;
    void setCut(TShellTreeItem* node, bool cut);
    void updateIcon(TShellTreeItem* node);
    int compareNodes(const TShellTreeItem& a, const TShellTreeItem& b) const;

    void fillNode(TShellTreeItem* node);
    void mergeRefresh(TShellTreeItem* node, bool recursive);
    void refreshParentsOfCutNodes();
    TShellTreeItem* childMatching(TShellTreeItem* node, const platform::ItemIdList& item) const;
    void selectNode(QTreeWidgetItem* node);
    bool selectFolder(const QString& path);
    void rebuildKeepingSelection();

    void selectionChanged(QTreeWidgetItem* current);
    void reportSelection();
    void followFolder(const platform::ItemIdList& absolute);

    bool handleKey(QKeyEvent* event);
    void showContextMenu(const QPoint& globalPos);
    struct VerbContext {
        QPersistentModelIndex node;
        QString path;
        QStringList clipboard; // read before the verb: a paste may change it
    };
    VerbContext contextOf(TShellTreeItem* node) const;
    void afterVerb(const QString& verb, const VerbContext& context);
    QPoint keyboardMenuPoint() const;
    void removeDeletedNode(QTreeWidgetItem* node);
    bool canEdit(QTreeWidgetItem* item) const;
    void renameNode(QTreeWidgetItem* item, const QString& text);
    void updateDescendants(TShellTreeItem* node);
    void report(TShellOperations operation, const QStringList& files, const QString& destination);

    bool acceptsDrag(QDropEvent* event);
    TShellTreeItem* fileDropTarget(QDropEvent* event) const;
    void dropFiles(QDropEvent* event);
    void setDropTarget(QTreeWidgetItem* item);
    void endDrag();

    TShellBrowser* browser_;
    TSystemImageList* images_;
    ShellControls::IconCache icons_;
    ShellControls::DragScroller* scroller_;
    QTimer delay_;
    QTimer hoverExpand_;
    QPointer<TShellLink> link_;
    QPointer<QMenu> popupMenu_;
    QPersistentModelIndex dropIndex_;
    TShellFolder rootedAt_ = SF_DESKTOP;
    QString rootedAtFileSystemFolder_;
    bool loading_ = false;
    bool notifyNext_ = true;
    bool oleDragDrop_ = false;
    bool shellContextMenu_ = true;
    bool showHidden_ = true;
    bool showNetHood_ = true;
    bool showFiles_ = false;
    bool readOnly_ = false;
    bool shown_ = false;
};
