#pragma once

#include "platform/Events.h"
#include "platform/ItemIdList.h"
#include "shell/ShellBrowser.h"
#include "shell/ShellControlSupport.h"
#include "shell/ShellLink.h"
#include "shell/ShellView.h"

#include <QList>
#include <QMenu>
#include <QPersistentModelIndex>
#include <QPointer>
#include <QTimer>
#include <QTreeWidget>

#include <functional>
#include <memory>

class TShellList;

// A row of the shell file list: the item's identifier list relative to the
// shown folder. The caption is set when the row is added; the detail texts and
// the icon are worked out the first time they are shown, and kept.
class TShellListItem : public QTreeWidgetItem {
public:
    static constexpr int ItemType = QTreeWidgetItem::UserType + 2;
    explicit TShellListItem(platform::ItemIdList relative);

    const platform::ItemIdList& relativeIDList() const { return relative_; }
    // Cut to the clipboard: drawn dimmed, as hidden items are.
    bool isCut() const { return cut_; }

    QVariant data(int column, int role) const override;
    bool operator<(const QTreeWidgetItem& other) const override;

private:
    friend class TShellList;
    void setRelativeIDList(platform::ItemIdList relative);
    void setDetail(int column, const QString& text) const;
    void forgetShownValues();

    // What was worked out for drawing. Made on the first draw only: a list
    // kept hidden holds a folder of 100,000 files without it.
    struct Shown {
        QStringList details;      // by column; column 0 unused
        quint32 knownDetails = 0; // a bit per column worked out
        QIcon icon;
        bool iconKnown = false;
    };
    Shown& shown() const;

    platform::ItemIdList relative_;
    bool seen_ = true;
    bool cut_ = false;
    mutable std::unique_ptr<Shown> shown_;
};

// May veto an item as it is added (CanAdd starts true).
using TOnAddItem = std::function<void(QObject* Sender, QTreeWidgetItem* Item, bool& CanAdd)>;

// The items of one shell folder in report style, with the shell's detail
// columns, filtered by name patterns. It watches the shown folder on disk and
// merges changes in 500 ms after the last one, follows the folder that other
// controls of its TShellLink report, and reports the folders it opens. While
// loading (setLoading) nothing is read, and a Path that cannot be found is
// shown in a message box instead of raising an error; then the list is read,
// unless a link already filled it.
class TShellList : public TShellView {
public:
    explicit TShellList(QWidget* parent = nullptr);

    // While `held` says so, changes on disk wait to be merged: a batch that
    // writes thousands of files would have the folder read again and again
    // under it. Empty: never held.
    void setRefreshHeld(std::function<bool()> held);

    // The shown folder's path, ending in "/"; empty for a virtual folder.
    QString Path() const;
    // Shows the folder (even the one already shown) and reports it to the link.
    // Raises EShellBrowserError "Cannot Find Folder: " + path; while loading the
    // message box "Cannot find path: " + path says so instead.
    void setPath(const QString& path);
    TShellFolder SpecialFolder() const;
    void setSpecialFolder(TShellFolder folder);
    // Reads the shown folder again; nothing while loading or disabled. True
    // when it read.
    bool Populate();

    // ShowHidden and Details read the folder again.
    void setShowHidden(bool on);
    // False: the first column only.
    bool Details() const { return details_; }
    void setDetails(bool on);
    // Shown on a right-click outside the items.
    QMenu* BackgroundPopupMenu() const { return backgroundPopupMenu_; }
    void setBackgroundPopupMenu(QMenu* menu) { backgroundPopupMenu_ = menu; }

    // The column the items are sorted by and the direction; a click on a
    // header sorts by its column, a second click on it reverses the order.
    int SortColumn() const { return sortColumn_; }
    Qt::SortOrder SortOrder() const { return sortOrder_; }
    void sortItemsBy(int column, Qt::SortOrder order);

    // Runs a verb ("default", "open", "delete", "copy", "cut", "paste", ...) on
    // the selected items; a folder opened becomes the shown folder.
    bool ExecuteVerb(const QString& verb) override;

    // Events, raised only when assigned.
    TOnAddItem OnAddItem;
    TNotifyEvent OnPopulated; // after a full read
    TNotifyEvent OnMerged;    // after a merge that added or removed items
    // After a merge that found the same items: files may have been written in
    // place, or replaced under their names, by this or another program.
    TNotifyEvent OnRewritten;
    TNotifyEvent OnCreateColumns; // after the columns are built, before the items
    TNotifyEvent OnDblClick;      // replaces running "default" on a double-click

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void showEvent(QShowEvent* event) override;

    void reread() override { Populate(); }
    void loaded() override;
    void followFolder(const platform::ItemIdList& absolute) override;
    void refreshSelection() override { mergeRefresh(); }
    void followSelectAll() override;
    void selectAllKey() override { followSelectAll(); }
    void pasteKey() override;
    bool handleOwnKey(int key, Qt::KeyboardModifiers modifiers) override;
    QTreeWidgetItem* menuItem() const override;
    bool hasShellMenu() const override { return !selectedShellItems().isEmpty(); }
    void showShellMenu(const QPoint& globalPos) override;
    void showBackgroundMenu(const QPoint& globalPos) override;
    bool aimAtItem(QTreeWidgetItem* item) const override;
    QString itemPath(QTreeWidgetItem* item) const override;
    void itemRenamed(QTreeWidgetItem* item, const QString& oldPath, const QString& text) override;
    void report(TShellOperations operation, const QStringList& files,
                const QString& destination) override;
    QString dropFolderAt(const QPoint& viewportPos) const override;
    DragSet dragSet() override;

private:
    friend class TShellListItem;

    void reportFolder();
    void buildColumns();
    std::unique_ptr<TShellListItem> makeItem();
    QString detailOf(const TShellListItem& item, int column) const;
    QIcon iconOf(const TShellListItem& item) const;
    Qt::Alignment alignmentOf(int column) const;
    int compareItems(const TShellListItem& a, const TShellListItem& b) const;
    void mergeRefresh();
    void setCut(TShellListItem* item, bool cut);

    QList<TShellListItem*> selectedShellItems() const;
    QList<QPersistentModelIndex> indexesOf(const QList<TShellListItem*>& items) const;
    QStringList pathsOf(const QList<TShellListItem*>& items) const;
    QString pasteDestination(const QList<TShellListItem*>& items) const;
    void aimAt(const QList<TShellListItem*>& items);
    bool openSelected(TShellListItem* item);
    void afterVerb(const QString& verb, const QStringList& paths, const QStringList& clipboard,
                   const QString& pasteTo, const QList<QPersistentModelIndex>& items);
    void goUp();

    QTimer refresh_;
    std::function<bool()> refreshHeld_;
    QPointer<QMenu> backgroundPopupMenu_;
    QList<Qt::Alignment> alignments_;
    int sortColumn_ = 0;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
    bool created_ = false;
    bool hadPath_ = false; // the folder read last had a file-system path
    bool details_ = true;
};
