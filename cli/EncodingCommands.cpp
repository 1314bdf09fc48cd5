// encoding: the inspector's findings, and the conversion of legacy texts to
// Unicode, as the window's encoding dialog shows and makes them.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"
#include "cli/Progress.h"

#include "operations/Conversion.h"
#include "operations/EncodingRepair.h"
#include "platform/LegacyText.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// Each file's legacy texts, one row per text read in its code page.
void inspect(const std::vector<Entry>& files, Context& context, Result& result)
{
    TID3v1 v1;
    TID3v2 v2;
    const operations::TextRules rules = context.textRules();
    Progress progress(u"正在读取"_s, files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.update(i);
        const Entry& file = files[i];
        QJsonObject object = context.fileObject(file.path);
        object[u"ok"_s] = !file.error;
        if (file.error) {
            object[u"error"_s] = *file.error;
            result.json.append(object);
            result.fail(file.path, *file.error);
            continue;
        }
        QJsonArray texts;
        for (const auto& legacy : operations::legacyTextsOf(v1, v2, file.path, rules)) {
            const QString text = platform::decodeLegacy(legacy.bytes, legacy.codePage);
            const QString codePage = platform::codePageName(legacy.codePage);
            texts.append(QJsonObject{
                {u"field"_s, legacy.field},
                {u"code_page"_s, codePage},
                {u"text"_s, text},
                {u"bytes"_s,
                 QString::fromLatin1(QByteArray::fromStdString(legacy.bytes).toHex())}});
            result.rows.push_back(
                {pathCell(file.path), textCell(legacy.field), textCell(codePage), textCell(text)});
        }
        if (texts.isEmpty())
            result.rows.push_back({pathCell(file.path), textCell(u"无需转换"_s)});
        object[u"texts"_s] = texts;
        result.json.append(object);
    }
}

// The conversion as the window's encoding dialog makes it, one step of the
// history: a row "file  outcome" and an object {"file", "ok", "outcome" or
// "error"} for each file, in the given order.
void convertFiles(const std::vector<Entry>& files, std::optional<platform::LegacyCodePage> codePage,
                  Context& context, Result& result)
{
    Progress progress(u"正在处理"_s, files.size());
    operations::Conversion conversion(
        context.journal(result), context.textRules(),
        [&](std::size_t index, const operations::Conversion::FileResult& converted) {
            const QString& path = files[index].path;
            QJsonObject object = context.fileObject(path);
            object[u"ok"_s] = converted.file.succeeded;
            if (!converted.file.succeeded) {
                object[u"error"_s] = converted.file.reason;
                result.fail(path, converted.file.reason);
            } else {
                const QString outcome = converted.needed ? u"编码转换"_s : u"无需转换"_s;
                object[u"outcome"_s] = outcome;
                result.rows.push_back({pathCell(path), textCell(outcome)});
            }
            result.json.append(object);
        });
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.update(i);
        if (files[i].error)
            conversion.fail(files[i].path, *files[i].error);
        else
            // The journal keeps absolute paths, so an undo may run from any folder.
            conversion.add(platform::AbsolutePath(files[i].path), codePage);
    }
    conversion.finish();
    for (const QString& problem : conversion.problems())
        result.warn(problem);
    context.flushJournal(result);
}

Result runEncoding(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少文件"_s);
    const bool convert = args.has(u"convert"_s);
    if (!convert) {
        if (args.has(u"codec"_s))
            return badUsage(u"--codec 只用于 --convert"_s);
        Result result;
        std::vector<Entry> files;
        for (const QString& path : args.operands)
            files.push_back({path, notAFile(path)});
        inspect(files, context, result);
        return result;
    }
    // Without a codec each tag is read in the code page detected for it.
    std::optional<platform::LegacyCodePage> codePage;
    const QString codec = args.value(u"codec"_s);
    if (args.has(u"codec"_s) && codec != u"auto"_s) {
        codePage = platform::codePageFromName(codec);
        if (!codePage)
            return badUsage(u"未知的代码页 "_s + codec + u" (auto, gbk, big5, cp1252)"_s);
    }
    Result result;
    convertFiles(distinctFiles(args.operands), codePage, context, result);
    return result;
}

} // namespace

std::vector<Command> encodingCommands()
{
    return {
        {u"encoding"_s,
         u"[--convert [--codec=auto|gbk|big5|cp1252]] 文件..."_s,
         u"检查或转换标签的编码 (inspect or convert legacy tag texts)"_s,
         u"列出每个文件中不是 Unicode 且不只是 ASCII 的文字: 字段, 检测到的代码页, 按它读出的\n"
         u"文字. --convert 将这些文字转换为 Unicode (ID3v1 为 GBK); --codec 指定读取的代码页,\n"
         u"auto (默认) 为每个标签检测到的. 转换的所有文件为操作历史中的一步.\n"
         u"--json: [{\"file\", \"ok\", \"texts\": [{\"field\", \"code_page\", \"text\", "
         u"\"bytes\"}]}];\n"
         u"--convert --json: [{\"file\", \"ok\", \"outcome\" 或 \"error\"}].\n"_s,
         {{u"convert"_s, {}, false, {}, u"转换为 Unicode (convert to Unicode)"_s},
          {u"codec"_s,
           {},
           true,
           u"auto|gbk|big5|cp1252"_s,
           u"读取旧文字的代码页 (the code page to read them in)"_s}},
         &runEncoding},
    };
}

} // namespace cli
