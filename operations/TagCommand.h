#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "tags/TagImage.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
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

// One file of a prepared tag command: what it will be given, or why not, and
// the tag bytes it held then, so that a run never writes over a change made
// in between. Only a digest is kept: a thousand covers are not held twice.
struct TagPlan {
    QString file;
    bool due = true;
    bool ready = false; // a write is due and the file can take it
    QString reason;     // not ready: why
    QByteArray seen;    // the digest of the file's tag bytes, when ready
};

// How a run ended as a whole: the files changed on disk, what the journal
// could not keep, and the error that stopped it early (rethrown by no one:
// the caller decides how to show it).
struct TagRun {
    std::size_t written = 0;
    std::vector<QString> problems;
    std::exception_ptr stopped;
};

// A change of tags over many files in two stages: prepare says for each file
// what it will get, run writes them as one step of the journal (through
// TagBatch), each file's change made again from the file and refused when
// its tags are no longer those prepare saw.
class TagCommand {
public:
    TagCommand(StepKind kind, MakeTagChange make);

    StepKind kind() const { return kind_; }
    TagPlan prepare(const QString& path) const;

    // Each file's change made ready, before its slice is written (a head
    // logs what it sets here); then each file's outcome, in the order of the
    // plans.
    using AfterMade = std::function<void(std::size_t index, const tags::TagChange& change)>;
    using AfterFile = std::function<void(std::size_t index, const FileOutcome& outcome)>;
    TagRun run(Journal* journal, const std::vector<TagPlan>& plans, const AfterFile& afterFile,
               const AfterMade& afterMade = {}) const;

private:
    StepKind kind_;
    MakeTagChange make_;
};

// The digest of the tag bytes a change starts from.
QByteArray tagDigest(const tags::TagImage& image);

} // namespace operations
