// lyrics: the ".lrc" file beside an MP3 into its tag, and back.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/TagStep.h"

#include "operations/LyricsCommand.h"
#include "operations/TagCommand.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QJsonObject>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// The lyrics file found for an MP3, and the encoding it was read in.
struct Imported {
    QString lrc;
    QString encoding;
};
using ImportedFiles = std::map<QString, Imported>; // by the MP3's path

Result runImport(const ParsedArgs& args, Context& context)
{
    Result result;
    // Filled as each file's lyrics file is read, so that its row says what
    // was read.
    const auto imported = std::make_shared<ImportedFiles>();
    const operations::TagCommand import = operations::lyricsImportCommand(
        context.textRules(), context.codePage(),
        [&context](const QString& path) { return context.shownName(path); },
        [imported](const QString& path, const operations::LyricsBeside& beside) {
            if (beside.lyrics)
                (*imported)[path] = {beside.lrc, beside.lyrics->encodingName()};
        });
    runTagCommand(
        distinctFiles(args.operands, 1), import, {},
        [imported](const QString& path) {
            QJsonObject details;
            if (const auto it = imported->find(path); it != imported->end()) {
                details[u"lrc"_s] = it->second.lrc;
                details[u"encoding"_s] = it->second.encoding;
            }
            return details;
        },
        context, result,
        [imported](const QString& path, const tags::TagChange&) {
            return u"已导入歌词 ("_s + imported->at(path).encoding + u')';
        });
    return result;
}

// The file's lyrics (ID3v2's, whatever the priority) into its ".lrc", in UTF-8.
void exportFrom(const Entry& entry, bool force, TID3v1& v1, TID3v2& v2, Context& context,
                Result& result)
{
    QJsonObject object = context.fileObject(entry.path);
    const auto fail = [&](const QString& why) {
        object[u"ok"_s] = false;
        object[u"error"_s] = why;
        result.json.append(object);
        result.fail(entry.path, why);
    };
    if (entry.error)
        return fail(*entry.error);
    const operations::LyricsExported exported =
        operations::exportLyrics(v1, v2, entry.path, force, context.textRules());
    const QString& lrc = exported.lrc;
    if (exported.result == operations::LyricsExport::Exists)
        return fail(u"歌词文件已存在, 未覆盖 (用 --force 覆盖): "_s + context.shownName(lrc));
    if (exported.result != operations::LyricsExport::Written)
        return fail(exported.message);
    object[u"ok"_s] = true;
    object[u"lrc"_s] = lrc;
    result.json.append(object);
    result.rows.push_back(
        {pathCell(entry.path), textCell(u"已导出到 "_s + context.shownName(lrc))});
}

Result runExport(const ParsedArgs& args, Context& context)
{
    Result result;
    TID3v1 v1;
    TID3v2 v2;
    for (const Entry& entry : distinctFiles(args.operands, 1))
        exportFrom(entry, args.has(u"force"_s), v1, v2, context, result);
    return result;
}

Result runLyrics(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少 import 或 export"_s);
    const QString& verb = args.operands.front();
    if (verb != u"import"_s && verb != u"export"_s)
        return badUsage(u"未知的操作 "_s + verb + u" (import, export)"_s);
    if (args.operands.size() == 1)
        return badUsage(u"缺少文件"_s);
    if (verb == u"import"_s && args.has(u"force"_s))
        return badUsage(u"--force 只用于 export"_s);
    return verb == u"import"_s ? runImport(args, context) : runExport(args, context);
}

} // namespace

std::vector<Command> lyricsCommands()
{
    return {
        {u"lyrics"_s,
         u"import|export [--force] 文件..."_s,
         u"导入或导出歌词 (import or export lyrics as .lrc files)"_s,
         u"import: 读取每个文件旁同名的 .lrc (字节顺序标记, UTF-8, 否则 GBK/Big5/CP1252),\n"
         u"写入 ID3v2 的歌词帧 USLT (语言 \"XXX\", 无描述); 所有文件为操作历史中的一步,\n"
         u"可以用 undo 取消. 每个文件报告读到的编码; 没有 .lrc 的文件算作失败.\n"
         u"export: 把 USLT 的文字以 UTF-8 写入文件旁同名的 .lrc; 已有的 .lrc 不覆盖,\n"
         u"除非给出 --force.\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\", \"lrc\", \"encoding\"}].\n"_s,
         {{u"force"_s, {}, false, {}, u"export 覆盖已有的 .lrc (overwrite existing .lrc)"_s}},
         &runLyrics},
    };
}

} // namespace cli
