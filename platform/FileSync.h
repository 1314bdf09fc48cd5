#pragma once

#include <string>
#include <vector>

// Making written bytes durable, file by file: a flush of the file system
// (syncfs) would wait for every dirty page on it, another program's too.
namespace platform {

// Makes the bytes written to each file durable (its data and the size that
// reaches them): the writeback of all is started first, then each is waited
// for. Per file, whether it is on disk now. A file no longer found under its
// name gets its file system flushed instead.
std::vector<bool> flushFiles(const std::vector<std::string>& paths);

// Makes the entries of each folder durable (a rename or a move into it or
// out of it): one fsync per distinct folder. False when any failed.
bool flushFolders(const std::vector<std::string>& folders);

} // namespace platform
