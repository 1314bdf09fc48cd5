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

bool deleteToTrash(const QString& path)
{
    return platform::MoveToTrash(path);
}

bool createFolder(const QString& path)
{
    return platform::CreateDirectoryA(path);
}

} // namespace operations
