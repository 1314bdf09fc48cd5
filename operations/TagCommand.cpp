#include "operations/TagCommand.h"

#include <QCryptographicHash>

#include <cstdint>
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

TagRunner::TagRunner(const TagCommand& command, Journal* journal, AfterFile afterFile,
                     AfterMade afterMade)
    : command_(command), afterFile_(std::move(afterFile)), afterMade_(std::move(afterMade)),
      batch_(journal, command.kind(), [this](std::size_t index, const Outcome& outcome) {
          const TagPlan plan = std::move(waiting_.front());
          waiting_.pop_front();
          afterFile_(index, plan, {plan.file, outcome.succeeded, outcome.message});
      })
{
}

TagPlan TagRunner::add(const QString& path)
{
    TagMaking made = command_.make(path);
    TagPlan plan{path, made.due, made.due && made.change, std::move(made.reason)};
    waiting_.push_back(plan);
    if (!plan.ready) {
        batch_.fail(plan.reason);
        return plan;
    }
    if (afterMade_)
        afterMade_(batch_.size(), *made.change);
    // The change is checked against the file once more by its write, which
    // refuses a file another program wrote since it was read here.
    batch_.add(std::move(*made.change));
    return plan;
}

void TagRunner::refuse(const QString& path, QString reason)
{
    waiting_.push_back({path, true, false, reason});
    batch_.fail(std::move(reason));
}

TagRun TagRunner::finish()
{
    TagRun result;
    try {
        batch_.finish();
    } catch (...) {
        result.stopped = std::current_exception();
    }
    result.written = batch_.written();
    result.step = batch_.step();
    result.problems = batch_.problems();
    return result;
}

} // namespace operations
