#include "operations/PageSave.h"

#include "operations/TagBatch.h"

using namespace Qt::StringLiterals;

namespace operations {

PreparedSave prepareSave(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority,
                         const QString& path, const PropertyValues& page, const TextRules& rules)
{
    if (!priority)
        return {path, std::nullopt, u"显示优先级无效"_s};
    return prepareProperties(v1, v2, *priority, path, page, rules);
}

SaveRun runSave(Journal* journal, PreparedSave prepared)
{
    SaveRun run;
    run.file.file = prepared.path;
    TagBatch batch(journal, StepKind::Save, [&run](std::size_t, const Outcome& outcome) {
        run.file.succeeded = outcome.succeeded;
        run.file.reason = outcome.message;
    });
    if (prepared.change)
        batch.add(std::move(*prepared.change));
    else
        batch.fail(std::move(prepared.reason));
    batch.finish();
    run.problems = batch.problems();
    return run;
}

} // namespace operations
