#pragma once

#include <string>
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
// Fails when `to` exists; nothing is replaced.
bool RenameNoReplace(const std::string& from, const std::string& to);
// Something (a dangling link too) is at the path.
bool PathExists(const std::string& path);

// Copies a file, a symbolic link or a folder with everything in it to `to`,
// which must not exist, keeping permission bits and times; files are flushed
// to disk. False when anything could not be copied (what was made stays for
// the caller to remove). Devices, sockets and pipes are not copied.
bool CopyTree(const std::string& from, const std::string& to);
// Removes a file or a folder with everything in it; false when anything stays.
bool RemoveTree(const std::string& path);

} // namespace platform
