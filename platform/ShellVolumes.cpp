#include "platform/ShellVolumes.h"

#include "platform/FileNameCodec.h"

#include <mntent.h>

using namespace Qt::StringLiterals;

namespace platform {

bool IsRemovableMountPoint(const QString& mountPoint)
{
    for (const QString& base : {u"/media/"_s, u"/run/media/"_s, u"/mnt/"_s}) {
        if (mountPoint.startsWith(base) && mountPoint.size() > base.size())
            return true;
    }
    return false;
}

QStringList MountedVolumes()
{
    QStringList volumes{u"/"_s};
    FILE* table = ::setmntent("/proc/self/mounts", "r");
    if (!table)
        return volumes;
    struct mntent entry {};
    char buffer[4096];
    while (::getmntent_r(table, &entry, buffer, sizeof buffer)) {
        QString dir = decodeFileName(QByteArray(entry.mnt_dir));
        while (dir.size() > 1 && dir.endsWith(u'/'))
            dir.chop(1);
        if (IsRemovableMountPoint(dir) && !volumes.contains(dir))
            volumes.append(dir);
    }
    ::endmntent(table);
    return volumes;
}

QString VolumeRootFor(const QString& path, const QStringList& roots)
{
    QString best = u"/"_s;
    for (const QString& root : roots) {
        if (root.size() <= best.size() || root == u"/"_s)
            continue;
        if (path == root || path.startsWith(root + u'/'))
            best = root;
    }
    return best;
}

} // namespace platform
