#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <sys/stat.h>

// POSIX file access for the tag classes: descriptors owned by objects,
// complete reads and writes, and the safe replacement of a file.
namespace tags {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) noexcept : fd_(fd) {}
    ~FileDescriptor();
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(other.release()) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() noexcept;
    // Closes now; 0, or the errno of a failed close.
    int close();

private:
    int fd_;
};

// open(2) with O_CLOEXEC, repeated when a signal interrupts it.
FileDescriptor openFile(const std::string& path, int flags, mode_t mode = 0);

// Opens a regular file for reading and fills st; never blocks on a pipe or
// a device. An empty descriptor (errno set; EISDIR or EINVAL for what is no
// regular file) on failure.
FileDescriptor openForReading(const std::string& path, struct stat& st);

// Up to length bytes from offset; fewer only where the file ends. nullopt
// (errno set) when reading fails.
std::optional<std::string> readAt(int fd, std::uint64_t offset, std::size_t length);

// Writes every byte at offset; 0, or the errno of the failure (ENOSPC for a
// write that took nothing).
int writeAllAt(int fd, std::string_view bytes, std::uint64_t offset);

// The disk (or a limit) takes no more: a short write, not an error of the system.
bool isOutOfRoom(int error);

// The user cannot write the file or folder: access(W_OK) fails, or no write
// bit is set at all. The second half keeps the rule for root, who passes
// every access check.
bool isReadOnly(const std::string& path);

// The folder part of a path ("." for a bare name).
std::string folderOf(const std::string& path);

// "Clear all attributes": adds the owner's write permission. Best effort.
void clearAttributes(const std::string& path);

// The file a write should change: a symbolic link's target (so that the file
// it names gets the new bytes and the link stays a link), else the path
// itself. nullopt, errno set, when a link cannot be resolved.
std::optional<std::string> resolvedTarget(const std::string& path);

// Whether two stat results are of one file.
bool isSameFile(const struct stat& a, const struct stat& b);

// Whether the name leads, without following a link, to the file open at fd.
bool namesOpenFile(const std::string& path, int fd);

// Removes the regular file that lstat saw as `seen` under that name, unless a
// save is writing it: takes its lock (flock) without waiting, and checks that
// the name still leads to the file it locked. 0, or the errno of the failure:
// EWOULDBLOCK while a save holds the lock, ESTALE when the name now leads to
// another file.
int removeUnlessLocked(const std::string& path, const struct stat& seen);

// A new version of a file, written beside it under a temporary name and
// renamed over it by commit(). Until then the file stays as it was; a copy
// that is not committed is removed when this object goes. The copy is locked
// (flock) from its creation until its rename or removal, so that a cleaner of
// stale copies (tags/StaleCopies.h) in any process leaves it alone; a leftover
// under the temporary name goes first, unless another save holds its lock.
// Errors of the system throw std::system_error; a full disk is a false result.
class FileReplacement {
public:
    FileReplacement(std::string target, std::string temporary, const struct stat& original);
    ~FileReplacement();
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;

    bool write(std::string_view bytes);
    // Gives the copy the original's owner and permission bits, flushes it to
    // disk and renames it over the original.
    bool commit();

private:
    std::string target_;
    std::string temporary_;
    struct stat original_;
    FileDescriptor fd_;
    FileDescriptor lock_; // holds the copy's lock while fd_ is closed for commit()
    std::uint64_t written_ = 0;
    bool committed_ = false;
};

} // namespace tags
