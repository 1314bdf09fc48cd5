#include "operations/FolderListing.h"

#include "platform/FileOps.h"
#include "platform/NativePath.h"
#include "tags/StaleCopies.h"

#include <optional>

using namespace Qt::StringLiterals;

namespace operations {

void tidyFolder(const QString& folder)
{
    if (!folder.isEmpty())
        tags::removeStaleCopies(platform::NativePath(folder));
}

std::vector<ListedFile> listedFiles(const QString& folder, const QStringList& captions)
{
    std::vector<ListedFile> files;
    files.reserve(std::size_t(captions.size()));
    std::optional<QString> suffix;
    for (int i = 0; i < captions.size(); ++i) {
        const QString& caption = captions[i];
        if (!suffix) {
            if (platform::FileExists(folder + caption))
                suffix = QString();
            else if (platform::FileExists(folder + caption + u".mp3"_s))
                suffix = u".MP3"_s;
            else
                continue;
        } else if (!platform::FileExists(folder + caption + *suffix)) {
            continue;
        }
        // Without a suffix the name shares the caption's text: a folder of
        // 100,000 files would otherwise hold every name twice.
        files.push_back({i, suffix->isEmpty() ? caption : caption + *suffix});
    }
    return files;
}

} // namespace operations
