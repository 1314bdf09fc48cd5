#pragma once

#include <QString>
#include <QStringList>

namespace platform {

// The volumes that "计算机" holds: the file-system root "/" first, then the
// removable volumes mounted under /media, /run/media and /mnt, in the order of
// the mount table. The table is read without touching the volumes, so a dead
// mount cannot block the caller.
QStringList MountedVolumes();

// True for a mount point under /media, /run/media or /mnt.
bool IsRemovableMountPoint(const QString& mountPoint);

// The root among `roots` under which the absolute, clean `path` lies, the
// longest one when several do; "/" when none other does.
QString VolumeRootFor(const QString& path, const QStringList& roots);

} // namespace platform
