#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// A save rewrites a file through a copy beside it (FileReplacement); a save
// that is killed leaves that copy behind. These remove such stale copies.
namespace tags {

// The copy's name is the file's name with this added.
inline constexpr std::string_view CopySuffix = ".tdexbak";

// Removes the copy beside `file` when it is stale: a regular file (never a
// folder or a link), `file` is there as a regular file and is not the copy,
// and no save holds the copy's lock. A copy whose file is missing stays: an
// older version removed the file before renaming, so it may be the only copy
// of the music. Whether a copy went; never throws. Costs one failed lstat
// when there is no copy.
bool removeStaleCopy(const std::string& file);

// The same for every copy in one folder, not in its subfolders; how many went.
std::size_t removeStaleCopies(const std::string& folder);

} // namespace tags
