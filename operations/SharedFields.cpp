#include "operations/SharedFields.h"

#include "operations/TagWrites.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

std::optional<QByteArray> digestOf(const QString& path)
{
    const auto image = tags::readTagImage(platform::NativePath(path));
    if (!image)
        return std::nullopt;
    return tagDigest(*image);
}

} // namespace

SharedFields readSharedFields(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority,
                              const std::vector<QString>& paths, const TextRules& rules)
{
    SharedFields shared;
    bool first = true;
    for (const QString& path : paths) {
        // The digest first: a write in between makes it older than the texts,
        // and the save then refuses the file rather than write over it.
        if (const auto digest = digestOf(path))
            shared.seen.emplace(path, *digest);
        ShownTags shown;
        if (priority) {
            // Reads both tags, whatever the priority shows.
            shown = readShownTags(v1, v2, *priority, path, rules);
            if (!v2.Lyrics.empty())
                ++shared.withLyrics;
            if (v1.Track() > 0)
                shared.commentWidth = 28;
            if (first)
                shared.codePage = rules.forFile(v1, v2).v1CodePage();
        }
        for (const Field field : kAllFields) {
            auto& value = shared.values[std::size_t(field)];
            if (first)
                value = shown.value(field);
            else if (value && *value != shown.value(field))
                value.reset();
        }
        first = false;
    }
    return shared;
}

TagCommand sharedSave(const FieldValues& changed, std::optional<Priority> priority,
                      const TextRules& rules, std::map<QString, QByteArray> seen)
{
    return TagCommand(
        StepKind::Save, [changed, priority, rules, seen = std::move(seen)](const QString& path) {
            TagMaking made;
            if (!priority) {
                made.reason = u"显示优先级无效"_s;
                return made;
            }
            TID3v1 v1;
            TID3v2 v2;
            FieldChange change = changeFields(v1, v2, *priority, path, changed, rules);
            const auto was = seen.find(path);
            if (change.change &&
                (was == seen.end() || tagDigest(change.change->before()) != was->second)) {
                made.reason = changedElsewhere();
                return made;
            }
            made.change = std::move(change.change);
            if (!made.change)
                made.reason = change.reason.isEmpty() ? failureReason(path) : change.reason;
            return made;
        });
}

QString changedElsewhere()
{
    return u"文件已被其他程序修改"_s;
}

} // namespace operations
