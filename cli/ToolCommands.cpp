// tool: the text tools of the window's "批量处理" dialog over files named on
// the line, previewed with --dry-run, the tags written and then the file
// names renamed by the renaming's plan, one step of the history.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/TagStep.h"

#include "operations/ToolCommand.h"
#include "operations/ToolsStep.h"
#include "platform/NativePath.h"
#include "settings/ToolsSection.h"

#include <QJsonArray>
#include <QJsonObject>

#include <memory>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

using operations::ToolKind;
using operations::ToolSettings;

// "title,artist,filename": the fields and whether the file name is one.
bool readFields(const QString& list, ToolSettings& settings, QString& why)
{
    settings.fields.clear();
    settings.fileName = false;
    for (const QString& name : list.split(u',', Qt::SkipEmptyParts)) {
        if (name.trimmed() == u"filename"_s) {
            settings.fileName = true;
        } else if (const auto field = operations::fieldNamed(name.trimmed())) {
            settings.fields.push_back(*field);
        } else {
            why = u"未知的字段 "_s + name;
            return false;
        }
    }
    return true;
}

int numberOption(const ParsedArgs& args, const QString& name, int fallback, bool& ok)
{
    if (!args.has(name))
        return fallback;
    bool parsed = false;
    const int n = args.value(name).toInt(&parsed);
    ok = ok && parsed && n >= 0;
    return n;
}

// The tool's parameters from the options; empty when they are right,
// otherwise why not.
QString readParameters(const ParsedArgs& args, ToolSettings& settings)
{
    bool ok = true;
    switch (settings.kind) {
    case ToolKind::Number: {
        settings.numbering.start = numberOption(args, u"start"_s, 1, ok);
        settings.numbering.width = numberOption(args, u"width"_s, 0, ok);
        settings.numbering.restartPerFolder = args.has(u"restart"_s);
        const QString total = args.has(u"total"_s) ? args.value(u"total"_s) : u"none"_s;
        using Total = operations::Numbering::Total;
        if (total == u"none"_s)
            settings.numbering.total = Total::None;
        else if (total == u"all"_s)
            settings.numbering.total = Total::Selected;
        else if (total == u"folder"_s)
            settings.numbering.total = Total::Folder;
        else
            return u"--total 须为 none, all 或 folder"_s;
        return ok ? QString() : u"--start 与 --width 须为非负整数"_s;
    }
    case ToolKind::Case: {
        const QString mode = args.has(u"mode"_s) ? args.value(u"mode"_s) : u"words"_s;
        const QStringList modes{u"words"_s, u"upper"_s, u"lower"_s, u"sentence"_s};
        if (!modes.contains(mode))
            return u"--mode 须为 words, upper, lower 或 sentence"_s;
        settings.caseMode = operations::CaseMode(modes.indexOf(mode));
        return {};
    }
    case ToolKind::Replace:
        if (!args.has(u"find"_s))
            return u"缺少 --find"_s;
        settings.find = args.value(u"find"_s);
        settings.replacement = args.value(u"replace"_s);
        settings.regex = args.has(u"regex"_s);
        settings.caseSensitive = args.has(u"case-sensitive"_s);
        return {};
    case ToolKind::Format:
        if (!args.has(u"pattern"_s))
            return u"缺少 --pattern"_s;
        settings.pattern = args.value(u"pattern"_s);
        return {};
    case ToolKind::Chinese:
        settings.direction = args.has(u"to"_s) ? args.value(u"to"_s) : u"s2t"_s;
        return {};
    case ToolKind::StripAds:
        if (args.has(u"pattern"_s)) {
            settings.adPatterns = {args.value(u"pattern"_s)};
        } else if (const auto stored = settings::readAdPatterns(TIniFile())) {
            settings.adPatterns = *stored;
        }
        return {};
    case ToolKind::HalfWidth:
        return {};
    }
    return {};
}

// The preview's rows: file, field, old and new text, and why not.
void reportPreview(const std::vector<operations::ToolEdit>& edits,
                   const std::vector<QString>& given, Context& context, Result& result)
{
    for (const operations::ToolEdit& edit : edits) {
        QJsonObject object = context.fileObject(given[edit.file]);
        object[u"field"_s] =
            edit.field ? operations::fieldName(*edit.field) : QString(u"filename"_s);
        object[u"old"_s] = edit.before;
        object[u"new"_s] = edit.after;
        if (!edit.error.isEmpty()) {
            object[u"error"_s] = edit.error;
            result.fail(given[edit.file], edit.error);
        }
        result.json.append(object);
        result.rows.push_back(
            {pathCell(given[edit.file]), textCell(operations::editFieldName(edit.field)),
             textCell(edit.before + u" → "_s + edit.after), textCell(edit.error)});
    }
}

// The renaming of the run's file-name edits, in the step of its tags (`step`),
// a row per file.
void renameFiles(std::vector<operations::NameJob>& jobs, std::int64_t step, Context& context,
                 Result& result)
{
    if (jobs.empty())
        return;
    const auto moved = operations::moveJobsInStep(context.journal(result), step, jobs);
    for (const QString& problem : moved.problems)
        result.warn(problem);
    for (const operations::NameJob& job : jobs) {
        QJsonObject object = context.fileObject(job.path);
        object[u"new_name"_s] = job.plan.newName;
        object[u"ok"_s] = !job.error;
        if (job.error) {
            object[u"error"_s] = *job.error;
            result.fail(job.path, *job.error);
        } else {
            object[u"outcome"_s] = u"已重命名"_s;
            result.rows.push_back(
                {pathCell(job.path), textCell(u"已重命名为 "_s + job.plan.newName)});
        }
        result.json.append(object);
    }
}

Result runTool(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少工具 (number, case, replace, format, chinese, halfwidth, "
                        u"strip-ads)"_s);
    ToolSettings settings;
    if (const auto kind = operations::toolNamed(args.operands.front()))
        settings.kind = *kind;
    else
        return badUsage(u"未知的工具 "_s + args.operands.front());
    QString why;
    const QString defaultFields =
        settings.kind == ToolKind::Format ? QString() : u"title,artist,album"_s;
    if (!readFields(args.has(u"fields"_s) ? args.value(u"fields"_s) : defaultFields, settings, why))
        return badUsage(why);
    if (why = readParameters(args, settings); !why.isEmpty())
        return badUsage(why);
    auto tool = std::make_shared<operations::TextTool>(settings);
    if (!tool->error().isEmpty())
        return badUsage(tool->error());
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);

    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    std::vector<QString> given;
    std::vector<QString> paths;
    for (const Entry& entry : distinctFiles(args.operands, 1)) {
        if (entry.error) {
            result.fail(entry.path, *entry.error);
            continue;
        }
        given.push_back(entry.path);
        paths.push_back(platform::AbsolutePath(entry.path));
    }
    const auto files = operations::readToolFiles(paths, *priority, context.textRules());
    const auto edits = operations::previewTool(
        *tool, files, [&context](const QString& name) { return context.shownName(name); });
    if (args.has(u"dry-run"_s)) {
        reportPreview(edits, given, context, result);
        return result;
    }
    // Planned before the tags are written, which change no name: whether
    // names follow makes the kind of the step.
    auto jobs = operations::toolNameJobs(
        edits, files, [&context](const QString& name) { return context.shownName(name); });
    // The files with a tag edit, in the order given: one pass over the edits.
    std::vector<bool> hasTagEdit(files.size(), false);
    for (const operations::ToolEdit& edit : edits)
        hasTagEdit[edit.file] = hasTagEdit[edit.file] || edit.field.has_value();
    std::vector<Entry> tagged;
    for (std::size_t i = 0; i < files.size(); ++i)
        if (hasTagEdit[i])
            tagged.push_back({given[i], {}});
    std::int64_t step = 0;
    if (!tagged.empty())
        step = runTagCommand(tagged,
                             operations::toolTagCommand(tool, files, *priority, context.textRules(),
                                                        operations::toolStepKind(jobs)),
                             u"已修改"_s, {}, context, result);
    renameFiles(jobs, step, context, result);
    context.flushJournal(result);
    return result;
}

} // namespace

std::vector<Command> toolCommands()
{
    return {
        {u"tool"_s,
         u"number|case|replace|format|chinese|halfwidth|strip-ads [选项] 文件..."_s,
         u"批量处理标签文字与文件名 (text tools over tags and file names)"_s,
         u"number: 按给出的顺序写音轨号 (--start, --total=none|all|folder, --width, --restart\n"
         u"  每个文件夹重新编号); case: 大小写 (--mode=words|upper|lower|sentence, 只改拉丁字母);\n"
         u"replace: 查找替换 (--find, --replace, --regex 时 \\1 或 $1 为分组, --case-sensitive);\n"
         u"format: 由 --pattern 设字段, %1 标题 %2 作者 %3 专辑 %4 年代 %5 类型 %6 备注\n"
         u"  %7 音轨 %8 碟号 %9 专辑艺术家 %n 音轨号; chinese: 简繁转换 (--to=s2t|s2tw|s2hk|t2s|\n"
         u"  tw2s|hk2s, OpenCC); halfwidth: 全角转半角 (中文里的，：；！？（）不变); strip-ads:\n"
         u"  去除广告 (--pattern 一个正则表达式, 否则设置中的列表或内置列表).\n"
         u"--fields: 处理的字段, 以逗号分隔 (title artist album albumartist comment ...,\n"
         u"  filename 为不含扩展名的文件名); 默认 title,artist,album; format 须给出.\n"
         u"标签与文件名的修改为操作历史中的一步 \"批量处理\", 撤销时两者一起还原\n"
         u"(不覆盖任何文件, 两个文件要同一个名字时都不改, 其标签照改).\n"
         u"--dry-run: 只列出将要做的修改. --json: [{\"file\", \"field\", \"old\", \"new\",\n"
         u"  \"error\"}] (--dry-run), 否则 [{\"file\", \"ok\", \"outcome\" 或 \"error\"}].\n"_s,
         {{u"fields"_s, {}, true, u"字段,..."_s, u"处理的字段 (fields to change)"_s},
          {u"dry-run"_s, u'n', false, {}, u"只预览 (preview only)"_s},
          {u"start"_s, {}, true, u"N"_s, u"number: 起始号 (first number)"_s},
          {u"total"_s, {}, true, u"none|all|folder"_s, u"number: 总数 (the total)"_s},
          {u"width"_s, {}, true, u"N"_s, u"number: 补零宽度 (zero padding)"_s},
          {u"restart"_s, {}, false, {}, u"number: 每个文件夹重新编号 (per folder)"_s},
          {u"mode"_s, {}, true, u"words|upper|lower|sentence"_s, u"case: 方式 (mode)"_s},
          {u"find"_s, {}, true, u"文字"_s, u"replace: 查找 (find)"_s},
          {u"replace"_s, {}, true, u"文字"_s, u"replace: 替换为 (replacement)"_s},
          {u"regex"_s, {}, false, {}, u"replace: 正则表达式 (regular expression)"_s},
          {u"case-sensitive"_s, {}, false, {}, u"replace: 区分大小写 (match case)"_s},
          {u"pattern"_s, {}, true, u"格式"_s, u"format, strip-ads: 格式或正则 (pattern)"_s},
          {u"to"_s, {}, true, u"s2t|s2tw|s2hk|t2s|tw2s|hk2s"_s, u"chinese: 方向 (direction)"_s},
          priorityOption()},
         &runTool},
    };
}

} // namespace cli
