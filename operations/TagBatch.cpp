#include "operations/TagBatch.h"

#include "operations/TagWrites.h"
#include "platform/FileNameCodec.h"
#include "platform/SystemError.h"

#include <cerrno>
#include <system_error>
#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

std::size_t imageBytes(const tags::TagChange& change)
{
    return change.before().head.size() + change.before().tail.size() + change.after().head.size() +
           change.after().tail.size();
}

Outcome outcomeOf(const tags::TagChange& change, const tags::WriteOutcome& outcome)
{
    switch (outcome.result) {
    case tags::WriteResult::Written:
        return {true, {}};
    case tags::WriteResult::Unchanged:
        return {false, u"文件已被其他程序修改"_s};
    case tags::WriteResult::NoRoom:
        return {false, u"磁盘已满"_s};
    case tags::WriteResult::Failed:
        break;
    }
    const QString reason =
        failureReason(platform::decodeFileName(QByteArray::fromStdString(change.path())));
    if (reason != u"写入失败"_s || outcome.error == 0)
        return {false, reason};
    return {false, reason + u": "_s + platform::SystemErrorText(outcome.error)};
}

} // namespace

TagBatch::TagBatch(Journal* journal, StepKind kind, AfterFile afterFile)
    : TagBatch(journal, kind, std::move(afterFile), Limits{})
{
}

TagBatch::TagBatch(Journal* journal, StepKind kind, AfterFile afterFile, Limits limits)
    : journal_(journal), kind_(kind), afterFile_(std::move(afterFile)), limits_(limits)
{
}

std::size_t TagBatch::add(tags::TagChange change)
{
    queuedBytes_ += imageBytes(change);
    queued_.push_back({std::move(change), {}});
    if (queued_.size() >= limits_.files || queuedBytes_ >= limits_.bytes) {
        const std::size_t index = next_++;
        writeSlice();
        return index;
    }
    return next_++;
}

std::size_t TagBatch::fail(QString reason)
{
    queued_.push_back({std::nullopt, std::move(reason)});
    return next_++;
}

TagBatch::~TagBatch()
{
    if (writing_.valid())
        writing_.wait();
}

// On the writer's thread: the tags/ writes alone, which share nothing with
// the thread that makes and journals the next slice. Nothing is thrown: the
// outcomes are sized before.
void TagBatch::writeFiles(Slice& slice)
{
    for (std::size_t i = 0; i < slice.files.size(); ++i) {
        const std::optional<tags::TagChange>& change = slice.files[i].change;
        if (!change || !change->changes())
            continue;
        // Not flushed here: the flush after the step starts every file's
        // writeback before it waits for any, off the user's wait.
        try {
            slice.outcomes[i] = slice.journaled && change->inPlace() ? tags::writeInPlace(*change)
                                                                     : tags::writeStaged(*change);
        } catch (...) {
            // Taken as torn: the step's end reads the file and puts the old
            // tags back if it holds a mix. Nothing leaves this thread.
            slice.outcomes[i] = {tags::WriteResult::Failed, ENOMEM, true};
        }
    }
}

void TagBatch::writeSlice()
{
    if (queued_.empty()) {
        reportSlice();
        return;
    }
    // Moved out for the journal and back for the writes: a slice's covers
    // are not copied.
    std::vector<tags::TagChange> changing;
    std::vector<Queued*> from;
    for (Queued& file : queued_) {
        if (file.change && file.change->changes()) {
            changing.push_back(std::move(*file.change));
            from.push_back(&file);
        }
    }
    bool journaled = false;
    if (journal_ && !journalFailed_ && !changing.empty()) {
        try {
            if (step_ == 0)
                step_ = journal_->beginWrites(kind_, changing);
            else
                journal_->addWrites(step_, changing);
            journaled = true;
        } catch (const JournalError& e) {
            // Without the old bytes on disk nothing more is written in place.
            journalFailed_ = true;
            journalProblem_ = QString::fromUtf8(e.what());
        }
    }
    for (std::size_t i = 0; i < from.size(); ++i)
        *from[i]->change = std::move(changing[i]);
    changing.clear();
    // The slice before is reported first: the files stay in their order.
    reportSlice();
    inFlight_ = {std::move(queued_), journaled, {}};
    inFlight_.outcomes.resize(inFlight_.files.size());
    inFlightPending_ = true;
    queued_.clear();
    queuedBytes_ = 0;
    try {
        writing_ = std::async(std::launch::async, [this] { writeFiles(inFlight_); });
    } catch (const std::system_error&) {
        writeFiles(inFlight_); // no thread to be had: written here
    }
}

void TagBatch::reportSlice()
{
    if (!inFlightPending_)
        return;
    if (writing_.valid())
        writing_.get();
    inFlightPending_ = false;
    Slice slice = std::move(inFlight_);
    inFlight_ = {};
    // The journal's account first, so that it stays in the order of its
    // rows whatever a report does.
    for (std::size_t i = 0; i < slice.files.size(); ++i) {
        const std::optional<tags::TagChange>& change = slice.files[i].change;
        if (!change || !change->changes())
            continue;
        const tags::WriteOutcome& outcome = slice.outcomes[i];
        written_ += outcome.written() ? 1 : 0;
        if (slice.journaled)
            writes_.push_back(outcome.written() ? FileWrite::Written
                              : outcome.started ? FileWrite::Torn
                                                : FileWrite::NotStarted);
    }
    for (std::size_t i = 0; i < slice.files.size(); ++i) {
        Queued& file = slice.files[i];
        const std::size_t index = reported_++;
        if (!file.change)
            afterFile_(index, {false, file.reason});
        else if (!file.change->changes())
            afterFile_(index, {true, {}});
        else
            afterFile_(index, outcomeOf(*file.change, slice.outcomes[i]));
        // The images go as soon as the file is reported.
        file.change.reset();
    }
}

void TagBatch::drain()
{
    writeSlice();
    reportSlice();
}

void TagBatch::finish()
{
    drain();
    endedStep_ = step_;
    if (step_ != 0) {
        try {
            journal_->endWrites(step_, writes_);
        } catch (const JournalError&) {
            // The step stays open: the next start checks its files again.
        }
        step_ = 0;
    }
    writes_.clear();
}

std::vector<QString> TagBatch::problems() const
{
    return stepProblems(journal_, journalProblem_, written_);
}

std::vector<QString> stepProblems(const Journal* journal, const QString& journalProblem,
                                  std::size_t written)
{
    std::vector<QString> said;
    if (!journalProblem.isEmpty())
        said.push_back(u"操作历史无法记录: "_s + journalProblem);
    if (written > 0 && (!journal || !journalProblem.isEmpty()))
        said.push_back(u"文件已照常修改, 但这次修改无法撤销"_s);
    return said;
}

} // namespace operations
