#include "operations/FileCommands.h"

#include "platform/FileOps.h"
#include "platform/Trash.h"

namespace operations {

QString joinPath(const QString& folder, const QString& name)
{
    if (folder.endsWith(u'/'))
        return folder + name;
    return folder + u'/' + name;
}

MoveResult moveFile(const QString& oldPath, const QString& newPath)
{
    if (oldPath == newPath)
        return MoveResult::Unchanged;
    return platform::MoveFileA(oldPath, newPath) ? MoveResult::Moved : MoveResult::Failed;
}

bool deleteToTrash(const QString& path, TrashPlace* place)
{
    QString item;
    if (!platform::MoveToTrash(path, &item))
        return false;
    if (place)
        *place = trashPlaceOf(item);
    return true;
}

TrashPlace trashPlaceOf(const QString& inTrash)
{
    // $trash/files/<name> has its $trash/info/<name>.trashinfo.
    const qsizetype slash = inTrash.lastIndexOf(u'/');
    const QString files = inTrash.left(slash);
    return {inTrash, files.left(files.lastIndexOf(u'/')) + QStringLiteral("/info/") +
                         inTrash.mid(slash + 1) + QStringLiteral(".trashinfo")};
}

bool createFolder(const QString& path)
{
    return platform::CreateDirectoryA(path);
}

} // namespace operations
