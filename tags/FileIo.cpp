#include "tags/FileIo.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <memory>
#include <sys/file.h>
#include <system_error>
#include <unistd.h>

namespace tags {

namespace {
[[noreturn]] void throwError(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

int lock(int fd, int operation)
{
    int result;
    do {
        result = ::flock(fd, operation);
    } while (result != 0 && errno == EINTR);
    return result == 0 ? 0 : errno;
}

// A leftover copy of an earlier attempt goes, unless a save writes it right
// now. Whatever else holds the name (a link, a fifo) goes too, so that the
// copy is never written through it; a folder cannot go and fails the save.
void removeLeftover(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT)
            return;
        throwError(errno, "stat " + path);
    }
    int error = 0;
    if (S_ISREG(st.st_mode))
        error = removeUnlessLocked(path, st);
    else if (::unlink(path.c_str()) != 0)
        error = errno;
    if (error == EWOULDBLOCK)
        throwError(EBUSY, "another save is writing " + path);
    if (error != 0 && error != ENOENT)
        throwError(error, "unlink " + path);
}

// Creates the copy and locks it. A cleaner that opened the new file before it
// was locked may have taken it for stale and removed it; the lock waits for
// that cleaner, and then the copy is made again.
FileDescriptor createLocked(const std::string& path)
{
    constexpr int Attempts = 3;
    for (int attempt = 1;; ++attempt) {
        FileDescriptor fd = openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (!fd)
            throwError(errno, "create " + path);
        // Where flock is not supported, no cleaner can take the lock either.
        lock(fd.get(), LOCK_EX);
        if (namesOpenFile(path, fd.get()))
            return fd;
        if (attempt == Attempts)
            throwError(EBUSY, "create " + path);
    }
}
} // namespace

FileDescriptor::~FileDescriptor()
{
    if (fd_ >= 0)
        ::close(fd_);
}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

int FileDescriptor::release() noexcept
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

int FileDescriptor::close()
{
    // Linux frees the descriptor even when close fails: never retry it.
    return ::close(release()) == 0 ? 0 : errno;
}

FileDescriptor openFile(const std::string& path, int flags, mode_t mode)
{
    int fd;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

FileDescriptor openForReading(const std::string& path, struct stat& st)
{
    FileDescriptor fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (!fd)
        return fd;
    int error = 0;
    if (::fstat(fd.get(), &st) != 0)
        error = errno;
    else if (!S_ISREG(st.st_mode))
        error = S_ISDIR(st.st_mode) ? EISDIR : EINVAL;
    if (error == 0)
        return fd;
    fd = FileDescriptor();
    errno = error;
    return fd;
}

std::optional<std::string> readAt(int fd, std::uint64_t offset, std::size_t length)
{
    std::string bytes(length, '\0');
    std::size_t done = 0;
    while (done < length) {
        const ssize_t n = ::pread(fd, bytes.data() + done, length - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        done += std::size_t(n);
    }
    bytes.resize(done);
    return bytes;
}

int writeAllAt(int fd, std::string_view bytes, std::uint64_t offset)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n =
            ::pwrite(fd, bytes.data() + done, bytes.size() - done, off_t(offset + done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += std::size_t(n);
    }
    return 0;
}

bool isOutOfRoom(int error)
{
    return error == ENOSPC || error == EDQUOT || error == EFBIG;
}

bool isReadOnly(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return false;
    return ::access(path.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

std::string folderOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

void clearAttributes(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0)
        ::chmod(path.c_str(), (st.st_mode & 07777) | S_IWUSR);
}

std::optional<std::string> resolvedTarget(const std::string& path)
{
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
        return path;
    const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                           &std::free);
    if (!real)
        return std::nullopt;
    return std::string(real.get());
}

bool isSameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool namesOpenFile(const std::string& path, int fd)
{
    struct stat named {};
    struct stat opened {};
    return ::lstat(path.c_str(), &named) == 0 && ::fstat(fd, &opened) == 0 &&
           isSameFile(named, opened);
}

int removeUnlessLocked(const std::string& path, const struct stat& seen)
{
    const FileDescriptor fd = openFile(path, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (!fd)
        return errno;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        return errno;
    if (!S_ISREG(st.st_mode) || !isSameFile(st, seen))
        return ESTALE;
    if (const int error = lock(fd.get(), LOCK_EX | LOCK_NB); error != 0)
        return error;
    // Removed while locked: a save that created the file anew after we opened
    // it is a different file, and one that renames it holds the lock.
    if (!namesOpenFile(path, fd.get()))
        return ESTALE;
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

FileReplacement::FileReplacement(std::string target, std::string temporary,
                                 const struct stat& original)
    : target_(std::move(target)), temporary_(std::move(temporary)), original_(original)
{
    removeLeftover(temporary_);
    fd_ = createLocked(temporary_);
    // The lock belongs to the open file, not the descriptor: a second
    // descriptor keeps it while commit() closes the first.
    lock_ = FileDescriptor(::fcntl(fd_.get(), F_DUPFD_CLOEXEC, 0));
    if (!lock_) {
        const int error = errno;
        ::unlink(temporary_.c_str());
        throwError(error, "dup " + temporary_);
    }
}

FileReplacement::~FileReplacement()
{
    // Unlinked before the lock goes, and only while the name leads to it.
    if (!committed_ && namesOpenFile(temporary_, lock_.get()))
        ::unlink(temporary_.c_str());
}

bool FileReplacement::write(std::string_view bytes)
{
    const int error = writeAllAt(fd_.get(), bytes, written_);
    if (error != 0) {
        if (isOutOfRoom(error))
            return false;
        throwError(error, "write " + temporary_);
    }
    written_ += bytes.size();
    return true;
}

bool FileReplacement::commit()
{
    // The owner first: changing it clears set-id bits that fchmod then sets.
    // Only root may give the file away, so a failure here is expected.
    if (::fchown(fd_.get(), original_.st_uid, original_.st_gid) != 0 && errno != EPERM)
        throwError(errno, "chown " + temporary_);
    if (::fchmod(fd_.get(), original_.st_mode & 07777) != 0)
        throwError(errno, "chmod " + temporary_);
    if (::fsync(fd_.get()) != 0) {
        if (isOutOfRoom(errno))
            return false;
        throwError(errno, "fsync " + temporary_);
    }
    if (const int error = fd_.close(); error != 0) {
        if (isOutOfRoom(error))
            return false;
        throwError(error, "close " + temporary_);
    }
    if (::rename(temporary_.c_str(), target_.c_str()) != 0)
        throwError(errno, "rename " + temporary_);
    committed_ = true;
    lock_ = FileDescriptor();
    // The rename lasts across a crash only once the folder is on disk too.
    if (FileDescriptor folder = openFile(folderOf(target_), O_RDONLY | O_DIRECTORY))
        ::fsync(folder.get());
    return true;
}

} // namespace tags
