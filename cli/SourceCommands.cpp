// copy and from-name: tags taken from the other tag version or from the
// file's name, as the window's copy buttons and batch page take them.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/TagStep.h"

#include "operations/CopyCommand.h"
#include "operations/FieldsCommand.h"
#include "operations/FieldsFromName.h"

#include <QJsonObject>

#include <utility>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

Result runCopy(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少方向 (v1-to-v2, v2-to-v1)"_s);
    const QString& way = args.operands.front();
    if (way != u"v1-to-v2"_s && way != u"v2-to-v1"_s)
        return badUsage(u"未知的方向 "_s + way + u" (v1-to-v2, v2-to-v1)"_s);
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);
    const operations::CopyCommand copy(way == u"v1-to-v2"_s ? operations::CopyDirection::V1ToV2
                                                            : operations::CopyDirection::V2ToV1,
                                       args.has(u"overwrite"_s), context.textRules());
    Result result;
    runTagCommand(distinctFiles(args.operands, 1), copy.command(), copy.succeeded(), {}, context,
                  result);
    return result;
}

Result runFromName(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少格式"_s);
    operations::FieldSources sources;
    sources.pattern = args.operands.front();
    const operations::FieldsFromName names(sources.pattern);
    if (!names.holds(1) && !names.holds(2) && !names.holds(3))
        return badUsage(u"格式中没有 %1 (标题), %2 (作者) 或 %3 (专辑)"_s);
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;

    // Title, artist and album are "%1" to "%3"; the others only match, and a
    // field the pattern does not name stays as the file has it.
    sources.from.fill(operations::FieldSources::From::Name);
    const operations::FieldsCommand fields(
        sources, *priority, context.textRules(),
        [&context](const QString& name) { return context.shownName(name); });
    runTagCommand(
        distinctFiles(args.operands, 1), fields.command(), u"已修改"_s,
        [&fields](const QString& path) {
            QJsonObject details;
            const auto values = fields.valuesFor(path);
            if (!values)
                return details;
            for (const auto& [name, value] :
                 {std::pair{u"title"_s, values->title}, std::pair{u"artist"_s, values->artist},
                  std::pair{u"album"_s, values->album}}) {
                if (value)
                    details[name] = *value;
            }
            return details;
        },
        context, result);
    return result;
}

} // namespace

std::vector<Command> sourceCommands()
{
    return {
        {u"copy"_s,
         u"v1-to-v2|v2-to-v1 [--overwrite] 文件..."_s,
         u"在 ID3v1 与 ID3v2 之间复制标签 (copy tags between ID3v1 and ID3v2)"_s,
         u"v1-to-v2: 将ID3v1复制到ID3v2; v2-to-v1: 将ID3v2复制到ID3v1. 目标标签已存在时\n"
         u"不复制, 除非给出 --overwrite. 所有文件为操作历史中的一步.\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\"}].\n"_s,
         {{u"overwrite"_s, {}, false, {}, u"覆盖已有的目标标签 (replace an existing tag)"_s}},
         &runCopy},
        {u"from-name"_s,
         u"[--priority=v1|v2|prefer-v2] 格式 文件..."_s,
         u"从文件名读取标签 (tags from file names by a pattern)"_s,
         u"格式中的 %1 (标题), %2 (作者), %3 (专辑) 取自文件名 (不含扩展名), 例如 \"%2 - %1\"\n"
         u"从 \"歌手 - 歌名.mp3\" 得到作者 \"歌手\", 标题 \"歌名\". %4 到 %6 只须匹配. 其余文字须\n"
         u"与文件名一致; 每个占位符至少一个字符, 最后一个取余下的全部. 文件名与格式不符的\n"
         u"文件失败. 所有文件为操作历史中的一步 \"批量修改\".\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\", \"title\", \"artist\", "
         u"\"album\"}].\n"_s,
         {priorityOption()},
         &runFromName},
    };
}

} // namespace cli
