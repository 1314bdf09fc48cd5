// What the folder tree's own menu does to folders (the shell's delete,
// rename, cut and paste) recorded as steps of the history, so that Ctrl+Z and
// "mp3tagloom-cli undo" put them back: a renamed folder gets its name back,
// a deleted one comes out of the trash, a pasted one moves back. Each turn
// never replaces anything (operations/History).

#include "app/main.h"

#include "operations/FileCommands.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/ShellFileOps.h"
#include "shell/ShellControlSupport.h"

using namespace Qt::StringLiterals;

namespace {

QString parentOf(const QString& path)
{
    QString folder = path;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    return folder.left(folder.lastIndexOf(u'/') + 1);
}

QString nameOf(const QString& path)
{
    QString item = path;
    while (item.size() > 1 && item.endsWith(u'/'))
        item.chop(1);
    return item.mid(item.lastIndexOf(u'/') + 1);
}

bool exists(const QString& path)
{
    return platform::PathExists(platform::NativePath(path));
}

// An item that left `from` and is now at `to`; nullopt when the disk does
// not show that move (it failed, or was a copy).
std::optional<operations::StepFile> moved(const QString& from, const QString& to)
{
    if (from == to || exists(from) || !exists(to))
        return std::nullopt;
    operations::StepFile file;
    file.from = platform::NativePath(from);
    file.to = platform::NativePath(to);
    return file;
}

std::vector<operations::StepFile> trashed(const QStringList& paths)
{
    std::vector<operations::StepFile> files;
    for (const platform::TrashedItem& item : platform::LastTrashedItems()) {
        if (item.inTrash.isEmpty() || !paths.contains(item.path) || exists(item.path))
            continue;
        const operations::TrashPlace place = operations::trashPlaceOf(item.inTrash);
        operations::StepFile file;
        file.from = platform::NativePath(item.path);
        file.to = platform::NativePath(place.item);
        file.trashInfo = platform::NativePath(place.info);
        files.push_back(std::move(file));
    }
    return files;
}

} // namespace

void TFormMain::ShellTreeOperation(quint32 operation, const QStringList& files,
                                   const QString& destination)
{
    if (operation == ShellOperation::Deleted) {
        recordStep(operations::StepKind::Trash, trashed(files));
    } else if (operation == ShellOperation::Renamed && files.size() == 1) {
        const QString& from = files.front();
        if (const auto file = moved(from, parentOf(from) + destination))
            recordStep(operations::StepKind::Rename, {*file});
    } else if (operation == ShellOperation::Pasted) {
        // Only a cut moves: a copied item is still where it was.
        std::vector<operations::StepFile> moves;
        for (const QString& from : files) {
            if (auto file = moved(from, operations::joinPath(destination, nameOf(from))))
                moves.push_back(std::move(*file));
        }
        recordStep(operations::StepKind::Move, moves);
    }
}
