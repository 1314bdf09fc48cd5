#include "operations/FrameEditing.h"

#include "operations/FrameFields.h"
#include "operations/TagBatch.h"
#include "operations/TagCommand.h"
#include "operations/TagWrites.h"
#include "platform/NativePath.h"
#include "tags/APEv2.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/ID3v2FrameList.h"

#include <QStringList>

#include <algorithm>
#include <cerrno>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool isAsciiLetter(QChar c)
{
    return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

FrameSet setOf(const FrameContent& frame)
{
    FrameSet set;
    set.key.id = frame.id;
    if (carriesDescription(frame.id))
        set.key.description = frame.description;
    set.value = frame.value;
    return set;
}

std::string languageOf(const FrameContent& frame)
{
    return frame.language.size() == 3 ? frame.language.toStdString() : std::string("XXX");
}

// The edits as the tag's renderer takes them; nullopt, `reason` said, for a
// frame that cannot hold its value.
std::optional<tags::FrameEdits> editsOf(const FrameChanges& changes, const FileTexts& texts,
                                        QString& reason)
{
    tags::FrameEdits edits;
    edits.removed = changes.removed;
    const auto frameFor = [&](const FrameContent& content) {
        reason = frameContentRefusal(content);
        auto frame =
            reason.isEmpty() ? frameOf(setOf(content), languageOf(content), texts) : std::nullopt;
        if (!frame && reason.isEmpty())
            reason = content.id + u" 帧不能保存这个值"_s;
        return frame;
    };
    for (const auto& [index, content] : changes.replaced) {
        auto frame = frameFor(content);
        if (!frame)
            return std::nullopt;
        edits.replaced.emplace_back(index, std::move(*frame));
    }
    for (const FrameContent& content : changes.added) {
        auto frame = frameFor(content);
        if (!frame)
            return std::nullopt;
        edits.added.push_back(std::move(*frame));
    }
    return edits;
}

// The APEv2 tag in front of the trailer cut off by the change; false, with
// `reason`, when the image holds none.
bool cutApe(tags::TagChange& change, QString& reason)
{
    if (change.before().ape.empty()) {
        reason = u"没有 APEv2 标签"_s;
        return false;
    }
    change.setApe({});
    return true;
}

// The change of the edited head, the APEv2 tag cut off when asked: one
// write, one step of the journal.
std::optional<tags::TagChange> frameChange(const QString& path, const FrameChanges& changes,
                                           const TextRules& rules, QString& reason)
{
    const std::string file = platform::NativePath(path);
    auto change = tags::beginChange(file, changes.removeApe);
    if (!change) {
        reason = errno == EFBIG ? u"APEv2 标签过大, 无法删除"_s : failureReason(path);
        return std::nullopt;
    }
    if (changes.removeApe && !cutApe(*change, reason))
        return std::nullopt;
    if (!changes.framesChanged())
        return change;
    TID3v1 v1;
    TID3v2 v2;
    v1.ReadFromFile(file);
    v2.ReadFromFile(file);
    const auto edits = editsOf(changes, rules.forFile(v1, v2), reason);
    if (!edits)
        return std::nullopt;
    auto head = TID3v2::RenderFrameEdits(change->before(), *edits);
    if (!head) {
        reason = u"ID3v2标签中有无法保留的内容,未写入"_s;
        return std::nullopt;
    }
    change->setHead(std::move(*head));
    return change;
}

FramesSaved failedWith(QString reason)
{
    return {false, std::move(reason), {}};
}

} // namespace

bool carriesLanguage(const QString& id)
{
    return id == u"COMM"_s || id == u"USLT"_s;
}

bool carriesDescription(const QString& id)
{
    return id == u"TXXX"_s || id == u"WXXX"_s || carriesLanguage(id);
}

QString frameContentRefusal(const FrameContent& frame)
{
    const auto key = frameKeyOf(frame.id);
    if (!key || key->description)
        return u"帧ID须为四个大写字母或数字, 以字母开头"_s;
    if (const QString why = unsettableReason(*key); !why.isEmpty())
        return why;
    if (carriesLanguage(frame.id) &&
        (frame.language.size() != 3 ||
         !std::all_of(frame.language.begin(), frame.language.end(), isAsciiLetter)))
        return u"语言须为三个字母 (如 chi, eng, XXX)"_s;
    if (frame.value.isEmpty())
        return u"内容为空; 要去掉这一帧, 请删除它"_s;
    const bool url = frame.id.front() == u'W';
    if (url && !std::all_of(frame.value.begin(), frame.value.end(),
                            [](QChar c) { return c.unicode() > 0x20 && c.unicode() < 0x7f; }))
        return u"网址只能含 ASCII 字符, 不能有空格"_s;
    return {};
}

std::optional<TagsSeen> tagsSeen(const QString& path)
{
    const std::string file = platform::NativePath(path);
    const auto image = tags::readTagImage(file);
    if (!image)
        return std::nullopt;
    TagsSeen seen{tagDigest(*image), std::nullopt};
    if (auto ape = tags::readApeTag(file))
        seen.ape = std::move(ape->bytes);
    return seen;
}

FramesSaved saveFrames(Journal* journal, const QString& path, const FrameChanges& changes,
                       const TagsSeen& seen, const TextRules& rules)
{
    const auto now = tagsSeen(path);
    if (!now)
        return failedWith(failureReason(path));
    if (*now != seen)
        return failedWith(u"文件已被其他程序修改, 未写入; 请重新打开"_s);
    if (changes.removeApe && !now->ape)
        return failedWith(u"没有 APEv2 标签"_s);
    if (!changes.any())
        return {true, {}, {}};
    QString reason;
    auto change = frameChange(path, changes, rules, reason);
    if (!change)
        return failedWith(reason);
    QStringList done;
    if (changes.framesChanged())
        done << u"修改帧"_s;
    if (changes.removeApe)
        done << u"删除 APEv2 标签"_s;
    FramesSaved saved{false, {}, {}};
    TagBatch batch(journal, StepKind::Save, [&](std::size_t, const Outcome& outcome) {
        saved.succeeded = outcome.succeeded;
        saved.message = outcome.succeeded ? done.join(u", "_s) : outcome.message;
    });
    batch.add(std::move(*change));
    batch.finish();
    saved.problems = batch.problems();
    return saved;
}

} // namespace operations
