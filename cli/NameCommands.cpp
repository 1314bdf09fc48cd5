// rename and fix-names: new names for files, worked out whole before anything
// moves and made as one batch that never replaces a file.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/Progress.h"

#include "operations/MoveBatch.h"
#include "operations/RenamePlan.h"
#include "operations/Renaming.h"
#include "platform/FileNameCodec.h"
#include "platform/FolderNames.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <map>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

using operations::PlanState;

QString stateKey(PlanState state)
{
    switch (state) {
    case PlanState::Rename:
        return u"rename"_s;
    case PlanState::Unchanged:
        return u"unchanged"_s;
    case PlanState::Conflict:
        return u"conflict"_s;
    case PlanState::Empty:
        return u"empty"_s;
    case PlanState::Invalid:
        return u"invalid"_s;
    }
    return {};
}

QString folderOf(const QString& absolutePath)
{
    return absolutePath.left(absolutePath.lastIndexOf(u'/') + 1);
}

QString nameOf(const QString& path)
{
    return path.mid(path.lastIndexOf(u'/') + 1);
}

// One file of a renaming: where it is, the name it is to take, and how that went.
struct NameJob {
    QString path;     // as given
    QString absolute; // the same, absolute
    operations::PlannedName plan;
    std::optional<QString> error; // the file cannot be renamed, or its move failed
    QString at;                   // a temporary name the file was left at
};

// The moves of every job to rename, made as one batch and recorded as one
// step; a failed move leaves its job's error.
void moveJobs(std::vector<NameJob>& jobs, Context& context, Result& result)
{
    std::vector<operations::ItemMove> moves;
    std::vector<std::size_t> jobOf;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].error && jobs[i].plan.state == PlanState::Rename) {
            const QString folder = folderOf(jobs[i].absolute);
            moves.push_back({jobs[i].absolute, folder + jobs[i].plan.newName});
            jobOf.push_back(i);
        }
    }
    Progress progress(u"正在重命名"_s, moves.size());
    std::size_t finished = 0;
    const auto results = operations::moveAll(
        moves, [&](std::size_t, const operations::MoveDone&) { progress.update(++finished); });
    std::vector<operations::StepFile> step;
    for (std::size_t m = 0; m < moves.size(); ++m) {
        NameJob& job = jobs[jobOf[m]];
        const operations::MoveDone& done = results[m];
        if (!done.moved) {
            job.error =
                done.error == EEXIST ? u"已有同名的文件"_s : platform::SystemErrorText(done.error);
            job.at = done.at;
        }
        if (done.moved || !done.at.isEmpty()) {
            operations::StepFile file;
            file.from = platform::NativePath(moves[m].from);
            file.to = platform::NativePath(done.moved ? moves[m].to : done.at);
            step.push_back(std::move(file));
        }
    }
    context.recordMoves(operations::StepKind::Rename, step, result);
}

// Each job's row and object: the plan's answer, then what the move did.
void reportJobs(const std::vector<NameJob>& jobs, bool dryRun, Context& context, Result& result)
{
    for (const NameJob& job : jobs) {
        QJsonObject object = context.fileObject(job.path);
        if (!job.plan.newName.isEmpty())
            object[u"new_name"_s] = job.plan.newName;
        if (!job.plan.name.isEmpty())
            object[u"state"_s] = stateKey(job.plan.state);
        const bool moved = !dryRun && !job.error && job.plan.state == PlanState::Rename;
        object[u"ok"_s] = !job.error;
        object[u"done"_s] = moved;
        QString why = job.error.value_or(QString());
        if (!job.at.isEmpty())
            why += u" (文件暂时名为 "_s + job.at + u')';
        if (job.error) {
            object[u"error"_s] = why;
            result.fail(job.path, why);
        }
        result.json.append(object);
        result.rows.push_back({pathCell(job.path),
                               pathCell(job.plan.newName.isEmpty() ? u"-"_s : job.plan.newName),
                               textCell(job.plan.name.isEmpty() ? u"失败"_s
                                        : moved                 ? u"已重命名"_s
                                                : operations::stateText(job.plan.state)),
                               textCell(why)});
    }
}

// The jobs that can go on, by the folder of their file: a plan is made per
// folder, against that folder's names and file system.
std::map<QString, std::vector<std::size_t>> jobsByFolder(const std::vector<NameJob>& jobs)
{
    std::map<QString, std::vector<std::size_t>> byFolder;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        if (!jobs[i].error)
            byFolder[folderOf(jobs[i].absolute)].push_back(i);
    }
    return byFolder;
}

// A folder's plan into its jobs: a row that cannot take its name fails.
void takePlan(std::vector<NameJob>& jobs, const std::vector<std::size_t>& members,
              const std::vector<operations::PlannedName>& plan)
{
    for (std::size_t k = 0; k < members.size(); ++k) {
        NameJob& job = jobs[members[k]];
        job.plan = plan[k];
        if (job.plan.state != PlanState::Rename && job.plan.state != PlanState::Unchanged)
            job.error =
                job.plan.note.isEmpty() ? operations::stateText(job.plan.state) : job.plan.note;
    }
}

// The plan of each folder's files: their new names from their tags.
void planFolders(std::vector<NameJob>& jobs, const QString& pattern, operations::Priority priority,
                 Context& context)
{
    const auto byFolder = jobsByFolder(jobs);
    TID3v1 v1;
    TID3v2 v2;
    const operations::TextRules rules = context.textRules();
    Progress progress(u"正在读取"_s, jobs.size());
    std::size_t read = 0;
    for (const auto& [folder, members] : byFolder) {
        std::vector<operations::NameSource> sources;
        for (const std::size_t i : members) {
            progress.update(read++);
            const auto shown = operations::readShownTags(v1, v2, priority, jobs[i].absolute, rules);
            sources.push_back(
                {nameOf(jobs[i].absolute), operations::substitutePattern(pattern, shown.fields)});
        }
        // An unreadable folder hides no name that matters: no move replaces anything.
        const auto entries = platform::FolderEntries(folder);
        const auto plan = operations::planRenames(
            sources, entries.value_or(std::vector<QString>{}), platform::NameRulesOf(folder),
            [&context](const QString& name) { return context.shownName(name); });
        takePlan(jobs, members, plan);
    }
}

Result runRename(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少格式"_s);
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    std::vector<NameJob> jobs;
    for (const Entry& file : distinctFiles(args.operands, 1))
        jobs.push_back({file.path, platform::AbsolutePath(file.path), {}, file.error, {}});
    planFolders(jobs, args.operands.front(), *priority, context);
    const bool dryRun = args.has(u"dry-run"_s);
    if (!dryRun)
        moveJobs(jobs, context, result);
    reportJobs(jobs, dryRun, context, result);
    return result;
}

// The repaired names of each folder's files, planned as renames are: a name
// that another file has, or that two files would take, is a conflict in the
// dry run as in the run. A name no code page fits with confidence stays.
void planRepairs(std::vector<NameJob>& jobs, Context& context)
{
    const auto byFolder = jobsByFolder(jobs);
    for (const auto& [folder, members] : byFolder) {
        std::vector<operations::NameChange> changes;
        for (const std::size_t i : members) {
            const QString name = nameOf(jobs[i].absolute);
            const QByteArray native = platform::encodeFileName(name);
            const auto repaired =
                platform::repairedFileName(native, context.detector(), context.codePage());
            if (!repaired && !platform::isUtf8Name(native))
                jobs[i].error = u"无法确定编码"_s;
            changes.push_back({name, repaired.value_or(name)});
        }
        const auto entries = platform::FolderEntries(folder);
        const auto plan = operations::planNewNames(
            changes, entries.value_or(std::vector<QString>{}), platform::NameRulesOf(folder),
            [&context](const QString& name) { return context.shownName(name); });
        takePlan(jobs, members, plan);
    }
}

// The files of fix-names: those named as operands always, those found in
// folders only when their names are not UTF-8.
std::vector<NameJob> nameRepairs(const ParsedArgs& args, Context& context)
{
    std::vector<NameJob> jobs;
    for (const QString& operand : args.operands) {
        const bool folder = isFolder(operand, true);
        for (const Entry& entry : listPaths({operand}, args.has(u"recursive"_s))) {
            const bool legacy = !platform::isUtf8Name(platform::encodeFileName(nameOf(entry.path)));
            if (folder && !legacy && !entry.error)
                continue;
            jobs.push_back({entry.path, platform::AbsolutePath(entry.path), {}, entry.error, {}});
        }
    }
    planRepairs(jobs, context);
    return jobs;
}

Result runFixNames(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少路径"_s);
    Result result;
    std::vector<NameJob> jobs = nameRepairs(args, context);
    const bool dryRun = args.has(u"dry-run"_s);
    if (!dryRun)
        moveJobs(jobs, context, result);
    reportJobs(jobs, dryRun, context, result);
    return result;
}

OptionDef dryRunOption()
{
    return {
        u"dry-run"_s, {}, false, {}, u"只显示计划, 不作修改 (print the plan, change nothing)"_s};
}

} // namespace

std::vector<Command> nameCommands()
{
    return {
        {u"rename"_s,
         u"[--dry-run] [--priority=v1|v2|prefer-v2] 格式 文件..."_s,
         u"按标签重命名文件 (rename files from their tags)"_s,
         u"格式: %1 标题, %2 作者, %3 专辑, %4 年份, %5 流派, %6 注释, 例如 \"%2 - %1\";\n"
         u"新文件名后加 \".MP3\". 先算出全部文件的计划: 重命名, 不变, 冲突 (两个文件得到同一\n"
         u"名称, 或文件夹中已有), 空文件名, 无效; 只重命名可以重命名的文件, 不覆盖任何文件,\n"
         u"互换名称的文件也可以. 所有文件为操作历史中的一步.\n"
         u"--json: [{\"file\", \"new_name\", \"state\" (rename, unchanged, conflict, empty, "
         u"invalid), \"ok\", \"done\", \"error\"}].\n"_s,
         {dryRunOption(), priorityOption()},
         &runRename},
        {u"fix-names"_s,
         u"[-r] [--dry-run] 路径..."_s,
         u"修复文件名编码 (rename files whose names are not UTF-8)"_s,
         u"文件名不是 UTF-8 (如 GBK, Big5, Shift-JIS 的字节) 的文件改为按代码页读出的名称;\n"
         u"没有代码页能确定读出的名称不变 (无法确定编码). 路径为文件夹时处理其中文件名需要\n"
         u"修复的 *.mp3. 不覆盖任何文件, --dry-run 显示的冲突与执行时相同. 所有文件为操作\n"
         u"历史中的一步.\n"
         u"--json: [{\"file\", \"path_bytes\", \"new_name\", \"state\", \"ok\", \"done\", "
         u"\"error\"}].\n"_s,
         {{u"recursive"_s, u'r', false, {}, u"也处理子文件夹 (sub-folders too)"_s}, dryRunOption()},
         &runFixNames},
    };
}

} // namespace cli
