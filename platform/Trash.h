#pragma once

#include <QString>

#include <functional>

// The desktop trash as freedesktop.org lays it out: the home trash
// ($XDG_DATA_HOME/Trash) and, for items on other volumes, the volume's own
// ($topdir/.Trash/$uid or $topdir/.Trash-$uid).
namespace platform {

// $XDG_DATA_HOME/Trash; $XDG_DATA_HOME is ~/.local/share when unset, empty
// or relative.
QString HomeTrashPath();

// Moves a file or folder to the user's trash, creating the home trash first
// when it is missing (a fresh account has none). True when the item is in a
// trash, `pathInTrash` then naming it; otherwise the item is where it was.
// A name that is not UTF-8, which Qt cannot reach, is moved by this code
// itself, following the freedesktop.org layout as Qt does.
bool MoveToTrash(const QString& path, QString* pathInTrash = nullptr);

// The step that moves an item with a UTF-8 name (QFile::moveToTrash); a test
// puts a stand-in here to play a trash that reports a wrong place.
using TrashMover = std::function<bool(const QString& path, QString* pathInTrash)>;
bool MoveToTrash(const QString& path, QString* pathInTrash, const TrashMover& mover);

} // namespace platform
