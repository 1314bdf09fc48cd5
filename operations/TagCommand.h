#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/TagBatch.h"
#include "tags/TagImage.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace operations {

// What a tag command makes of one file as it is now: the change to write,
// or why there is none.
struct TagMaking {
    std::optional<tags::TagChange> change;
    // False: the command has nothing to do for this file (it is neither
    // written nor counted); the reason may still say why.
    bool due = true;
    QString reason; // without a change: why the file cannot take it
};
using MakeTagChange = std::function<TagMaking(const QString& path)>;

// One file of a tag command, once its change is made: whether a write is
// due, and why not when it cannot be made.
struct TagPlan {
    QString file;
    bool due = true;
    bool ready = false; // a write is due and the file can take it
    QString reason;     // not ready: why
};

// How a run ended as a whole: the files changed on disk, what the journal
// could not keep, and the error that stopped it early (rethrown by no one:
// the caller decides how to show it).
struct TagRun {
    std::size_t written = 0;
    std::vector<QString> problems;
    std::exception_ptr stopped;
    std::int64_t step = 0; // the journal's (see TagBatch::step)
};

// A change of tags over many files, what each head runs through TagRunner.
class TagCommand {
public:
    TagCommand(StepKind kind, MakeTagChange make);

    StepKind kind() const { return kind_; }
    TagMaking make(const QString& path) const { return make_(path); }

private:
    StepKind kind_;
    MakeTagChange make_;
};

// One run of a tag command as one step of the journal: each file's change
// made once, when the file is given, and written in its slice (TagBatch).
// Just before its write the file is checked to hold still what the change
// was made from: a change another program made in between is refused, never
// written over. A file given again under another name (a link) is made
// once its first change is written, from what it holds then. Memory follows
// the slice, not the files.
class TagRunner {
public:
    // Each file's change made ready, before its slice is written (a head
    // logs what it sets here); then each file's plan and outcome, in the
    // order given.
    using AfterMade = std::function<void(std::size_t index, const tags::TagChange& change)>;
    using AfterFile =
        std::function<void(std::size_t index, const TagPlan& plan, const FileOutcome& outcome)>;

    TagRunner(const TagCommand& command, Journal* journal, AfterFile afterFile,
              AfterMade afterMade = {});
    TagRunner(const TagRunner&) = delete;
    TagRunner& operator=(const TagRunner&) = delete;

    // Makes the file's change and queues it; what it will be given. What the
    // making throws is thrown, the file not taken.
    TagPlan add(const QString& path);
    // A file that is not made at all: reported as failed, in its turn.
    void refuse(const QString& path, QString reason);
    // Writes what is left and ends the step; also after a stop.
    TagRun finish();

private:
    // A file as the system knows it, whatever name it is reached by.
    using FileId = std::pair<std::uint64_t, std::uint64_t>;
    struct Waiting {
        TagPlan plan;
        std::optional<FileId> id;
    };
    void takeTurn(const QString& path);

    const TagCommand& command_;
    AfterFile afterFile_;
    AfterMade afterMade_;
    std::deque<Waiting> waiting_; // the files given and not yet reported
    std::multiset<FileId> unreported_;
    TagBatch batch_;
};

// The digest of a file's tag bytes, for a command that must refuse a file
// whose tags changed since the user saw them (and keeps no copy of them).
QByteArray tagDigest(const tags::TagImage& image);

} // namespace operations
