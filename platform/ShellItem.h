#pragma once

#include "platform/ItemIdList.h"

#include <QString>

#include <optional>

struct stat;

namespace platform {

// What one item of an identifier list stands for; the first payload byte.
enum class ShellItemKind : quint8 {
    Computer = 1, // "计算机": the virtual folder that holds the volumes
    Home = 2,     // the home folder, shown on the desktop
    Volume = 3,   // a mounted volume under "计算机", named by its root path
    Entry = 4,    // a file, folder or symbolic link inside a file-system folder
};

// The payload of one item, decoded. File-system entries carry what the
// enumeration learned from stat, as the platform's file-system items do, so
// that names, attributes and detail columns need no further system call.
struct ShellItem {
    ShellItemKind kind = ShellItemKind::Entry;
    QByteArray name;        // Entry: the file name; Home, Volume: the path (native bytes)
    bool directory = false; // Entry: a folder, or a symbolic link to one
    bool symlink = false;   // Entry: a symbolic link
    quint32 mode = 0;       // Entry: st_mode of the target (of the link itself when it dangles)
    qint64 size = 0;        // Entry: size in bytes
    qint64 modified = 0;    // Entry: last write in ms since the epoch; 0 when unknown

    QByteArray encode() const;
    ItemIdList toIdList() const { return ItemIdList::fromItem(encode()); }
    // nullopt for a payload that is not one of ours, is cut short, or names
    // something no folder can hold ("..", a name with "/", a relative root).
    static std::optional<ShellItem> decode(QByteArrayView payload);

    static ShellItem computer();
    static ShellItem home(const QString& path);
    static ShellItem volume(const QString& root);
    // An entry from stat data; `link` when lstat saw a symbolic link.
    static ShellItem entry(const QByteArray& name, const struct ::stat& st, bool link);
    // Stats the entry `name` at `path` (following a link, or the link itself
    // when it dangles); nullopt when nothing is there.
    static std::optional<ShellItem> statPath(const QString& path, const QByteArray& name);

    bool isFolder() const { return kind != ShellItemKind::Entry || directory; }
    // Entry: its file name; Home, Volume: the path. Decoded without loss
    // (platform/FileNameCodec.h): encoding the text gives the name's bytes.
    QString text() const;
};

// Where an absolute identifier list leads.
struct ShellLocation {
    enum Place { Desktop, Computer, FileSystem };
    Place place = Desktop;
    QString path;         // FileSystem: the path without a trailing "/" ("/" for the root)
    bool isFolder = true; // the last item is a folder (the desktop and "计算机" are)
};

// Walks an absolute list from the desktop; nullopt for a list that is null,
// malformed, or whose items do not follow one another (an entry inside a file,
// a volume outside "计算机").
std::optional<ShellLocation> ResolveIdList(const ItemIdList& absolute);

// The file-system path of an absolute list, without a trailing "/" except for
// "/" itself; empty for a virtual folder or a list that leads nowhere.
QString SHGetPathFromIDListA(const ItemIdList& absolute);

// Joins a folder path and a name with exactly one "/".
QString JoinPath(const QString& folder, const QString& name);

} // namespace platform
