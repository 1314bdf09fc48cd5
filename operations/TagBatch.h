#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "tags/TagImage.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <future>
#include <optional>
#include <vector>

namespace operations {

// The tag changes of one command, taken a file at a time and written in
// slices as one step: each slice's old images are stored with one durable
// commit of the journal, then its files are written, so memory follows the
// slice and not the folder, and the first files are written while the last
// are still read. Without a journal (it could not be opened, or failed) the
// files go through staged copies. Each file is reported in the order it was
// given, once its slice is written. A slice's files are written by a thread
// of their own while the next slice is made and journaled: a file is read
// while another is written, on two cores.
class TagBatch {
public:
    using AfterFile = std::function<void(std::size_t index, const Outcome& outcome)>;

    // A slice ends at whichever comes first.
    struct Limits {
        std::size_t files = 256;
        std::size_t bytes = 4 * 1024 * 1024; // of the old and new tag images
    };

    TagBatch(Journal* journal, StepKind kind, AfterFile afterFile);
    TagBatch(Journal* journal, StepKind kind, AfterFile afterFile, Limits limits);
    TagBatch(const TagBatch&) = delete;
    TagBatch& operator=(const TagBatch&) = delete;
    // Waits for a slice still being written; its files go unreported.
    ~TagBatch();

    // Takes a file's change; its index in the callbacks. A change that
    // changes nothing is written as nothing, with success.
    std::size_t add(tags::TagChange change);
    // Takes a file that cannot be changed: reported as failed, in its turn.
    std::size_t fail(QString reason);
    // Writes and reports every file given so far; the step goes on.
    void drain();
    // Writes what is left and ends the step. Nothing is thrown: an error of
    // the system is a failed file.
    void finish();

    // Why the journal could not record the step (or a slice of it); empty
    // when it could.
    const QString& journalProblem() const { return journalProblem_; }
    // What both heads say of the step after the write (see stepProblems).
    std::vector<QString> problems() const;
    // How many files were changed on disk.
    std::size_t written() const { return written_; }
    std::size_t size() const { return next_; }
    // The step the last finish ended (it may have gone: nothing was
    // written); 0 when none was begun.
    std::int64_t step() const { return endedStep_; }

private:
    struct Queued {
        std::optional<tags::TagChange> change;
        QString reason; // without a change
    };
    // A slice handed to its writer.
    struct Slice {
        std::vector<Queued> files;
        bool journaled = false;
        std::vector<tags::WriteOutcome> outcomes; // of each file, once written
    };
    static void writeFiles(Slice& slice);
    // Journals the files queued and starts writing them.
    void writeSlice();
    // Waits for the slice being written and reports its files.
    void reportSlice();

    Journal* journal_;
    StepKind kind_;
    AfterFile afterFile_;
    Limits limits_;
    std::vector<Queued> queued_;
    std::size_t queuedBytes_ = 0;
    std::size_t next_ = 0;     // the index of the next file given
    std::size_t reported_ = 0; // the index of the first queued file
    std::int64_t step_ = 0;
    std::int64_t endedStep_ = 0;
    bool journalFailed_ = false;
    std::vector<FileWrite> writes_; // of every journaled file so far, in order
    QString journalProblem_;
    std::size_t written_ = 0;
    // The slice being written: the writer's alone until writing_ is done.
    Slice inFlight_;
    bool inFlightPending_ = false; // handed to the writer, not reported yet
    // Last: destroyed first, it waits for its writer.
    std::future<void> writing_;
};

// What both heads say of a tag step once it is written: why the journal
// could not record it, and that files were changed all the same but cannot be
// taken back (also when there was no journal); none when all is well.
std::vector<QString> stepProblems(const Journal* journal, const QString& journalProblem,
                                  std::size_t written);

} // namespace operations
