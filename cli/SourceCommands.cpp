// copy and from-name: tags taken from the other tag version or from the
// file's name, as the window's copy buttons and batch page take them.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/TagStep.h"

#include "operations/CopyCommand.h"
#include "operations/FieldsCommand.h"
#include "operations/FieldsFromName.h"
#include "operations/TagField.h"

#include <QJsonObject>

#include <utility>
#include <vector>

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
    std::vector<operations::Field> named;
    for (std::size_t n = 1; n <= operations::kPlaceholderCount; ++n) {
        if (names.holds(int(n)))
            named.push_back(operations::Field(n - 1));
    }
    if (named.empty())
        return badUsage(u"格式中没有占位符 %1 到 %9"_s);
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    for (const operations::Field field : named) {
        if (*priority == operations::Priority::V1Only && !operations::v1Holds(field))
            return badUsage(u"ID3v1 没有 "_s + operations::fieldName(field) +
                            u" 字段 (--priority=v1)"_s);
    }

    // Every placeholder of the pattern sets its field; a field the pattern
    // does not name stays as the file has it.
    sources.from.fill(operations::FieldSources::From::Name);
    const operations::FieldsCommand fields(
        sources, *priority, context.textRules(),
        [&context](const QString& name) { return context.shownName(name); });
    runTagCommand(
        distinctFiles(args.operands, 1), fields.command(), u"已修改"_s,
        [&fields, &named](const QString& path) {
            QJsonObject details;
            const auto values = fields.valuesFor(path);
            if (!values)
                return details;
            for (const operations::Field field : named)
                details[operations::fieldName(field)] = values->value(field).value_or(QString());
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
         u"格式中的占位符取自文件名 (不含扩展名): %1 标题, %2 作者, %3 专辑, %4 年代,\n"
         u"%5 类型, %6 备注, %7 音轨, %8 碟号, %9 专辑艺术家. 例如 \"%7. %2 - %1\" 从\n"
         u"\"03. 歌手 - 歌名.mp3\" 得到音轨 \"03\", 作者 \"歌手\", 标题 \"歌名\". 其余文字须\n"
         u"与文件名一致; 每个占位符至少一个字符, 最后一个取余下的全部. 文件名与格式不符的\n"
         u"文件失败, 音轨或碟号不是 n 或 n/总数的也失败. 所有文件为操作历史中的一步\n"
         u"\"批量修改\".\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\", 格式中的字段 (\"title\", "
         u"\"track\"...)}].\n"_s,
         {priorityOption()},
         &runFromName},
    };
}

} // namespace cli
