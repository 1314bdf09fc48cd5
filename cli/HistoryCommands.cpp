// history, undo and redo: the journal the window keeps, walked the same way.

#include "cli/Commands.h"
#include "cli/Context.h"

#include "operations/History.h"

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

// One step turned: a row for people, an object per file for scripts.
void turnOne(operations::History& history, std::int64_t step, bool toDone, Context& context,
             Result& result)
{
    const operations::TurnOutcome outcome = toDone ? history.redo() : history.undo();
    for (const operations::FileOutcome& file : outcome.files) {
        QJsonObject object = context.fileObject(file.file);
        object[u"step"_s] = qint64(step);
        object[u"ok"_s] = file.succeeded;
        if (!file.succeeded) {
            object[u"error"_s] = file.reason;
            result.fail(file.file, file.reason);
        }
        result.json.append(object);
    }
    // What no file explains: an error of the journal.
    if (!outcome.error.isEmpty()) {
        result.warn(outcome.error);
        result.status = SomeFailed;
    }
    // A step of which no file could be turned was not turned: never shown
    // as done.
    const bool none = outcome.turned == 0;
    if (none && outcome.refused == 0 && outcome.error.isEmpty())
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
        turnOne(history, step, toDone, context, result);
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
