#include "operations/ToolsStep.h"

#include "operations/TagBatch.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"

#include <QHash>

namespace operations {

namespace {

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

bool planned(const NameJob& job)
{
    return !job.error && job.plan.state == PlanState::Rename;
}

} // namespace

std::vector<std::size_t> nameRows(const std::vector<const StepFile*>& files)
{
    QHash<QByteArray, std::size_t> bySource;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (files[i]->tags.path().empty() && !files[i]->from.empty())
            bySource.insert(QByteArray::fromStdString(files[i]->from), i);
    }
    std::vector<std::size_t> rows(files.size(), NoNameRow);
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i]->tags.path().empty())
            rows[i] = bySource.value(QByteArray::fromStdString(files[i]->tags.path()), NoNameRow);
    }
    return rows;
}

tags::TagChange relocated(const tags::TagChange& change, const std::string& path)
{
    tags::TagChange moved(path, change.before());
    moved.setHead(change.after().head);
    moved.setTail(change.after().tail);
    return moved;
}

bool findName(StepFile& file)
{
    // Without an inode (never moved by this program) the names alone tell.
    if (file.inode == 0) {
        file.done = platform::PathExists(file.to) && !platform::PathExists(file.from);
        return file.done || platform::PathExists(file.from);
    }
    if (platform::InodeOf(file.to) == file.inode) {
        file.done = true;
        return true;
    }
    file.done = false;
    if (platform::InodeOf(file.from) == file.inode)
        return true;
    const std::string stray = platform::EntryWithInode(folderOf(file.from), file.inode);
    if (stray.empty())
        return false;
    if (platform::RenameNoReplace(stray, file.from))
        return true;
    file.done = platform::RenameNoReplace(stray, file.to);
    return file.done;
}

NamesInStep moveJobsInStep(Journal* journal, std::int64_t step, std::vector<NameJob>& jobs,
                           const std::function<void(std::size_t)>& finished)
{
    std::vector<std::size_t> movers;
    std::vector<StepFile> files;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!planned(jobs[i]))
            continue;
        StepFile file;
        file.from = platform::NativePath(jobs[i].path);
        file.to = platform::NativePath(folderOf(jobs[i].path) + jobs[i].plan.newName);
        file.inode = platform::InodeOf(file.from);
        file.done = false;
        movers.push_back(i);
        files.push_back(std::move(file));
    }
    NamesInStep names;
    QString problem;
    if (journal && !files.empty()) {
        try {
            names.step = journal->beginMoves(step, files);
        } catch (const JournalError& e) {
            problem = QString::fromUtf8(e.what());
        }
    }
    moveJobs(jobs, finished);
    std::size_t moved = 0;
    for (std::size_t k = 0; k < movers.size(); ++k) {
        const NameJob& job = jobs[movers[k]];
        files[k].done = job.moved || !job.at.isEmpty();
        if (!job.at.isEmpty())
            files[k].to = platform::NativePath(job.at); // where an undo finds it
        moved += files[k].done ? 1 : 0;
    }
    if (names.step != 0) {
        try {
            journal->endMoves(names.step, files);
        } catch (const JournalError& e) {
            problem = QString::fromUtf8(e.what());
        }
    }
    names.problems = stepProblems(journal, problem, moved);
    return names;
}

} // namespace operations
