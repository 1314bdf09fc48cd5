#include "operations/ItemSteps.h"

#include "operations/FileCommands.h"
#include "platform/FileOps.h"
#include "platform/NativePath.h"

using namespace Qt::StringLiterals;

namespace operations {

ItemStep trashFiles(const std::vector<QString>& paths)
{
    ItemStep step;
    for (const QString& path : paths) {
        TrashPlace place;
        const bool trashed = platform::FileExists(path) && deleteToTrash(path, &place);
        step.outcomes.push_back({path, trashed, trashed ? QString() : u"无法移到回收站"_s});
        if (!trashed)
            continue;
        StepFile file;
        file.from = platform::NativePath(path);
        file.to = platform::NativePath(place.item);
        file.trashInfo = platform::NativePath(place.info);
        step.files.push_back(std::move(file));
    }
    return step;
}

ItemStep moveFilesInto(const QString& folder, const QString& target,
                       const std::vector<PlannedName>& plan)
{
    ItemStep step;
    for (const PlannedName& planned : plan) {
        const QString oldPath = folder + planned.name;
        if (planned.state != PlanState::Rename) {
            step.outcomes.push_back({oldPath, false, planned.note});
            continue;
        }
        const QString newPath = joinPath(target, planned.newName);
        const bool moved =
            platform::FileExists(oldPath) && moveFile(oldPath, newPath) == MoveResult::Moved;
        step.outcomes.push_back(
            {moved ? newPath : oldPath, moved, moved ? QString() : u"移动文件失败"_s});
        if (!moved)
            continue;
        StepFile file;
        file.from = platform::NativePath(oldPath);
        file.to = platform::NativePath(newPath);
        step.files.push_back(std::move(file));
    }
    return step;
}

ItemStep makeFolder(const QString& path)
{
    ItemStep step;
    const bool made = createFolder(path);
    step.outcomes.push_back({path, made, made ? QString() : u"无法新建文件夹"_s});
    if (made) {
        StepFile file;
        file.to = platform::NativePath(path);
        step.files.push_back(std::move(file));
    }
    return step;
}

} // namespace operations
