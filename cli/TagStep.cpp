#include "cli/TagStep.h"

#include "cli/Context.h"
#include "cli/Output.h"
#include "cli/Progress.h"

#include "operations/TagWrites.h"
#include "platform/NativePath.h"

#include <map>

using namespace Qt::StringLiterals;

namespace cli {

void runTagCommand(const std::vector<Entry>& files, const operations::TagCommand& command,
                   const QString& succeeded, const Details& details, Context& context,
                   Result& result, const SaidOf& saidOf)
{
    Progress progress(u"正在处理"_s, files.size());
    std::vector<operations::TagPlan> plans;
    plans.reserve(files.size());
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.update(i);
        if (files[i].error)
            plans.push_back({files[i].path, true, false, *files[i].error, {}});
        else
            plans.push_back(command.prepare(platform::AbsolutePath(files[i].path)));
    }
    std::map<std::size_t, QString> said; // by file, once its change is made
    const auto report = [&](std::size_t i, const operations::FileOutcome& outcome) {
        QJsonObject object = context.fileObject(files[i].path);
        // Nothing to do is said, as a change would be, and is no failure.
        const bool done = outcome.succeeded || !plans[i].due;
        object[u"ok"_s] = done;
        if (done) {
            const QString text = !plans[i].due      ? outcome.reason
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
            const QJsonObject more = details(plans[i].file);
            for (auto it = more.begin(); it != more.end(); ++it)
                object[it.key()] = it.value();
        }
        result.json.append(object);
    };
    const auto run = command.run(context.journal(result), plans, report,
                                 [&](std::size_t i, const tags::TagChange& change) {
                                     if (saidOf)
                                         said[i] = saidOf(plans[i].file, change);
                                 });
    for (const QString& problem : run.problems)
        result.warn(problem);
    context.flushJournal(result);
    if (run.stopped)
        std::rethrow_exception(run.stopped);
}

} // namespace cli
