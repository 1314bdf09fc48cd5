// frames: every frame of a file's tags, as the window's frame list shows them.

#include "cli/Commands.h"
#include "cli/Context.h"
#include "cli/FileArgs.h"

#include "operations/FrameFields.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// The bytes of a frame we cannot show, as the table has room for.
constexpr qsizetype kHexShown = 16;

QString rowText(const operations::TagRow& row)
{
    if (!row.shown) {
        const QByteArray hex = row.data.left(kHexShown).toHex(' ');
        return QString::fromLatin1(hex) + (row.data.size() > kHexShown ? u" …"_s : QString());
    }
    QString text = row.text;
    text.replace(u"\r\n"_s, u" / "_s);
    text.replace(u'\n', u" / "_s);
    text.replace(u'\r', u" / "_s);
    return row.description.isEmpty() ? text : row.description + u": "_s + text;
}

QJsonObject rowObject(const operations::TagRow& row)
{
    QJsonObject object{{u"tag"_s, row.tag}, {u"id"_s, row.id}, {u"size"_s, qint64(row.size)}};
    if (!row.name.isEmpty())
        object[u"name"_s] = row.name;
    if (!row.description.isEmpty())
        object[u"description"_s] = row.description;
    if (!row.language.isEmpty())
        object[u"language"_s] = row.language;
    if (row.shown)
        object[u"text"_s] = row.text;
    else
        object[u"hex"_s] = QString::fromLatin1(row.data.toHex());
    return object;
}

Result runFrames(const ParsedArgs& args, Context& context)
{
    if (args.operands.empty())
        return badUsage(u"缺少文件"_s);
    if (args.operands.size() > 1)
        return badUsage(u"只能列出一个文件的帧"_s);
    const QString& path = args.operands.front();
    Result result;
    if (const auto error = notAFile(path)) {
        result.fail(path, *error);
        return result;
    }
    TID3v1 v1;
    TID3v2 v2;
    const auto rows = operations::readTagRows(v1, v2, path, context.textRules());
    if (!rows) {
        result.fail(path, systemError());
        return result;
    }
    for (const operations::TagRow& row : *rows) {
        result.rows.push_back({textCell(row.tag), textCell(row.id), textCell(row.name),
                               textCell(QString::number(row.size)), textCell(rowText(row))});
        result.json.append(rowObject(row));
    }
    return result;
}

} // namespace

std::vector<Command> frameCommands()
{
    return {
        {u"frames"_s,
         u"文件"_s,
         u"列出文件的全部帧 (list every frame of a file)"_s,
         u"每帧一行: 标签, ID, 名称, 字节数, 文字或摘要 (如 \"封面, JPEG 800×800, 217 KB\"),\n"
         u"按标签中的顺序; 无法显示的帧给出其开头的字节 (十六进制). ID3v1 的字段和 APEv2\n"
         u"标签的项目各占一行.\n"
         u"--json: [{\"tag\", \"id\", \"name\", \"size\", \"text\" 或 \"hex\", \"description\",\n"
         u"\"language\"}]; \"hex\" 为无法显示的帧的全部字节.\n"_s,
         {},
         &runFrames},
    };
}

} // namespace cli
