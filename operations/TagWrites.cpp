#include "operations/TagWrites.h"

#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "platform/FileSync.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <cstring>
#include <system_error>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

QString pathOf(const std::string& native)
{
    return platform::decodeFileName(QByteArray::fromStdString(native));
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
    const QString reason = failureReason(pathOf(change.path()));
    if (reason != u"写入失败"_s || outcome.error == 0)
        return {false, reason};
    return {false, reason + u": "_s + platform::SystemErrorText(outcome.error)};
}

} // namespace

QString failureReason(const QString& path)
{
    if (!platform::FileExists(path))
        return platform::PathExists(platform::NativePath(path)) ? u"不是文件"_s : u"文件不存在"_s;
    if (platform::IsReadOnly(path))
        return u"文件只读"_s;
    if (platform::IsReadOnly(path.left(path.lastIndexOf(u'/') + 1)))
        return u"文件夹只读"_s;
    return u"写入失败"_s;
}

std::optional<tags::TagChange> tagChange(const std::string& file, const TID3v1* v1,
                                         const TID3v2* v2, QString* reason)
{
    auto change = tags::beginChange(file);
    if (!change) {
        if (reason)
            *reason = failureReason(pathOf(file));
        return std::nullopt;
    }
    if (v1)
        change->setTail(v1->Rendered());
    if (v2) {
        auto head = v2->RenderHead(change->before());
        if (!head) {
            if (reason)
                *reason = u"ID3v2标签中有无法保留的内容,未写入"_s;
            return std::nullopt;
        }
        change->setHead(std::move(*head));
    }
    return change;
}

Outcome writeOne(Journal* journal, StepKind kind, tags::TagChange change)
{
    TagWrites writes(journal, kind);
    writes.add(std::move(change));
    Outcome outcome;
    writes.write([&](std::size_t, const Outcome& w) { outcome = w; });
    return outcome;
}

TagWrites::TagWrites(Journal* journal, StepKind kind) : journal_(journal), kind_(kind) {}

std::size_t TagWrites::add(tags::TagChange change)
{
    changes_.push_back(std::move(change));
    return changes_.size() - 1;
}

std::vector<QString> TagWrites::problems() const
{
    std::vector<QString> said;
    if (!journalProblem_.isEmpty())
        said.push_back(u"操作历史无法记录: "_s + journalProblem_);
    if (written_ > 0 && (!journal_ || !journalProblem_.isEmpty()))
        said.push_back(u"文件已照常修改, 但这次修改无法撤销"_s);
    return said;
}

void TagWrites::write(const std::function<void(std::size_t, const Outcome&)>& afterFile)
{
    std::vector<tags::TagChange> changing;
    std::vector<std::size_t> indexOf; // position in `changing` -> position in changes_
    for (std::size_t i = 0; i < changes_.size(); ++i) {
        if (changes_[i].changes()) {
            changing.push_back(changes_[i]);
            indexOf.push_back(i);
        }
    }
    std::int64_t step = 0;
    if (journal_ && !changing.empty()) {
        try {
            step = journal_->beginWrites(kind_, changing);
        } catch (const JournalError& e) {
            // Without the old bytes on disk nothing is written in place.
            step = 0;
            journalProblem_ = QString::fromUtf8(e.what());
        }
    }
    written_ = 0;
    std::vector<FileWrite> writes(changing.size(), FileWrite::NotStarted);
    std::size_t next = 0;
    for (std::size_t i = 0; i < changes_.size(); ++i) {
        const tags::TagChange& change = changes_[i];
        if (next == changing.size() || indexOf[next] != i) {
            afterFile(i, {true, {}});
            continue;
        }
        const bool inPlace = step != 0 && change.inPlace();
        const auto outcome = inPlace ? tags::writeInPlace(change) : tags::writeStaged(change);
        // Its bytes start for the disk now, so that the flush of the step
        // finds them on their way (a staged copy was flushed already).
        if (inPlace && outcome.written())
            platform::startWriteback(change.path());
        written_ += outcome.written() ? 1 : 0;
        writes[next++] = outcome.written() ? FileWrite::Written
                         : outcome.started ? FileWrite::Torn
                                           : FileWrite::NotStarted;
        afterFile(i, outcomeOf(change, outcome));
    }
    if (step != 0) {
        try {
            journal_->endWrites(step, writes);
        } catch (const JournalError&) {
            // The step stays open: the next start checks its files again.
        }
    }
}

} // namespace operations
