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
    if (place) {
        // $trash/files/<name> has its $trash/info/<name>.trashinfo.
        const qsizetype slash = item.lastIndexOf(u'/');
        const QString files = item.left(slash);
        place->item = item;
        place->info = files.left(files.lastIndexOf(u'/')) + QStringLiteral("/info/") +
                      item.mid(slash + 1) + QStringLiteral(".trashinfo");
    }
    return true;
}

bool createFolder(const QString& path)
{
    return platform::CreateDirectoryA(path);
}

} // namespace operations
