#include "cli/TagStep.h"

#include "cli/Context.h"
#include "cli/Output.h"
#include "cli/Progress.h"

#include "operations/TagWrites.h"
#include "platform/NativePath.h"

#include <map>

using namespace Qt::StringLiterals;

namespace cli {

std::int64_t runTagCommand(const std::vector<Entry>& files, const operations::TagCommand& command,
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
                                         said[i] =
                                             saidOf(platform::AbsolutePath(files[i].path), change);
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
    return run.step;
}

} // namespace cli
