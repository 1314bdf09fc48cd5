#include "cli/TagStep.h"

#include "cli/Context.h"
#include "cli/Output.h"
#include "cli/Progress.h"

#include "operations/TagBatch.h"
#include "operations/TagWrites.h"
#include "platform/NativePath.h"

#include <deque>
#include <map>

using namespace Qt::StringLiterals;

namespace cli {

Prepared preparedFields(operations::FieldChange change, const QString& path)
{
    Prepared prepared;
    prepared.change = std::move(change.change);
    if (prepared.change)
        prepared.outcome = u"已修改"_s;
    else
        prepared.error = change.reason.isEmpty() ? operations::failureReason(path) : change.reason;
    return prepared;
}

void writeTagStep(const std::vector<Entry>& files, operations::StepKind kind,
                  const Prepare& prepare, Context& context, Result& result)
{
    Progress progress(u"正在处理"_s, files.size());
    // Each file is reported once its slice is written, in the given order.
    const auto report = [&](std::size_t i, const Prepared& file) {
        QJsonObject object = context.fileObject(files[i].path);
        object[u"ok"_s] = !file.error;
        if (file.error) {
            object[u"error"_s] = *file.error;
            result.fail(files[i].path, *file.error);
        } else {
            object[u"outcome"_s] = file.outcome;
            result.rows.push_back({pathCell(files[i].path), textCell(file.outcome)});
        }
        for (auto it = file.details.begin(); it != file.details.end(); ++it)
            object[it.key()] = it.value();
        result.json.append(object);
    };
    // What is said of the files not yet reported: only the text, never the
    // images.
    struct Waiting {
        Prepared file;
        bool changing = false; // its outcome is the write's
    };
    std::deque<Waiting> waiting;
    operations::TagBatch batch(context.journal(result), kind,
                               [&](std::size_t index, const operations::Outcome& outcome) {
                                   Waiting file = std::move(waiting.front());
                                   waiting.pop_front();
                                   if (file.changing && !outcome.succeeded)
                                       file.file.error = outcome.message;
                                   report(index, file.file);
                               });
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.update(i);
        Prepared prepared;
        if (files[i].error)
            prepared.error = files[i].error;
        else
            prepared = prepare(platform::AbsolutePath(files[i].path));
        std::optional<tags::TagChange> change = std::move(prepared.change);
        prepared.change.reset();
        waiting.push_back({std::move(prepared), change.has_value()});
        // A file without a change keeps what its preparation said of it.
        if (change)
            batch.add(std::move(*change));
        else
            batch.fail({});
    }
    batch.finish();
    // What was done and what was not, when the journal could not keep it.
    for (const QString& problem : batch.problems())
        result.warn(problem);
    context.flushJournal(result);
}

void runTagCommand(const std::vector<Entry>& files, const operations::TagCommand& command,
                   const QString& succeeded, const Details& details, Context& context,
                   Result& result, const SaidOf& saidOf)
{
    Progress progress(u"正在处理"_s, files.size());
    std::map<std::size_t, QString> said; // by file, once its change is made
    const auto report = [&](std::size_t i, const operations::TagPlan& plan,
                            const operations::FileOutcome& outcome) {
        QJsonObject object = context.fileObject(files[i].path);
        // Nothing to do is said, as a change would be, and is no failure.
        const bool done = outcome.succeeded || !plan.due;
        object[u"ok"_s] = done;
        if (done) {
            const QString text = !plan.due          ? outcome.reason
                                 : said.contains(i) ? said[i]
                                                    : succeeded;
            object[u"outcome"_s] = text;
            result.rows.push_back({pathCell(files[i].path), textCell(text)});
        } else {
            object[u"error"_s] = outcome.reason;
            result.fail(files[i].path, outcome.reason);
        }
        said.erase(i);
        if (details && !files[i].error) {
            const QJsonObject more = details(plan.file);
            for (auto it = more.begin(); it != more.end(); ++it)
                object[it.key()] = it.value();
        }
        result.json.append(object);
    };
    operations::TagRunner runner(command, context.journal(result), report,
                                 [&](std::size_t i, const tags::TagChange& change) {
                                     if (saidOf)
                                         said[i] = saidOf(change);
                                 });
    std::exception_ptr stopped;
    try {
        // Each file is made as it is reached, and written with its slice.
        for (std::size_t i = 0; i < files.size(); ++i) {
            progress.update(i);
            if (files[i].error)
                runner.refuse(files[i].path, *files[i].error);
            else
                runner.add(platform::AbsolutePath(files[i].path));
        }
    } catch (...) {
        // The files before it are still written, and the step ended.
        stopped = std::current_exception();
    }
    auto run = runner.finish();
    if (!run.stopped)
        run.stopped = stopped;
    for (const QString& problem : run.problems)
        result.warn(problem);
    context.flushJournal(result);
    if (run.stopped)
        std::rethrow_exception(run.stopped);
}

} // namespace cli
