#include "platform/FileSync.h"

#include "platform/FileTree.h"

#include <algorithm>
#include <atomic>
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

// fdatasync of every file, its outcome in `flushed`; `gone` where it is no
// longer under its name. The waits overlap: the flushes of the device's
// cache that several threads ask for at once are merged into one by the
// block layer, where one thread would wait for each in turn.
void waitForAll(const std::vector<std::string>& paths, std::vector<char>& flushed,
                std::vector<char>& gone)
{
    std::atomic<std::size_t> next = 0;
    std::vector<std::jthread> threads;
    const std::size_t count = std::min<std::size_t>(FlushThreads, paths.size());
    for (std::size_t t = 0; t < count; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i = next++; i < paths.size(); i = next++) {
                if (const FileDescriptor fd = openToFlush(paths[i]); fd.valid())
                    flushed[i] = ::fdatasync(fd.get()) == 0;
                else
                    gone[i] = 1;
            }
        });
    }
}

} // namespace

std::vector<bool> flushFiles(const std::vector<std::string>& paths)
{
    // Every file's writeback is started before any is waited for, so that
    // the disk takes them together. Each is opened again to wait: thousands
    // held open at once would pass the usual limit of 1,024 descriptors.
    for (const std::string& path : paths) {
        if (const FileDescriptor fd = openToFlush(path); fd.valid())
            ::sync_file_range(fd.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
    }
    std::vector<char> flushed(paths.size(), 0);
    std::vector<char> gone(paths.size(), 0);
    waitForAll(paths, flushed, gone);
    // A file gone from its name since it was written (moved, deleted) has
    // its bytes where it went: the file system that held it is flushed, as
    // a last resort, once.
    std::optional<bool> fileSystem;
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (gone[i]) {
            if (!fileSystem)
                fileSystem = flushFileSystemOf(paths[i]);
            flushed[i] = *fileSystem;
        }
    }
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
