// rename and fix-names: new names for files, worked out whole before anything
// moves and made as one batch that never replaces a file.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/Progress.h"

#include "operations/NameBatch.h"
#include "platform/FileNameCodec.h"
#include "platform/NativePath.h"

#include <QJsonObject>

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

using operations::NameJob;

// The moves of every job to rename, made as one batch and recorded as one step.
void moveJobs(std::vector<NameJob>& jobs, Context& context, Result& result)
{
    std::size_t toMove = 0;
    for (const NameJob& job : jobs)
        toMove += !job.error && job.plan.state == PlanState::Rename;
    Progress progress(u"正在重命名"_s, toMove);
    const auto step =
        operations::moveJobs(jobs, [&](std::size_t finished) { progress.update(finished); });
    context.recordMoves(operations::StepKind::Rename, step, result);
}

// The files of a renaming as given, and their jobs (by absolute path).
struct Renaming {
    std::vector<QString> given;
    std::vector<NameJob> jobs;

    void add(const Entry& file)
    {
        given.push_back(file.path);
        jobs.push_back({platform::AbsolutePath(file.path), {}, file.error, {}, false});
    }
};

// Each job's row and object: the plan's answer, then what the move did.
void reportJobs(const Renaming& renaming, bool dryRun, Context& context, Result& result)
{
    for (std::size_t i = 0; i < renaming.jobs.size(); ++i) {
        const NameJob& job = renaming.jobs[i];
        const QString& path = renaming.given[i];
        QJsonObject object = context.fileObject(path);
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
            result.fail(path, why);
        }
        result.json.append(object);
        result.rows.push_back({pathCell(path),
                               pathCell(job.plan.newName.isEmpty() ? u"-"_s : job.plan.newName),
                               textCell(job.plan.name.isEmpty() ? u"失败"_s
                                        : moved                 ? u"已重命名"_s
                                                : operations::stateText(job.plan.state)),
                               textCell(why)});
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
    Renaming renaming;
    for (const Entry& file : distinctFiles(args.operands, 1))
        renaming.add(file);
    Progress progress(u"正在读取"_s, renaming.jobs.size());
    std::size_t read = 0;
    operations::planPatternNames(
        renaming.jobs, args.operands.front(), *priority, context.textRules(),
        [&context](const QString& name) { return context.shownName(name); },
        [&] { progress.update(read++); });
    const bool dryRun = args.has(u"dry-run"_s);
    if (!dryRun)
        moveJobs(renaming.jobs, context, result);
    reportJobs(renaming, dryRun, context, result);
    return result;
}

// The files of fix-names: those named as operands always, those found in
// folders only when their names are not UTF-8.
Renaming nameRepairs(const ParsedArgs& args, Context& context)
{
    Renaming renaming;
    for (const QString& operand : args.operands) {
        const bool folder = isFolder(operand, true);
        for (const Entry& entry : listPaths({operand}, args.has(u"recursive"_s))) {
            const QString name = entry.path.mid(entry.path.lastIndexOf(u'/') + 1);
            const bool legacy = !platform::isUtf8Name(platform::encodeFileName(name));
            if (folder && !legacy && !entry.error)
                continue;
            renaming.add(entry);
        }
    }
    operations::planRepairedNames(
        renaming.jobs, context.detector(), context.codePage(),
        [&context](const QString& name) { return context.shownName(name); });
    return renaming;
}

Result runFixNames(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少路径"_s);
    Result result;
    Renaming renaming = nameRepairs(args, context);
    const bool dryRun = args.has(u"dry-run"_s);
    if (!dryRun)
        moveJobs(renaming.jobs, context, result);
    reportJobs(renaming, dryRun, context, result);
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
         u"格式: %1 标题, %2 作者, %3 专辑, %4 年代, %5 类型, %6 备注, %7 音轨, %8 碟号,\n"
         u"%9 专辑艺术家, 例如 \"%2 - %1\" 或 \"%7. %1\";\n"
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
