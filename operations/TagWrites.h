#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "tags/TagImage.h"

#include <QString>

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TID3v1;
class TID3v2;

namespace operations {

// The tag changes of one command, written together as one step. With a
// journal every file's old bytes are stored with one durable commit before
// any is overwritten, and a tag that fits its old room is written in place;
// without one (it could not be opened) every file goes through a staged copy.
class TagWrites {
public:
    TagWrites(Journal* journal, StepKind kind);

    // Queues a change; its index in the callbacks. A change that changes
    // nothing is written as nothing, with success.
    std::size_t add(tags::TagChange change);
    std::size_t size() const { return changes_.size(); }

    // Writes every queued change in order, calling afterFile after each.
    // Nothing is thrown: an error of the system is a failed file.
    void write(const std::function<void(std::size_t index, const Outcome& outcome)>& afterFile);

    // Why the journal could not record the step (the files were still
    // written, through copies, but the step cannot be undone); empty when
    // it could.
    const QString& journalProblem() const { return journalProblem_; }
    // What both heads say of the step after the write: why the journal could
    // not record it, and that files were changed all the same but cannot be
    // taken back (also when there was no journal); none when all is well.
    std::vector<QString> problems() const;
    // How many files the last write changed on disk (a change that changes
    // nothing is not counted).
    std::size_t written() const { return written_; }

private:
    Journal* journal_;
    StepKind kind_;
    std::vector<tags::TagChange> changes_;
    QString journalProblem_;
    std::size_t written_ = 0;
};

// The change that writes the tags of the objects given (either may be null:
// that version stays as it is) into the file. nullopt when the file cannot
// be read, or the ID3v2 tag cannot be rewritten without losing a frame;
// `reason` then says why.
std::optional<tags::TagChange> tagChange(const std::string& file, const TID3v1* v1,
                                         const TID3v2* v2, QString* reason = nullptr);
// The same onto a change begun already (tags::beginChange), whose image the
// objects were read from: false, with `reason`, where tagChange gives nullopt.
bool renderTags(tags::TagChange& change, const TID3v1* v1, const TID3v2* v2,
                QString* reason = nullptr);

// Writes one change as a step of its own.
Outcome writeOne(Journal* journal, StepKind kind, tags::TagChange change);

// Why a write of the file could not be made, as far as the file and its
// folder tell ("文件不存在", "文件只读", "文件夹只读", "写入失败").
QString failureReason(const QString& path);

} // namespace operations
