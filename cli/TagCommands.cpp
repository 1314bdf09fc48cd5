// ls, get and set: the list's columns and the batch tag change of the window.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/Progress.h"
#include "cli/TagStep.h"

#include "operations/TagEditing.h"
#include "operations/TagWrites.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QJsonObject>

#include <algorithm>
#include <array>
#include <functional>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// The columns of the window's list, in its order.
constexpr std::array<QStringView, 6> FieldNames = {u"title", u"artist", u"album",
                                                   u"year",  u"genre",  u"comment"};

std::optional<std::size_t> fieldIndex(const QString& name)
{
    const auto found = std::find(FieldNames.begin(), FieldNames.end(), name);
    if (found == FieldNames.end())
        return std::nullopt;
    return std::size_t(found - FieldNames.begin());
}

// Reads the fields of each entry into the result: a row and an object per
// file; a file that cannot be read is a failure.
void showFields(const std::vector<Entry>& entries, const std::vector<std::size_t>& fields,
                operations::Priority priority, Context& context, Result& result)
{
    TID3v1 v1;
    TID3v2 v2;
    const operations::TextRules rules = context.textRules();
    Progress progress(u"正在读取"_s, entries.size());
    for (const Entry& entry : entries) {
        progress.update(std::size_t(&entry - entries.data()));
        QJsonObject object = context.fileObject(entry.path);
        object[u"ok"_s] = !entry.error;
        if (entry.error) {
            object[u"error"_s] = *entry.error;
            result.json.append(object);
            result.fail(entry.path, *entry.error);
            continue;
        }
        const auto shown = operations::readShownTags(v1, v2, priority, entry.path, rules);
        std::vector<Cell> row{pathCell(entry.path)};
        for (const std::size_t f : fields) {
            object[FieldNames[f].toString()] = shown.fields[f];
            row.push_back(textCell(shown.fields[f]));
        }
        result.json.append(object);
        result.rows.push_back(std::move(row));
    }
}

Result runLs(const ParsedArgs& args, Context& context)
{
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    showFields(listPaths(args.operands, args.has(u"recursive"_s)), {0, 1, 2, 3, 4, 5}, *priority,
               context, result);
    return result;
}

// The leading operands that name fields, up to the first that does not or
// to "--".
std::size_t fieldCount(const ParsedArgs& args, const std::function<bool(const QString&)>& isField)
{
    const std::size_t end = args.dashDash.value_or(args.operands.size());
    std::size_t n = 0;
    while (n < end && isField(args.operands[n]))
        ++n;
    return n;
}

Result runGet(const ParsedArgs& args, Context& context)
{
    const std::size_t n =
        fieldCount(args, [](const QString& arg) { return fieldIndex(arg).has_value(); });
    if (n == 0)
        return args.operands.empty() || args.dashDash == 0
                   ? badUsage(u"缺少字段"_s)
                   : badUsage(u"未知的字段 "_s + args.operands.front());
    if (n == args.operands.size())
        return badUsage(u"缺少文件"_s);
    std::vector<std::size_t> fields;
    for (std::size_t i = 0; i < n; ++i)
        fields.push_back(*fieldIndex(args.operands[i]));
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    std::vector<Entry> entries;
    for (std::size_t i = n; i < args.operands.size(); ++i)
        entries.push_back({args.operands[i], notAFile(args.operands[i])});
    showFields(entries, fields, *priority, context, result);
    return result;
}

// "title=VALUE": the field's index and the value; nullopt for an argument
// that is no assignment of a known field (a file's name).
std::optional<std::pair<std::size_t, QString>> assignment(const QString& arg)
{
    const qsizetype equals = arg.indexOf(u'=');
    if (equals <= 0)
        return std::nullopt;
    const auto field = fieldIndex(arg.left(equals));
    if (!field)
        return std::nullopt;
    return std::pair{*field, arg.mid(equals + 1)};
}

std::optional<operations::FieldValues> fieldValues(const ParsedArgs& args, std::size_t n,
                                                   Result& result)
{
    operations::FieldValues values;
    std::array<std::optional<QString>*, 3> settable{&values.title, &values.artist, &values.album};
    for (std::size_t i = 0; i < n; ++i) {
        const auto [field, value] = *assignment(args.operands[i]);
        if (field >= settable.size()) {
            result = badUsage(u"set 只能修改 title, artist, album, 不能修改 "_s +
                              FieldNames[field].toString());
            return std::nullopt;
        }
        *settable[field] = value;
    }
    return values;
}

Result runSet(const ParsedArgs& args, Context& context)
{
    const std::size_t n =
        fieldCount(args, [](const QString& arg) { return assignment(arg).has_value(); });
    if (n == 0)
        return args.operands.empty() || args.dashDash == 0
                   ? badUsage(u"缺少 字段=值"_s)
                   : badUsage(u"不是 字段=值: "_s + args.operands.front());
    if (n == args.operands.size())
        return badUsage(u"缺少文件"_s);
    Result result;
    const auto values = fieldValues(args, n, result);
    if (!values)
        return result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    const operations::TextRules rules = context.textRules();
    TID3v1 v1;
    TID3v2 v2;
    writeTagStep(
        distinctFiles(args.operands, n), operations::StepKind::FieldChange,
        [&](const QString& path) {
            return preparedFields(operations::changeFields(v1, v2, *priority, path, *values, rules),
                                  path);
        },
        context, result);
    return result;
}

} // namespace

std::vector<Command> tagCommands()
{
    return {
        {u"ls"_s,
         u"[-r] [--priority=v1|v2|prefer-v2] [路径...]"_s,
         u"列出 MP3 文件及其标签 (list MP3 files with their tags)"_s,
         u"每个文件一行: 文件, 标题, 艺术家, 专辑, 年份, 流派, 注释, 按优先级读取.\n"
         u"路径为文件夹时列出其中的 *.mp3 (不分大小写); 不给出路径时列出当前文件夹.\n"
         u"--json: [{\"file\", \"ok\", \"title\", \"artist\", \"album\", \"year\", \"genre\", "
         u"\"comment\"}];\n"
         u"不是 UTF-8 的文件名: \"file\" 为按代码页读出的文字, \"path_bytes\" 为其字节的百分号编码.\n"_s,
         {{u"recursive"_s, u'r', false, {}, u"也列出子文件夹 (list sub-folders too)"_s},
          priorityOption()},
         &runLs},
        {u"get"_s,
         u"字段... [--] 文件..."_s,
         u"显示文件的字段 (print fields of files)"_s,
         u"字段: title, artist, album, year, genre, comment. 字段在前, 到第一个不是字段名的参数\n"
         u"或 -- 为止, 其余为文件.\n"
         u"--json: [{\"file\", \"ok\", 字段...}]; 失败的文件有 \"error\".\n"_s,
         {priorityOption()},
         &runGet},
        {u"set"_s,
         u"字段=值... [--] 文件..."_s,
         u"批量修改标签 (change title, artist, album of files)"_s,
         u"字段: title, artist, album. 按优先级写入; 所有文件为操作历史中的一步 \"批量修改\",\n"
         u"可以用 undo 或窗口的撤销取消.\n"
         u"--json: [{\"file\", \"ok\", \"error\"}].\n"_s,
         {priorityOption()},
         &runSet},
    };
}

} // namespace cli
