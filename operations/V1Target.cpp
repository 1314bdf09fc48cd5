#include "operations/V1Target.h"

#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

namespace operations {

V1Target v1Target(TID3v1& v1, TID3v2& v2, std::optional<Priority> priority, const QString& file,
                  const TextRules& rules)
{
    V1Target target;
    target.written = priority && writesV1(*priority);
    target.codePage = rules.preferred;
    const std::string native = platform::NativePath(file);
    if (!target.written || !v1.ReadFromFile(native) || !v2.ReadFromFile(native))
        return target;
    // A track number takes the comment's last two bytes.
    target.commentWidth = v1.Track() > 0 ? 28 : 30;
    target.codePage = rules.forFile(v1, v2).v1CodePage();
    return target;
}

} // namespace operations
