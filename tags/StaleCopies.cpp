#include "tags/StaleCopies.h"

#include "tags/FileIo.h"

#include <dirent.h>
#include <memory>
#include <sys/stat.h>
#include <vector>

namespace tags {

namespace {

struct FolderCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The files of the folder that have a copy beside them, by the copies' names;
// collected first, as removing entries while reading a folder may skip others.
std::vector<std::string> filesWithCopies(const std::string& folder)
{
    std::vector<std::string> files;
    const std::unique_ptr<DIR, FolderCloser> dir(::opendir(folder.c_str()));
    if (!dir)
        return files;
    const std::string prefix = folder.ends_with('/') ? folder : folder + '/';
    while (const dirent* entry = ::readdir(dir.get())) {
        const std::string_view name = entry->d_name;
        if (name.size() > CopySuffix.size() && name.ends_with(CopySuffix))
            files.push_back(prefix + std::string(name.substr(0, name.size() - CopySuffix.size())));
    }
    return files;
}

} // namespace

bool removeStaleCopy(const std::string& file)
{
    const std::string copy = file + std::string(CopySuffix);
    struct stat seen {};
    if (::lstat(copy.c_str(), &seen) != 0 || !S_ISREG(seen.st_mode))
        return false;
    // stat follows a link: the music may be reached through one, but a link
    // to the copy itself leaves nothing once the copy goes.
    struct stat music {};
    if (::stat(file.c_str(), &music) != 0 || !S_ISREG(music.st_mode) || isSameFile(music, seen))
        return false;
    return removeUnlessLocked(copy, seen) == 0;
}

std::size_t removeStaleCopies(const std::string& folder)
{
    std::size_t removed = 0;
    for (const std::string& file : filesWithCopies(folder)) {
        if (removeStaleCopy(file))
            ++removed;
    }
    return removed;
}

} // namespace tags
