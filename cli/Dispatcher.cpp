#include "cli/Dispatcher.h"

#include "cli/Commands.h"
#include "cli/Context.h"

#include <QJsonDocument>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

QString program()
{
    return u"mp3tagloom-cli"_s;
}

// Every command, in the order the help lists them.
std::vector<Command> allCommands()
{
    std::vector<Command> commands;
    for (auto* group :
         {&tagCommands, &frameCommands, &lyricsCommands, &coverCommands, &sourceCommands,
          &nameCommands, &toolCommands, &encodingCommands, &historyCommands}) {
        for (Command& command : group())
            commands.push_back(std::move(command));
    }
    return commands;
}

std::vector<OptionDef> commonOptions()
{
    return {{u"json"_s, {}, false, {}, u"输出一个 JSON 文档 (print one JSON document)"_s},
            {u"help"_s, u'h', false, {}, u"显示此帮助 (show this help)"_s}};
}

QString optionLines(const std::vector<OptionDef>& options)
{
    QStringList lines;
    for (const OptionDef& option : options) {
        QString names = option.shortName.isNull() ? u"    "_s : u"-"_s + option.shortName + u", "_s;
        names += u"--"_s + option.longName;
        if (option.takesValue)
            names += u'=' + option.valueName;
        lines.append(u"  "_s + names.leftJustified(32) + u' ' + option.help);
    }
    return lines.join(u'\n') + u'\n';
}

QString programHelp(const std::vector<Command>& commands)
{
    QString help = u"用法 (usage): "_s + program() +
                   u" [--json] 命令 [选项] [参数...]\n"
                   u"Mp3Tagloom 的命令行: 读写 MP3 文件的标签, 与窗口共用设置和操作历史.\n\n"
                   u"命令 (commands):\n"_s;
    for (const Command& command : commands)
        help += u"  "_s + command.name.leftJustified(11) + command.summary + u'\n';
    std::vector<OptionDef> options = commonOptions();
    options.push_back({u"version"_s, {}, false, {}, u"显示版本 (show the version)"_s});
    help += u"\n选项 (options):\n"_s + optionLines(options) +
            u"\n退出状态 (exit status): 0 全部成功, 1 有文件失败, 2 用法错误.\n"_s + u"详见 "_s +
            program() + u" 命令 --help.\n"_s;
    return help;
}

QString commandHelp(const Command& command)
{
    std::vector<OptionDef> options = command.options;
    for (OptionDef& option : commonOptions())
        options.push_back(std::move(option));
    return u"用法 (usage): "_s + program() + u' ' + command.name + u' ' + command.synopsis +
           u"\n"_s + command.summary + u"\n\n"_s + command.details + u"\n选项 (options):\n"_s +
           optionLines(options);
}

Answer usageError(const QString& why, const QString& command = {})
{
    const QString hint =
        command.isEmpty() ? program() + u" --help"_s : program() + u' ' + command + u" --help"_s;
    return {BadUsage, {}, (program() + u": "_s + why + u"\n详见 "_s + hint + u'\n').toUtf8()};
}

Answer answerOf(const Result& result, bool json, const QString& command)
{
    if (result.status == BadUsage)
        return usageError(
            result.errors.empty() ? QString() : QString::fromUtf8(result.errors.front()), command);
    Answer answer{result.status, {}, {}};
    answer.out = json ? QJsonDocument(result.json).toJson(QJsonDocument::Indented)
                      : formatTable(result.rows);
    for (const QByteArray& line : result.errors)
        answer.err += program().toUtf8() + ": " + line + '\n';
    return answer;
}

Answer runCommand(const Command& command, const std::vector<QString>& args, bool json)
{
    std::vector<OptionDef> known = command.options;
    for (OptionDef& option : commonOptions())
        known.push_back(std::move(option));
    const ParsedArgs parsed = parseArgs(args, known);
    if (!parsed.error.isEmpty())
        return usageError(parsed.error, command.name);
    if (parsed.has(u"help"_s))
        return {AllDone, commandHelp(command).toUtf8(), {}};
    try {
        Context context;
        return answerOf(command.run(parsed, context), json || parsed.has(u"json"_s), command.name);
    } catch (const std::exception& e) {
        // A damaged settings file or journal ends the run with its reason.
        return {
            SomeFailed, {}, (program() + u": "_s + QString::fromUtf8(e.what()) + u'\n').toUtf8()};
    }
}

} // namespace

Result badUsage(const QString& why)
{
    Result result;
    result.status = BadUsage;
    result.errors.push_back(why.toUtf8());
    return result;
}

Answer runCommandLine(const std::vector<QString>& args)
{
    const std::vector<Command> commands = allCommands();
    bool json = false;
    std::size_t i = 0;
    for (; i < args.size() && args[i].startsWith(u'-'); ++i) {
        if (args[i] == u"--help"_s || args[i] == u"-h"_s)
            return {AllDone, programHelp(commands).toUtf8(), {}};
        if (args[i] == u"--version"_s)
            return {AllDone, (program() + u" 1.0\n"_s).toUtf8(), {}};
        if (args[i] != u"--json"_s)
            return usageError(u"未知的选项 "_s + args[i]);
        json = true;
    }
    if (i == args.size())
        return usageError(u"缺少命令"_s);
    const auto command = std::find_if(commands.begin(), commands.end(),
                                      [&](const Command& c) { return c.name == args[i]; });
    if (command == commands.end())
        return usageError(u"未知的命令 "_s + args[i]);
    return runCommand(*command, {args.begin() + std::ptrdiff_t(i) + 1, args.end()}, json);
}

} // namespace cli
