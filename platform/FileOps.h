#pragma once

#include <QByteArray>
#include <QString>

// File operations with the semantics the rest of the program expects of the
// platform. Paths are QStrings; they reach the kernel as the bytes the
// file-name codec gives them (platform/FileNameCodec.h), UTF-8 or not.
namespace platform {

// Renames or moves a file or folder. Never replaces an existing target: when
// one exists the call fails and nothing changes. Across file systems the item
// is copied (a folder with everything inside it) and the source removed only
// once the copy is complete; a copy that fails part-way is removed again and
// the source stays as it was.
bool MoveFileA(const QString& existing, const QString& newName);

// Removes a file for good (unlink). The program's own commands move files to
// the trash instead; this is the primitive underneath.
bool DeleteFileA(const QString& path);

// mkdir with mode 0777 less the umask.
bool CreateDirectoryA(const QString& path);

// Attributes 0 ("clear all attributes") adds the owner's write permission;
// hidden, system and archive attributes do not exist here.
bool SetFileAttributesA(const QString& path, unsigned attributes);

// True when a file (not a folder) of that name exists.
bool FileExists(const QString& path);

// What changes whenever the file is written or replaced: its size, inode and
// modification and status-change times (a tool that keeps the modification
// time cannot keep the other), as one value to compare; empty when the file
// cannot be read.
QByteArray FileStamp(const QString& path);

// True when the user cannot write the file: access(W_OK) fails, or no write
// bit is set at all (root ignores permission bits, the rule must not).
bool IsReadOnly(const QString& path);

} // namespace platform
