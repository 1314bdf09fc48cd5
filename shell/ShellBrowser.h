#pragma once

// How the folder tree and the shell file list use the browser
//
// Each control owns one TShellBrowser (Qt parent: the control, which also
// parents its menus) and does all its namespace work through it. The browser
// is a cursor: point it at a folder (SetFolder by path, SetFolderIDList by
// absolute list, SetSpecialFolder), then either walk the folder with Next()
// (each item in turn becomes the current item; Filter and FileSystemOnly
// apply) or point it at one known item with SetObjectIDList(relative list),
// and ask about the current item: GetDisplayName, GetAttributes / IsFolder /
// HasSubFolders / IsGhosted / IsLink / CanRename, IconNumber (an index for
// TSystemImageList::icon), GetDetail(column, false). A node or row keeps
// GetObjectIDList() (and the tree GetAbsoluteIDList()); lists are move-only
// values, copied with copy(). Sorting and merging use compareIDs(column, a, b)
// of the shown folder: 0 means the same item.
//
// SetOnFileChange(handler) makes the browser follow its folder on disk (file and
// folder names, and writes to files). Verbs run on the current item or, when MultiObjects is
// set, on those names: ExecuteVerb("delete"), ShowContextMenu(point, menu).
// The questions the verbs ask and the popup loop are TShellBrowser::ui(), so
// tests answer them. Errors are EShellBrowserError, for the application's
// general handler.

#include "platform/Events.h"
#include "platform/Exception.h"
#include "platform/ItemIdList.h"
#include "platform/ShellNamespace.h"
#include "platform/ShellVerbs.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QPixmap>
#include <QPoint>
#include <QSize>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class TDirMon;

class EShellBrowserError : public platform::Exception {
public:
    using platform::Exception::Exception;
};

// The folders of the namespace that a control can be rooted at or show.
// Only SF_DESKTOP, SF_DRIVES, SF_PERSONAL and SF_DESKTOPDIRECTORY have a
// folder here; the others answer as a missing special folder does.
enum TShellFolder {
    SF_FILESYSTEMFOLDER, // none: a folder given by path
    SF_BITBUCKET,
    SF_CONTROLS,
    SF_DESKTOP,
    SF_DESKTOPDIRECTORY,
    SF_DRIVES,
    SF_FONTS,
    SF_NETHOOD,
    SF_NETWORK,
    SF_PERSONAL,
    SF_PRINTERS,
    SF_PROGRAMS,
    SF_RECENT,
    SF_SENDTO,
    SF_STARTMENU,
    SF_STARTUP,
    SF_TEMPLATES,
    SF_FAVORITES,
    SF_COMMON_STARTMENU,
    SF_COMMON_STARTUP,
    SF_COMMON_DESKTOPDIRECTORY,
    SF_APPDATA,
    SF_PRINTHOOD,
    SF_COMMON_FAVORITES,
    SF_INTERNET_CACHE,
    SF_COOKIES,
    SF_HISTORY,
};

// The platform's folder identifier (CSIDL) of a value; -1 for SF_FILESYSTEMFOLDER.
int ShellFolderCsidl(TShellFolder folder);

// Decides whether a picked shell command runs; `execute` starts true.
using TOnContextMenuSelectEvent = std::function<void(const QString& command, bool& execute)>;

class TShellBrowser : public QObject {
public:
    // The user-facing parts of the verbs, process-wide, so that tests of any
    // control can answer them. The defaults show message boxes and the menu.
    struct Ui {
        std::function<bool(const QStringList& paths)> confirmDelete;
        platform::AskReplace askReplace;
        std::function<bool(const QString& path)>
            openFile; // unset: the desktop's default application
        std::function<QAction*(QMenu& menu, const QPoint& point)> execMenu;
    };
    static Ui& ui();

    // Filter "*", positioned on "计算机".
    explicit TShellBrowser(QObject* owner = nullptr);
    ~TShellBrowser() override;

    // ";"-separated name patterns; empty means "*". Folders always pass.
    QString Filter() const;
    void SetFilter(const QString& filter);

    // The folder's path with a trailing "/"; empty for a virtual folder.
    QString Folder() const { return folder_; }
    // Empty text: "计算机". Otherwise an absolute path; a different text than
    // Folder (compared with case, as the file system does) re-points the
    // browser. Raises EShellBrowserError "Cannot Find Folder: " + text.
    void SetFolder(const QString& folder);

    // The current item's file name; a volume's whole path ("/"); empty for a
    // virtual item or without an item.
    QString ObjectName() const;
    // A name is looked up in the folder (by file or display name); "/" or a
    // volume root makes "计算机" the folder and the volume the item; another
    // path sets Folder to its folder part and the item to its name part.
    // Raises EShellBrowserError when nothing of that name is there.
    void SetObjectName(const QString& name);

    int IconNumber() const;         // -1 without an item
    int SelectedIconNumber() const; // the open folder's icon for folders
    // Enumeration skips items outside the file system.
    bool FileSystemOnly = false;
    // Names of several items for the next verb or context menu; emptied by it.
    QStringList MultiObjects;
    // Set by the owning control: the context menu does not run "delete",
    // "cut" and "paste" (unless OnContextMenuSelect decides).
    bool ReadOnly = false;
    QString Version() const;

    TNotifyEvent OnRename; // the user picked "rename"; also shows the command
    TOnContextMenuSelectEvent OnContextMenuSelect;
    const TNotifyEvent& OnFileChange() const { return onFileChange_; }
    // Creates the directory monitor for Folder (file and folder names, and writes), or
    // stops and frees it for an empty handler.
    void SetOnFileChange(TNotifyEvent handler);

    // Points the browser at a folder; a null list leaves it without one.
    // Raises EShellBrowserError when the list is no folder.
    void SetFolderIDList(const platform::ItemIdList& absolute);
    // False when the platform has no such folder.
    bool SetSpecialFolder(TShellFolder folder);
    // The folder's parent becomes the folder and the folder its current item;
    // the desktop stays the desktop without an item. False without a folder.
    bool GoUp();
    // A current item that is a folder becomes the folder.
    bool OpenObject();
    void SetObjectIDList(const platform::ItemIdList& relative);
    platform::ItemIdList GetObjectIDList() const;
    platform::ItemIdList GetFolderIDList() const;
    platform::ItemIdList GetAbsoluteIDList() const; // folder + item
    // The folder's parse of a name or a relative path (in the desktop and
    // "计算机" also an absolute path) into a list relative to the folder.
    platform::ItemIdList parseDisplayName(const QString& text) const;

    // The next item that passes the filter becomes the current item; false at
    // the end (the next call starts again) or when the folder cannot be read.
    bool Next();

    QString GetDisplayName() const; // the file name when the shell has none
    quint32 GetAttributes(quint32 mask) const;
    bool IsFolder() const;
    bool HasSubFolders() const;
    bool IsGhosted() const;
    bool IsLink() const;
    bool CanRename() const;
    // For a symbolic link to a folder, the folder's path; otherwise empty.
    QString GetLinkTarget() const;
    TShellFolder GetFolderSpecialIndex() const;
    TShellFolder GetObjectSpecialIndex() const;

    // Columns 0 "Name", 1 "Size", 2 "Type", 3 "Changed"; from 4 on empty.
    QString GetDetail(int column, bool header) const;
    platform::ColumnInfo GetColumnInfo(int column) const;
    // The folder's own order of two of its items by a column; 0 for the same item.
    int compareIDs(int column, const platform::ItemIdList& a, const platform::ItemIdList& b) const;
    // The order compareIDs gives, worked out at once (platform::ShellFolder::sortOrder).
    std::vector<std::size_t> sortOrder(int column,
                                       const std::vector<const platform::ItemIdList*>& relatives,
                                       bool descending) const;

    // Gives the current item a new name (never replacing another item); the
    // result is its display name afterwards. *ok tells whether it was renamed.
    QString RenameObject(const QString& name, bool* ok = nullptr);
    // Runs a verb ("open", "copy", "cut", "paste", "delete", "rename"; empty or
    // "default" is "open") on MultiObjects or the current item. "open" on one
    // folder makes it the folder; "paste" goes into the one folder item, else
    // into Folder. True when it was done.
    bool ExecuteVerb(const QString& verb);
    // "paste" into Folder itself (the list's Ctrl+V).
    bool pasteIntoFolder();
    // The shell's menu for the current item or MultiObjects, with the items of
    // `menu` (and one level of their sub-items) copied in below, named as their
    // source + "2". Returns the verb that ran, or empty text.
    QString ShowContextMenu(const QPoint& point, QMenu* menu);

    // The tree's root when it is the desktop.
    static int desktopIconNumber();
    static QString desktopDisplayName();

private:
    void clearItem();
    bool passesFilter() const;
    bool outsideFileSystem() const;
    // An item of the folder by file or display name; null when there is none.
    platform::ItemIdList findItem(const QString& name) const;
    std::vector<platform::ItemIdList> takeItems();
    platform::ShellPrompts prompts() const;
    bool runVerb(const std::vector<platform::ItemIdList>& items, const QString& verb);
    bool stillExists(const platform::ItemIdList& item) const;

    QStringList patterns_{QStringLiteral("*")};
    QString folder_;
    std::optional<platform::ShellFolder> shellFolder_;
    platform::ItemIdList item_;
    std::optional<platform::ShellEnumerator> enumeration_;
    // The current item's attributes, worked out once per bit.
    mutable quint32 knownMask_ = 0;
    mutable quint32 knownAttributes_ = 0;
    TNotifyEvent onFileChange_;
    std::unique_ptr<TDirMon> dirMon_;
};

enum TImageListSize { si_small, si_large };

// The system's file icons, indexed as the namespace reports them
// (TShellBrowser::IconNumber), in small (16) or large (32) pixel size.
class TSystemImageList : public QObject {
public:
    // ShareImages true, Size si_small.
    explicit TSystemImageList(QObject* owner = nullptr);

    // True: the icons are the process-wide list's; false: the list keeps its own copies.
    bool ShareImages() const { return share_; }
    void SetShareImages(bool share);
    TImageListSize Size() const { return size_; }
    void SetSize(TImageListSize size);
    TNotifyEvent OnChange; // after the list was fetched again

    QSize iconSize() const;
    // The indices handed out so far.
    int count() const;
    // A null icon for an index never handed out.
    QIcon icon(int index) const;
    QPixmap pixmap(int index) const;
    // The overlays a control draws over an icon: 0 a shared item, 1 a link.
    static QIcon overlay(int index);

private:
    void fetch();

    bool share_ = true;
    TImageListSize size_ = si_small;
    mutable QHash<int, QIcon> own_;
};
