#include "operations/TagCommand.h"

#include "platform/NativePath.h"

#include <sys/stat.h>
#include <xxhash.h>

#include <cstdint>
#include <memory>
#include <new>
#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

// Not a cryptographic hash: it tells a change another program made, which
// no one shapes to collide, and a tag read with the page is often a cover of
// hundreds of kilobytes times thousands of files.
QByteArray tagDigest(const tags::TagImage& image)
{
    const std::unique_ptr<XXH3_state_t, decltype(&XXH3_freeState)> state(XXH3_createState(),
                                                                         &XXH3_freeState);
    if (!state)
        throw std::bad_alloc();
    XXH3_128bits_reset(state.get());
    const std::uint64_t sizes[] = {image.size, image.head.size()};
    XXH3_128bits_update(state.get(), sizes, sizeof sizes);
    XXH3_128bits_update(state.get(), image.head.data(), image.head.size());
    XXH3_128bits_update(state.get(), image.tail.data(), image.tail.size());
    XXH128_canonical_t digest;
    XXH128_canonicalFromHash(&digest, XXH3_128bits_digest(state.get()));
    return QByteArray(reinterpret_cast<const char*>(digest.digest), sizeof digest.digest);
}

TagCommand::TagCommand(StepKind kind, MakeTagChange make) : kind_(kind), make_(std::move(make)) {}

TagRunner::TagRunner(const TagCommand& command, Journal* journal, AfterFile afterFile,
                     AfterMade afterMade)
    : command_(command), afterFile_(std::move(afterFile)), afterMade_(std::move(afterMade)),
      batch_(journal, command.kind(), [this](std::size_t index, const Outcome& outcome) {
          const Waiting file = std::move(waiting_.front());
          waiting_.pop_front();
          if (file.id)
              unreported_.erase(unreported_.find(*file.id));
          afterFile_(index, file.plan, {file.plan.file, outcome.succeeded, outcome.message});
      })
{
}

// A file given again under another name while its first change is queued or
// being written waits for that write: its change is made from what it holds
// then, not refused as changed by another program.
void TagRunner::takeTurn(const QString& path)
{
    struct ::stat st {};
    std::optional<FileId> id;
    if (::stat(platform::NativePath(path).c_str(), &st) == 0)
        id = FileId(std::uint64_t(st.st_dev), std::uint64_t(st.st_ino));
    if (id && unreported_.count(*id) != 0)
        batch_.drain();
    waiting_.push_back({{path, true, false, {}}, id});
    if (id)
        unreported_.insert(*id);
}

TagPlan TagRunner::add(const QString& path)
{
    takeTurn(path);
    TagMaking made;
    try {
        made = command_.make(path);
    } catch (...) {
        // Not taken: it is neither written nor reported.
        if (waiting_.back().id)
            unreported_.erase(unreported_.find(*waiting_.back().id));
        waiting_.pop_back();
        throw;
    }
    TagPlan plan{path, made.due, made.due && made.change, std::move(made.reason)};
    waiting_.back().plan = plan;
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
    waiting_.push_back({{path, true, false, reason}, std::nullopt});
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
