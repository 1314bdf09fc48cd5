#pragma once

#include <QString>

// The main window's file and folder commands on one item.
namespace operations {

// A folder path and a name joined with exactly one "/".
QString joinPath(const QString& folder, const QString& name);

// Renames or moves a file; never replaces an existing one.
enum class MoveResult { Unchanged, Moved, Failed };
MoveResult moveFile(const QString& oldPath, const QString& newPath);

// Moves a file to the desktop trash, from where the user can restore it;
// `place`, when given, tells where it went and its .trashinfo file.
struct TrashPlace {
    QString item;
    QString info;
};
bool deleteToTrash(const QString& path, TrashPlace* place = nullptr);
// The place of an item the trash holds at `inTrash`, with its .trashinfo.
TrashPlace trashPlaceOf(const QString& inTrash);

// Creates a folder; false when it could not be made (it may exist already).
bool createFolder(const QString& path);

} // namespace operations
