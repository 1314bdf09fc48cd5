// history, undo and redo: the journal the window keeps, walked the same way.

#include "cli/Commands.h"
#include "cli/Context.h"

#include "operations/History.h"
#include "platform/FileNameCodec.h"

#include <QDateTime>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

// As the window's history dialog says it.
QString stateText(const operations::StepInfo& step)
{
    if (step.undone)
        return step.done == 0 ? u"已撤销"_s : u"部分撤销"_s;
    return step.done < step.files ? u"部分撤销"_s : QString();
}

operations::Journal* openJournal(Context& context, Result& result)
{
    operations::Journal* journal = context.journal(result);
    if (!journal)
        result.status = SomeFailed;
    return journal;
}

Result runHistory(const ParsedArgs& args, Context& context)
{
    if (!args.operands.empty())
        return badUsage(u"多余的参数 "_s + args.operands.front());
    Result result;
    const operations::Journal* journal = openJournal(context, result);
    if (!journal)
        return result;
    for (const operations::StepInfo& step : journal->steps()) {
        const QString time =
            QDateTime::fromSecsSinceEpoch(step.time).toString(u"yyyy-MM-dd HH:mm:ss"_s);
        result.json.append(QJsonObject{{u"id"_s, qint64(step.id)},
                                       {u"time"_s, qint64(step.time)},
                                       {u"name"_s, operations::stepName(step.kind)},
                                       {u"files"_s, step.files},
                                       {u"done"_s, step.done},
                                       {u"undone"_s, step.undone},
                                       {u"state"_s, stateText(step)}});
        result.rows.push_back({textCell(QString::number(step.id)), textCell(time),
                               textCell(operations::stepName(step.kind)),
                               textCell(QString::number(step.files)), textCell(stateText(step))});
    }
    return result;
}

// Where the item is: a tag file stays; a moved item is at its old place
// while the step is undone, at its new one while it is done.
QString placeOf(const operations::StepFile& file, bool done)
{
    const std::string& native = !file.tags.path().empty()
                                    ? file.tags.path()
                                    : (done || file.from.empty() ? file.to : file.from);
    return platform::decodeFileName(QByteArray::fromStdString(native));
}

// The reason History gave for a file it left alone: its line, less the name.
QString reasonFor(const operations::StepFile& file, std::vector<QString>& lines,
                  platform::LegacyDetector& detector)
{
    for (const std::string* native : {&file.tags.path(), &file.from, &file.to}) {
        if (native->empty())
            continue;
        const QString prefix =
            platform::shownFileName(QByteArray::fromStdString(*native), detector) + u": "_s;
        for (auto line = lines.begin(); line != lines.end(); ++line) {
            if (line->startsWith(prefix)) {
                const QString reason = line->mid(prefix.size());
                lines.erase(line);
                return reason;
            }
        }
    }
    return u"未能完成"_s;
}

// One step turned: a row for people, an object per file for scripts.
void turnOne(operations::Journal& journal, operations::History& history, std::int64_t step,
             bool toDone, Context& context, Result& result)
{
    const std::vector<operations::StepFile> before = journal.files(step);
    operations::TurnOutcome outcome = toDone ? history.redo() : history.undo();
    const std::vector<operations::StepFile> after = journal.files(step);
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (before[i].done == toDone)
            continue; // already on the side the turn leads to
        const bool ok = i < after.size() && after[i].done == toDone;
        const QString path = placeOf(ok ? after[i] : before[i], ok == toDone);
        QJsonObject object = context.fileObject(path);
        object[u"step"_s] = qint64(step);
        object[u"ok"_s] = ok;
        if (!ok) {
            const QString why = reasonFor(before[i], outcome.lines, context.detector());
            object[u"error"_s] = why;
            result.fail(path, why);
        }
        result.json.append(object);
    }
    // What no file explains: an error of the journal.
    for (const QString& line : outcome.lines) {
        result.warn(line);
        result.status = SomeFailed;
    }
    // A step of which no file could be turned was not turned: never shown
    // as done.
    const bool none = outcome.turned == 0;
    if (none && outcome.refused == 0 && outcome.lines.empty())
        result.warn(toDone ? u"该操作没有可重做的文件"_s : u"该操作没有可撤销的文件"_s);
    if (none)
        result.status = SomeFailed;
    const QString done = toDone ? u"已重做"_s : u"已撤销"_s;
    const QString notDone = toDone ? u"未重做"_s : u"未撤销"_s;
    result.rows.push_back(
        {textCell(none ? notDone : done), textCell(outcome.step),
         textCell(u"%1/%2 个文件"_s.arg(outcome.turned).arg(outcome.turned + outcome.refused))});
}

Result turnSteps(const ParsedArgs& args, Context& context, bool toDone)
{
    if (args.operands.size() > 1)
        return badUsage(u"多余的参数 "_s + args.operands[1]);
    int times = 1;
    if (!args.operands.empty()) {
        bool number = false;
        times = args.operands.front().toInt(&number);
        if (!number || times < 1)
            return badUsage(u"次数应为正整数: "_s + args.operands.front());
    }
    Result result;
    operations::Journal* journal = openJournal(context, result);
    if (!journal)
        return result;
    operations::History history(*journal);
    for (int i = 0; i < times; ++i) {
        const std::int64_t step = toDone ? history.nextRedo() : history.nextUndo();
        if (step == 0) {
            result.warn(toDone ? u"没有可重做的操作"_s : u"没有可撤销的操作"_s);
            result.status = SomeFailed;
            break;
        }
        turnOne(*journal, history, step, toDone, context, result);
    }
    return result;
}

Result runUndo(const ParsedArgs& args, Context& context)
{
    return turnSteps(args, context, false);
}

Result runRedo(const ParsedArgs& args, Context& context)
{
    return turnSteps(args, context, true);
}

} // namespace

std::vector<Command> historyCommands()
{
    return {
        {u"history"_s,
         QString(),
         u"列出操作历史 (list the steps of the history)"_s,
         u"与窗口的 \"操作历史\" 相同, 最新的在前: 编号, 时间, 操作, 文件数, 状态.\n"
         u"--json: [{\"id\", \"time\" (自 1970 年起的秒数), \"name\", \"files\", \"done\", "
         u"\"undone\", \"state\"}].\n"_s,
         {},
         &runHistory},
        {u"undo"_s,
         u"[次数]"_s,
         u"撤销最新的操作 (undo the newest step)"_s,
         u"撤销最新的一步, 给出次数时重复. 之后被其他程序修改过的文件不会被撤销.\n"
         u"--json: [{\"file\", \"step\", \"ok\", \"error\"}].\n"_s,
         {},
         &runUndo},
        {u"redo"_s,
         u"[次数]"_s,
         u"重做最近撤销的操作 (redo the latest undone step)"_s,
         u"重做最近撤销的一步, 给出次数时重复.\n"
         u"--json: [{\"file\", \"step\", \"ok\", \"error\"}].\n"_s,
         {},
         &runRedo},
    };
}

} // namespace cli
