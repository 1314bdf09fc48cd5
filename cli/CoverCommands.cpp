// cover: the front cover of files set from a picture, removed, or saved.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/TagStep.h"

#include "operations/CoverCommand.h"
#include "operations/CoverEditing.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"

using namespace Qt::StringLiterals;

namespace cli {

namespace {

Result runSetCover(const ParsedArgs& args, Context& context)
{
    if (args.operands.size() < 3)
        return badUsage(args.operands.size() < 2 ? u"缺少图片"_s : u"缺少文件"_s);
    Result result;
    QString why;
    const QString& picture = args.operands[1];
    const auto image = operations::readCoverFile(picture, &why);
    if (!image) {
        // Nothing is written when the picture cannot be taken.
        result.fail(picture, why);
        return result;
    }
    const operations::CoverCommand covers =
        operations::CoverCommand::setting(*image, context.textRules());
    runTagCommand(distinctFiles(args.operands, 2), covers.command(), u"已设置封面"_s, {}, context,
                  result);
    return result;
}

Result runRemoveCover(const ParsedArgs& args, Context& context)
{
    if (args.operands.size() < 2)
        return badUsage(u"缺少文件"_s);
    Result result;
    runTagCommand(distinctFiles(args.operands, 1), operations::CoverCommand::removing().command(),
                  {}, {}, context, result, [](const QString&, const tags::TagChange& change) {
                      return u"已删除"_s + operations::removedPictureName(change);
                  });
    return result;
}

Result runExportCover(const ParsedArgs& args, Context& context)
{
    if (args.operands.size() != 3)
        return badUsage(args.operands.size() < 3 ? u"缺少文件或目标"_s
                                                 : u"只能导出一个文件的封面"_s);
    const QString& path = args.operands[1];
    Result result;
    if (const auto error = notAFile(path)) {
        result.fail(path, *error);
        return result;
    }
    const auto cover = operations::readCover(path);
    if (!cover || cover->data.empty()) {
        result.fail(path, cover ? u"封面太大, 无法读取"_s : u"没有封面"_s);
        return result;
    }
    // A folder gets the file under the name the window offers.
    QString target = args.operands[2];
    if (isFolder(target, true)) {
        const QString name = operations::coverFileName(path, QString::fromStdString(cover->mime));
        target = target + u'/' + name.mid(name.lastIndexOf(u'/') + 1);
    }
    if (platform::PathExists(platform::NativePath(target)) && !args.has(u"force"_s)) {
        result.fail(target, u"文件已存在, 未覆盖 (用 --force 覆盖)"_s);
        return result;
    }
    const operations::Outcome written =
        operations::exportCover(QByteArray::fromStdString(cover->data), path, target);
    if (!written.succeeded) {
        result.fail(target, written.message);
        return result;
    }
    QJsonObject object = context.fileObject(path);
    object[u"ok"_s] = true;
    object[u"target"_s] = target;
    result.json.append(object);
    result.rows.push_back({pathCell(path), textCell(u"封面已导出到 "_s + target)});
    return result;
}

Result runCover(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少 set, remove 或 export"_s);
    const QString& verb = args.operands.front();
    if (args.has(u"force"_s) && verb != u"export"_s)
        return badUsage(u"--force 只用于 export"_s);
    if (verb == u"set"_s)
        return runSetCover(args, context);
    if (verb == u"remove"_s)
        return runRemoveCover(args, context);
    if (verb == u"export"_s)
        return runExportCover(args, context);
    return badUsage(u"未知的操作 "_s + verb + u" (set, remove, export)"_s);
}

} // namespace

std::vector<Command> coverCommands()
{
    return {
        {u"cover"_s,
         u"set 图片 文件... | remove 文件... | export [--force] 文件 目标"_s,
         u"设置, 删除或导出封面 (set, remove or export the front cover)"_s,
         u"set: 以 JPEG 或 PNG 图片 (按内容, 最大 16 MB) 作为每个文件的封面 (类型 3), 替换\n"
         u"原有的封面; remove: 删除显示为封面的图片. 所有文件为操作历史中的一步 \"封面\",\n"
         u"可以用 undo 取消. 没有 ID3v2 标签的文件得到一个, 其文字取自 ID3v1.\n"
         u"export: 把封面的字节写入目标文件; 目标为文件夹时写入其中, 文件名为 MP3 的\n"
         u"名称加 .jpg 或 .png; 已有的文件不覆盖, 除非给出 --force.\n"
         u"--json: [{\"file\", \"ok\", \"outcome\" 或 \"error\"}]; export: \"target\".\n"_s,
         {{u"force"_s, {}, false, {}, u"export 覆盖已有的文件 (overwrite the target)"_s}},
         &runCover},
    };
}

} // namespace cli
