#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <sys/stat.h>
#include <utility>

// The POSIX pieces under the program's file operations: an owned descriptor,
// renames that never replace, and copying or removing whole trees. Paths are
// native byte strings.
namespace platform {

class FileDescriptor {
public:
    explicit FileDescriptor(int fd = -1) : fd_(fd) {}
    ~FileDescriptor() { reset(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    int release() { return std::exchange(fd_, -1); }
    // Closes now; false when the kernel reports an error (a late write error).
    bool close();

private:
    void reset();
    int fd_;
};

// Every byte, or false.
bool WriteAll(int fd, const char* data, std::size_t size);
// Fails when `to` exists; nothing is replaced. Works where renameat2 does not
// (NFS, FUSE) and changes only the case of a name on file systems that ignore
// case (vfat, exfat). errno tells why it failed (EEXIST, EXDEV, ...).
bool RenameNoReplace(const std::string& from, const std::string& to);

// The system calls RenameNoReplace is built on, so that a test can play a file
// system this machine does not have. renameat2 is called with AT_FDCWD for
// both folders and RENAME_NOREPLACE; the others are the POSIX calls. Each
// returns 0 or -1 with errno set.
struct RenameCalls {
    std::function<int(const char* from, const char* to)> renameat2;
    std::function<int(const char* from, const char* to)> link;
    std::function<int(const char* path)> unlink;
    std::function<int(const char* from, const char* to)> rename;
    std::function<int(const char* path, struct ::stat* st)> lstat;
};
RenameCalls SystemRenameCalls();
bool RenameNoReplace(const std::string& from, const std::string& to, const RenameCalls& calls);

// Something (a dangling link too) is at the path.
bool PathExists(const std::string& path);

// The inode number of what is at the path (a link itself, not its target);
// 0 when nothing is. A rename keeps it, so it tells a renamed file under any
// of its names.
std::uint64_t InodeOf(const std::string& path);
// The entry of the folder with that inode number, as a path; empty when
// none has it (or the folder cannot be read).
std::string EntryWithInode(const std::string& folder, std::uint64_t inode);

// Copies a file, a symbolic link or a folder with everything in it to `to`,
// which must not exist, keeping permission bits and times; files are flushed
// to disk. False when anything could not be copied (what was made stays for
// the caller to remove). Devices, sockets and pipes are not copied.
bool CopyTree(const std::string& from, const std::string& to);
// Removes a file or a folder with everything in it; false when anything stays.
bool RemoveTree(const std::string& path);

} // namespace platform
