#include "cli/TagStep.h"

#include "cli/Context.h"
#include "cli/Output.h"
#include "cli/Progress.h"

#include "operations/TagWrites.h"
#include "platform/NativePath.h"

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
    std::vector<Prepared> prepared(files.size());
    Progress progress(u"正在处理"_s, files.size() * 2);
    operations::Journal* const journal = context.journal(result);
    operations::TagWrites writes(journal, kind);
    std::vector<std::size_t> queued; // the file of each change
    for (std::size_t i = 0; i < files.size(); ++i) {
        progress.update(i);
        if (files[i].error) {
            prepared[i].error = files[i].error;
            continue;
        }
        prepared[i] = prepare(platform::AbsolutePath(files[i].path));
        if (prepared[i].change) {
            writes.add(std::move(*prepared[i].change));
            prepared[i].change.reset();
            queued.push_back(i);
        }
    }
    writes.write([&](std::size_t index, const operations::Outcome& outcome) {
        progress.update(files.size() + index);
        if (!outcome.succeeded)
            prepared[queued[index]].error = outcome.message;
    });
    // What was done and what was not, when the journal could not keep it.
    for (const QString& problem : writes.problems())
        result.warn(problem);
    context.flushJournal(result);

    for (std::size_t i = 0; i < files.size(); ++i) {
        const Prepared& file = prepared[i];
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
    }
}

} // namespace cli
