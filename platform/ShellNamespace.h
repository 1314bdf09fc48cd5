#pragma once

#include "platform/ItemIdList.h"

#include <QString>
#include <Qt>

#include <memory>
#include <optional>
#include <vector>

// The shell namespace of this desktop: the desktop (virtual, the root) holds
// "计算机" (virtual) and the home folder; "计算机" holds the file-system root "/"
// and the mounted removable volumes; below them lie the file system's folders.
// Items are named by identifier lists (platform/ItemIdList.h) whose payloads
// are described in platform/ShellItem.h.
namespace platform {

// Attribute bits of shell items, with the platform's values.
enum ShellAttribute : quint32 {
    SFGAO_CANCOPY = 0x1,
    SFGAO_CANMOVE = 0x2,
    SFGAO_CANLINK = 0x4,
    SFGAO_CANRENAME = 0x10,
    SFGAO_CANDELETE = 0x20,
    SFGAO_LINK = 0x10000,    // a symbolic link
    SFGAO_SHARE = 0x20000,   // never set here
    SFGAO_GHOSTED = 0x80000, // hidden: the name begins with "."
    SFGAO_FILESYSANCESTOR = 0x10000000,
    SFGAO_FOLDER = 0x20000000,
    SFGAO_FILESYSTEM = 0x40000000,
    SFGAO_HASSUBFOLDER = 0x80000000,
};

// The platform's identifiers of the special folders that exist here.
enum SpecialFolderId : int {
    CSIDL_DESKTOP = 0,
    CSIDL_PERSONAL = 5,            // the Documents folder (XDG user folders)
    CSIDL_DESKTOPDIRECTORY = 0x10, // the Desktop folder (XDG user folders)
    CSIDL_DRIVES = 0x11,           // "计算机"
};

// The absolute list of a special folder; null for an identifier that has no
// folder here and for a user folder that does not exist on disk.
ItemIdList SHGetSpecialFolderLocation(int csidl);

// The desktop's parse of a display name: an absolute, existing path becomes
// the absolute list through the volume with the longest matching root, else
// through "/". Null for a relative or missing path.
ItemIdList ParsePath(const QString& path);

// Compares two absolute lists as the desktop does: 0 when both lead to the same
// place (two routes to one file-system path count as the same), otherwise the
// order of column 0.
int CompareAbsoluteIDs(const ItemIdList& a, const ItemIdList& b);

QString DesktopDisplayName();
int DesktopIconIndex();

// The size column's text: kilobytes, rounded, 1 to 1023 bytes counting as
// one kilobyte, with the locale's thousands separators ("1,234 KB").
QString FormatSizeKB(qint64 bytes);

// The fixed detail columns: 0 "Name", 1 "Size", 2 "Type", 3 "Changed".
inline constexpr int DetailColumnCount = 4;
struct ColumnInfo {
    Qt::Alignment alignment;
    int width;
};

class ShellEnumerator;

// One folder of the namespace, bound from its absolute list. Child items are
// named by lists relative to the folder (usually of one item). Answers for a
// child that cannot be in this folder are empty, zero or null.
class ShellFolder {
public:
    static ShellFolder desktop();
    // nullopt when the list is malformed or its last item is not a folder.
    static std::optional<ShellFolder> bind(const ItemIdList& absolute);

    ShellFolder(ShellFolder&&) noexcept;
    ShellFolder& operator=(ShellFolder&&) noexcept;
    ~ShellFolder();

    const ItemIdList& idList() const;
    bool isVirtual() const;
    // The folder's file-system path without a trailing "/" ("/" for the
    // root); empty for the desktop and "计算机".
    QString path() const;

    // A name, or a path relative to this folder ("a/b"), of an existing item;
    // in the desktop and "计算机" also an absolute path. Null when nothing is there.
    ItemIdList parseDisplayName(const QString& text) const;
    // Folders, non-folders and hidden items, in the folder's own order.
    ShellEnumerator enumObjects() const;
    std::optional<ShellFolder> bindToObject(const ItemIdList& relative) const;

    // The attributes within mask. The costly bits (has sub-folders, the
    // can-move/rename/delete bits that need the folder's permissions) are
    // worked out only when the mask asks for them.
    quint32 attributesOf(const ItemIdList& relative, quint32 mask) const;
    QString displayNameOf(const ItemIdList& relative) const;
    // The child's file-system path; empty for a virtual item.
    QString pathOf(const ItemIdList& relative) const;
    // True when the child is a volume under "计算机" (the counterpart of a drive root).
    bool isVolume(const ItemIdList& relative) const;
    int iconIndexOf(const ItemIdList& relative, bool open) const;
    // The shell's type name of the child (at most 80 characters).
    QString typeNameOf(const ItemIdList& relative) const;

    static QString detailHeader(int column);
    static ColumnInfo columnInfo(int column);
    QString detailOf(const ItemIdList& relative, int column) const;

    // Orders two children by a column: folders first, then by the column's
    // value, then by name in natural order (numbers by value, case ignored).
    // 0 only for the same item; results are -1, 0 or 1.
    int compareIds(int column, const ItemIdList& a, const ItemIdList& b) const;
    // The children's order by compareIds (stable; reversed for descending),
    // as indexes into `relatives`. Each child is decoded and collated once:
    // comparing pairs did it at every comparison, which dominated the
    // listing of a folder of many thousands of files.
    std::vector<std::size_t> sortOrder(int column, const std::vector<const ItemIdList*>& relatives,
                                       bool descending) const;

    // Renames a child; never replaces an existing item. Null on failure,
    // otherwise the child's list under its new name.
    ItemIdList setNameOf(const ItemIdList& relative, const QString& newName) const;

private:
    struct Data;
    explicit ShellFolder(std::unique_ptr<Data> d);
    std::unique_ptr<Data> d_;
};

// The running enumeration of one folder; it holds the folder open until the
// end or its destruction.
class ShellEnumerator {
public:
    ShellEnumerator(ShellEnumerator&&) noexcept;
    ShellEnumerator& operator=(ShellEnumerator&&) noexcept;
    ~ShellEnumerator();

    // False when the folder could not be read.
    bool isValid() const;
    // The next child as a relative list; null at the end.
    ItemIdList next();

private:
    friend class ShellFolder;
    struct Data;
    explicit ShellEnumerator(std::unique_ptr<Data> d);
    std::unique_ptr<Data> d_;
};

} // namespace platform
