#include "operations/TagWrites.h"

#include "operations/TagBatch.h"

#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "platform/FileSync.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "platform/SystemError.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <cstring>
#include <limits>
#include <system_error>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

QString pathOf(const std::string& native)
{
    return platform::decodeFileName(QByteArray::fromStdString(native));
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
    if (!renderTags(*change, v1, v2, reason))
        return std::nullopt;
    return change;
}

bool renderTags(tags::TagChange& change, const TID3v1* v1, const TID3v2* v2, QString* reason)
{
    if (v1)
        change.setTail(v1->Rendered());
    if (v2) {
        auto head = v2->RenderHead(change.before());
        if (!head) {
            if (reason)
                *reason = u"ID3v2标签中有无法保留的内容,未写入"_s;
            return false;
        }
        change.setHead(std::move(*head));
    }
    return true;
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
    return stepProblems(journal_, journalProblem_, written_);
}

void TagWrites::write(const std::function<void(std::size_t, const Outcome&)>& afterFile)
{
    // One slice: the caller holds every change already.
    TagBatch batch(
        journal_, kind_, afterFile,
        {std::numeric_limits<std::size_t>::max(), std::numeric_limits<std::size_t>::max()});
    for (const tags::TagChange& change : changes_)
        batch.add(change);
    batch.finish();
    journalProblem_ = batch.journalProblem();
    written_ = batch.written();
}

} // namespace operations
