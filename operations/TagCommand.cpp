#include "operations/TagCommand.h"

#include "operations/TagBatch.h"

#include <QCryptographicHash>

#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

QByteArray tagDigest(const tags::TagImage& image)
{
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const std::uint64_t size = image.size;
    const std::uint64_t headSize = image.head.size();
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&size), sizeof size));
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(&headSize), sizeof headSize));
    hash.addData(QByteArrayView(image.head.data(), qsizetype(image.head.size())));
    hash.addData(QByteArrayView(image.tail.data(), qsizetype(image.tail.size())));
    return hash.result();
}

TagCommand::TagCommand(StepKind kind, MakeTagChange make) : kind_(kind), make_(std::move(make)) {}

TagPlan TagCommand::prepare(const QString& path) const
{
    TagMaking made = make_(path);
    TagPlan plan;
    plan.file = path;
    plan.due = made.due;
    plan.reason = std::move(made.reason);
    if (made.due && made.change) {
        plan.ready = true;
        plan.seen = tagDigest(made.change->before());
    }
    return plan;
}

TagRun TagCommand::run(Journal* journal, const std::vector<TagPlan>& plans,
                       const AfterFile& afterFile, const AfterMade& afterMade) const
{
    TagBatch batch(journal, kind_, [&](std::size_t index, const Outcome& outcome) {
        afterFile(index, {plans[index].file, outcome.succeeded, outcome.message});
    });
    TagRun result;
    try {
        for (std::size_t i = 0; i < plans.size(); ++i) {
            const TagPlan& plan = plans[i];
            if (!plan.ready) {
                batch.fail(plan.reason);
                continue;
            }
            TagMaking made = make_(plan.file);
            // Due when prepared and not now (it holds what it was to be
            // given, say): another program wrote it in between.
            if (!made.due || !made.change) {
                batch.fail(made.reason.isEmpty() || !made.due ? u"文件已被其他程序修改"_s
                                                              : made.reason);
                continue;
            }
            // Another program wrote the file since it was prepared: what the
            // user saw is no longer what would be replaced.
            if (tagDigest(made.change->before()) != plan.seen) {
                batch.fail(u"文件已被其他程序修改"_s);
                continue;
            }
            if (afterMade)
                afterMade(i, *made.change);
            batch.add(std::move(*made.change));
        }
    } catch (...) {
        // The slices written already are part of the step: the rest of it is
        // written and the step ended, also after a stop.
        result.stopped = std::current_exception();
    }
    batch.finish();
    result.written = batch.written();
    result.problems = batch.problems();
    return result;
}

} // namespace operations
