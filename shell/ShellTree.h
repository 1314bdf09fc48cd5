#pragma once

#include "platform/Events.h"
#include "platform/ItemIdList.h"
#include "shell/ShellBrowser.h"
#include "shell/ShellControlSupport.h"
#include "shell/ShellLink.h"
#include "shell/ShellView.h"

#include <QPersistentModelIndex>
#include <QTimer>
#include <QTreeWidget>

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
// to date, keeping expanded sub-trees expanded. While loading (setLoading)
// nothing is reported to the link on a selection change, and a folder that
// cannot be found raises no error.
class TShellTree : public TShellView {
public:
    explicit TShellTree(QWidget* parent = nullptr);

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

    // ShowHidden and ShowNetHood rebuild the tree and keep the selected
    // folder; ShowFiles, Filter and FileSystemOnly re-read it.
    void setShowHidden(bool on);
    bool ShowNetHood() const { return showNetHood_; }
    void setShowNetHood(bool on);
    bool ShowFiles() const { return showFiles_; }
    void setShowFiles(bool on);

    // Merge refreshes: the whole tree (into expanded nodes), the selected node.
    void RefreshTree();
    void RefreshSelection();
    // No trailing "/" except "/" itself; empty for a virtual folder or a node
    // that is not the tree's.
    QString GetNodePath(QTreeWidgetItem* node) const;
    QTreeWidgetItem* Selected() const { return currentItem(); }
    // Runs a verb ("delete", "copy", "cut", "paste", ...) on the selected node.
    bool ExecuteVerb(const QString& verb) override;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void reread() override { RefreshTree(); }
    void followFolder(const platform::ItemIdList& absolute) override;
    void refreshSelection() override { RefreshSelection(); }
    void selectAllKey() override;
    QTreeWidgetItem* menuItem() const override { return currentItem(); }
    bool menuOnItems(const QPoint*) const override { return true; }
    bool hasShellMenu() const override;
    void showShellMenu(const QPoint& globalPos) override;
    bool aimAtItem(QTreeWidgetItem* item) const override;
    QString itemPath(QTreeWidgetItem* item) const override { return GetNodePath(item); }
    void itemRenamed(QTreeWidgetItem* item, const QString& oldPath, const QString& text) override;
    QString dropFolderAt(const QPoint& viewportPos) const override;
    void filesDropped(const QPersistentModelIndex& target) override;
    void dropTargetChanged(QTreeWidgetItem* old, QTreeWidgetItem* now) override;
    DragSet dragSet() override;
    void dragEnded(const DragSet& dragged) override;

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

    struct VerbContext {
        QPersistentModelIndex node;
        QString path;
        QStringList clipboard; // read before the verb: a paste may change it
    };
    VerbContext contextOf(TShellTreeItem* node) const;
    void afterVerb(const QString& verb, const VerbContext& context);
    void removeDeletedNode(QTreeWidgetItem* node);
    void updateDescendants(TShellTreeItem* node);

    QTimer delay_;
    QTimer hoverExpand_;
    TShellFolder rootedAt_ = SF_DESKTOP;
    QString rootedAtFileSystemFolder_;
    bool notifyNext_ = true;
    bool showNetHood_ = true;
    bool showFiles_ = false;
    bool shown_ = false;
};
