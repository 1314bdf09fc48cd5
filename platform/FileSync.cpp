#include "platform/FileSync.h"

#include "platform/FileTree.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <fcntl.h>
#include <optional>
#include <set>
#include <thread>
#include <unistd.h>

namespace platform {

namespace {

constexpr std::size_t FlushThreads = 8;

// Read-only is enough to flush a file, and leaves its times alone.
FileDescriptor openToFlush(const std::string& path, int flags = 0)
{
    return FileDescriptor(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | flags));
}

bool flushFileSystemOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos
                                   ? std::string(".")
                                   : path.substr(0, std::max<std::size_t>(slash, 1));
    const FileDescriptor fd = openToFlush(folder, O_DIRECTORY);
    return fd.valid() && ::syncfs(fd.get()) == 0;
}

// fdatasync of every open file, its outcome in `flushed`. The waits overlap:
// the flushes of the device's cache that several threads ask for at once
// are merged into one by the block layer, where one thread would wait for
// each in turn.
void waitForAll(const std::deque<FileDescriptor>& files, std::vector<char>& flushed)
{
    std::atomic<std::size_t> next = 0;
    std::vector<std::jthread> threads;
    const std::size_t count = std::min<std::size_t>(FlushThreads, files.size());
    for (std::size_t t = 0; t < count; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i = next++; i < files.size(); i = next++) {
                if (files[i].valid())
                    flushed[i] = ::fdatasync(files[i].get()) == 0;
            }
        });
    }
}

} // namespace

void startWriteback(const std::string& path)
{
    if (const FileDescriptor fd = openToFlush(path); fd.valid())
        ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
}

std::vector<bool> flushFiles(const std::vector<std::string>& paths)
{
    std::deque<FileDescriptor> files; // held open until each is flushed
    for (const std::string& path : paths) {
        files.emplace_back(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (files.back().valid())
            ::sync_file_range(files.back().get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    std::vector<char> flushed(files.size(), 0);
    // A file gone from its name since it was written (moved, deleted) has
    // its bytes where it went: the file system that held it is flushed, as
    // a last resort, once.
    std::optional<bool> fileSystem;
    for (std::size_t i = 0; i < files.size(); ++i) {
        if (!files[i].valid()) {
            if (!fileSystem)
                fileSystem = flushFileSystemOf(paths[i]);
            flushed[i] = *fileSystem;
        }
    }
    waitForAll(files, flushed);
    return std::vector<bool>(flushed.begin(), flushed.end());
}

bool flushFolders(const std::vector<std::string>& folders)
{
    bool all = true;
    for (const std::string& folder : std::set<std::string>(folders.begin(), folders.end())) {
        const FileDescriptor fd = openToFlush(folder, O_DIRECTORY);
        all = fd.valid() && ::fsync(fd.get()) == 0 && all;
    }
    return all;
}

} // namespace platform
