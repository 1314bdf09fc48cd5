#pragma once

#include <QString>

namespace platform {

// The process-wide system image list: each kind of icon gets an index the
// first time it is asked for and keeps it for the life of the process, so
// that indices handed out once stay valid. A key is an icon-theme name
// ("folder", "computer") or "mime:" followed by a MIME type name. Used on the
// user-interface thread only.
int SystemIconIndex(const QString& key);
// The key of an index; empty when the index was never handed out.
QString SystemIconKey(int index);
int SystemIconCount();

// Keys of the icons the namespace uses besides the file types.
namespace SystemIcon {
inline constexpr char16_t Desktop[] = u"user-desktop";
inline constexpr char16_t Computer[] = u"computer";
inline constexpr char16_t Home[] = u"user-home";
inline constexpr char16_t HardDisk[] = u"drive-harddisk";
inline constexpr char16_t Removable[] = u"drive-removable-media";
inline constexpr char16_t Folder[] = u"folder";
inline constexpr char16_t FolderOpen[] = u"folder-open";
inline constexpr char16_t File[] = u"mime:application/octet-stream";
inline constexpr char16_t MimePrefix[] = u"mime:";
} // namespace SystemIcon

} // namespace platform
