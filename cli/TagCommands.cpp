// ls, get and set: the list's columns and the batch tag change of the window.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/Progress.h"
#include "cli/TagStep.h"

#include "operations/FieldsCommand.h"
#include "operations/FrameFields.h"
#include "operations/TagEditing.h"
#include "operations/TagWrites.h"
#include "platform/FileTree.h"
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

using operations::Field;

// A column of ls and get: a field by its name, or a frame by its ID.
struct Column {
    QString name;
    std::optional<Field> field;
    std::optional<operations::FrameKey> frame;
};

std::optional<Column> columnOf(const QString& name)
{
    if (const auto field = operations::fieldNamed(name))
        return Column{name, field, std::nullopt};
    if (const auto frame = operations::frameKeyOf(name))
        return Column{name, std::nullopt, frame};
    return std::nullopt;
}

std::vector<Column> listColumns()
{
    std::vector<Column> columns;
    for (const Field field : operations::kAllFields)
        columns.push_back({operations::fieldName(field), field, std::nullopt});
    return columns;
}

// An operand that is no field but reads as one misspelt ("trak"; for set an
// assignment, "albumartst=x") rather than as a file: a word of letters and
// digits that names nothing on disk.
bool looksLikeField(const QString& arg, bool assigning)
{
    const qsizetype equals = arg.indexOf(u'=');
    if (assigning && equals < 0)
        return false;
    const QString word = arg.left(equals);
    return !word.isEmpty() && std::all_of(word.begin(), word.end(), [](QChar c) {
        return c.isLetterOrNumber() || c == u':' || c == u'_';
    }) && !platform::PathExists(platform::NativePath(arg));
}

// A text on one line of the table: a line break shows as " / ".
QString oneLine(QString text)
{
    text.replace(u"\r\n"_s, u" / "_s);
    text.replace(u'\n', u" / "_s);
    text.replace(u'\r', u" / "_s);
    return text;
}

// Reads the fields of each entry into the result: a row of `shown` and an
// object of `inJson` per file; a file that cannot be read is a failure.
void showFields(const std::vector<Entry>& entries, const std::vector<Column>& shown,
                const std::vector<Column>& inJson, operations::Priority priority, Context& context,
                Result& result)
{
    TID3v1 v1;
    TID3v2 v2;
    const operations::TextRules rules = context.textRules();
    const bool frames = std::any_of(inJson.begin(), inJson.end(),
                                    [](const Column& c) { return c.frame.has_value(); });
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
        const auto tags = operations::readShownTags(v1, v2, priority, entry.path, rules);
        const auto rows = frames ? operations::readTagRows(v1, v2, entry.path, rules)
                                 : std::optional<std::vector<operations::TagRow>>();
        const auto value = [&](const Column& column) {
            if (column.field)
                return tags.value(*column.field);
            return rows ? operations::frameText(*rows, *column.frame) : QString();
        };
        std::vector<Cell> row{pathCell(entry.path)};
        for (const Column& column : shown)
            row.push_back(textCell(oneLine(value(column))));
        for (const Column& column : inJson)
            object[column.name] = value(column);
        result.json.append(object);
        result.rows.push_back(std::move(row));
    }
}

Result runLs(const ParsedArgs& args, Context& context)
{
    std::vector<Column> shown = listColumns();
    shown.resize(operations::kListFieldCount);
    if (args.has(u"fields"_s)) {
        shown.clear();
        for (const QString& name : args.value(u"fields"_s).split(u',', Qt::SkipEmptyParts)) {
            const auto column = columnOf(name.trimmed());
            if (!column)
                return badUsage(u"未知的字段 "_s + name.trimmed());
            shown.push_back(*column);
        }
        if (shown.empty())
            return badUsage(u"--fields 缺少字段"_s);
    }
    std::vector<Column> inJson = listColumns();
    for (const Column& column : shown) {
        if (column.frame)
            inJson.push_back(column);
    }
    Result result;
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    showFields(listPaths(args.operands, args.has(u"recursive"_s)), shown, inJson, *priority,
               context, result);
    return result;
}

// The leading operands that name fields (or assign them), up to "--" or,
// without one, to the first that does not. Before "--" every operand must;
// without it, one that reads as a misspelt field is not taken as a file.
// Nothing of a file is touched before this is known.
std::optional<std::size_t> fieldCount(const ParsedArgs& args,
                                      const std::function<bool(const QString&)>& isField,
                                      bool assigning, Result& result)
{
    const std::size_t end = args.dashDash.value_or(args.operands.size());
    std::size_t n = 0;
    while (n < end && isField(args.operands[n]))
        ++n;
    const bool unknown = args.dashDash ? n < end
                                       : n > 0 && n < args.operands.size() &&
                                             looksLikeField(args.operands[n], assigning);
    if (unknown) {
        const QString& arg = args.operands[n];
        result = badUsage(u"未知的字段 "_s + arg.left(arg.indexOf(u'=')));
        return std::nullopt;
    }
    return n;
}

Result runGet(const ParsedArgs& args, Context& context)
{
    Result result;
    const auto n = fieldCount(
        args, [](const QString& arg) { return columnOf(arg).has_value(); }, false, result);
    if (!n)
        return result;
    if (*n == 0)
        return args.operands.empty() || args.dashDash == 0
                   ? badUsage(u"缺少字段"_s)
                   : badUsage(u"未知的字段 "_s + args.operands.front());
    if (*n == args.operands.size())
        return badUsage(u"缺少文件"_s);
    std::vector<Column> columns;
    for (std::size_t i = 0; i < *n; ++i)
        columns.push_back(*columnOf(args.operands[i]));
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    std::vector<Entry> entries;
    for (std::size_t i = *n; i < args.operands.size(); ++i)
        entries.push_back({args.operands[i], notAFile(args.operands[i])});
    showFields(entries, columns, columns, *priority, context, result);
    return result;
}

// "title=VALUE", "TXXX:描述=VALUE": the column and the value; nullopt for an
// argument that is no assignment of a known field or frame (a file's name).
std::optional<std::pair<Column, QString>> assignment(const QString& arg)
{
    const qsizetype equals = arg.indexOf(u'=');
    if (equals <= 0)
        return std::nullopt;
    const auto column = columnOf(arg.left(equals));
    if (!column)
        return std::nullopt;
    return std::pair{*column, arg.mid(equals + 1)};
}

// The values to set, checked against what the priority writes: a field
// ID3v1 does not hold cannot be set under "ID3v1 only".
std::optional<operations::FieldValues> fieldValues(const ParsedArgs& args, std::size_t n,
                                                   operations::Priority priority, Result& result)
{
    operations::FieldValues values;
    for (std::size_t i = 0; i < n; ++i) {
        const auto [column, value] = *assignment(args.operands[i]);
        QString why;
        if (column.frame) {
            why = operations::unsettableReason(*column.frame);
            values.frames.emplace_back(column.name, value);
        } else if (!operations::acceptsValue(*column.field, value)) {
            why = column.name + u" 应为 n 或 n/总数: "_s + value;
        } else if (priority == operations::Priority::V1Only &&
                   !operations::v1Holds(*column.field)) {
            why = u"ID3v1 没有 "_s + column.name + u" 字段 (--priority=v1)"_s;
        } else {
            values.value(*column.field) = value;
        }
        if (!why.isEmpty()) {
            result = badUsage(why);
            return std::nullopt;
        }
    }
    return values;
}

Result runSet(const ParsedArgs& args, Context& context)
{
    Result result;
    const auto n = fieldCount(
        args, [](const QString& arg) { return assignment(arg).has_value(); }, true, result);
    if (!n)
        return result;
    if (*n == 0)
        return args.operands.empty() || args.dashDash == 0
                   ? badUsage(u"缺少 字段=值"_s)
                   : badUsage(u"不是 字段=值: "_s + args.operands.front());
    if (*n == args.operands.size())
        return badUsage(u"缺少文件"_s);
    const auto priority = runPriority(args, context, result);
    if (!priority)
        return result;
    const auto values = fieldValues(args, *n, *priority, result);
    if (!values)
        return result;
    const operations::FieldsCommand fields =
        operations::FieldsCommand::setting(*values, *priority, context.textRules());
    runTagCommand(distinctFiles(args.operands, *n), fields.command(), u"已修改"_s, {}, context,
                  result);
    return result;
}

} // namespace

std::vector<Command> tagCommands()
{
    return {
        {u"ls"_s,
         u"[-r] [--fields=字段,...] [--priority=v1|v2|prefer-v2] [路径...]"_s,
         u"列出 MP3 文件及其标签 (list MP3 files with their tags)"_s,
         u"每个文件一行: 文件, 标题, 艺术家, 专辑, 年份, 流派, 注释, 按优先级读取;\n"
         u"--fields 选择其他列 (choose the columns), 例如 --fields=track,title,albumartist.\n"
         u"路径为文件夹时列出其中的 *.mp3 (不分大小写); 不给出路径时列出当前文件夹.\n"
         u"--json: [{\"file\", \"ok\", \"title\", \"artist\", \"album\", \"year\", \"genre\", "
         u"\"comment\",\n"
         u"\"track\", \"disc\", \"albumartist\", \"composer\", \"lyrics\"}] (总是全部字段);\n"
         u"不是 UTF-8 的文件名: \"file\" 为按代码页读出的文字, \"path_bytes\" 为其字节的百分号编码.\n"_s,
         {{u"recursive"_s, u'r', false, {}, u"也列出子文件夹 (list sub-folders too)"_s},
          {u"fields"_s, {}, true, u"字段,..."_s, u"显示的列 (the columns shown)"_s},
          priorityOption()},
         &runLs},
        {u"get"_s,
         u"字段... [--] 文件..."_s,
         u"显示文件的字段 (print fields of files)"_s,
         u"字段: title, artist, album, year, genre, comment, track, disc, albumartist,\n"
         u"composer, lyrics, 或 ID3v2 帧的 ID (frame IDs): TPE2, WOAR, TXXX:描述, COMM:描述.\n"
         u"字段在前, 到 -- 或第一个不是字段名的参数为止, 其余为文件; 未知的字段为用法错误.\n"
         u"帧按 ID 读取 ID3v2 标签, 与优先级无关; ID3v1 只有 track (ID3v1.1).\n"
         u"--json: [{\"file\", \"ok\", 字段...}]; 失败的文件有 \"error\".\n"_s,
         {priorityOption()},
         &runGet},
        {u"set"_s,
         u"字段=值... [--] 文件..."_s,
         u"批量修改标签 (change fields and frames of files)"_s,
         u"字段: title, artist, album, year, genre, comment, track (n 或 n/总数), disc,\n"
         u"albumartist, composer, lyrics, 或帧 (frames): T***, W***, TXXX:描述, WXXX:描述,\n"
         u"COMM:描述, USLT:描述. 空值删除该帧. 字段按优先级写入 (ID3v1 只有六个字段和 track;\n"
         u"track 为 1..255 时写入 ID3v1.1 的音轨字节); 帧总是写入 ID3v2.\n"
         u"所有文件为操作历史中的一步 \"批量修改\", 可以用 undo 或窗口的撤销取消.\n"
         u"已是这些值的文件不写入 (\"已是这些值\"); 读取之后被其他程序修改的文件不写入.\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\"}].\n"_s,
         {priorityOption()},
         &runSet},
    };
}

} // namespace cli
