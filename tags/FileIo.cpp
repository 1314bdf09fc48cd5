#include "tags/FileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tags {

namespace {
[[noreturn]] void throwError(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
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

FileReplacement::FileReplacement(std::string target, std::string temporary,
                                 const struct stat& original)
    : target_(std::move(target)), temporary_(std::move(temporary)), original_(original)
{
    // A leftover copy of an earlier attempt goes; never write through a link
    // someone left under that name.
    if (::unlink(temporary_.c_str()) != 0 && errno != ENOENT)
        throwError(errno, "unlink " + temporary_);
    fd_ = openFile(temporary_, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
    if (!fd_)
        throwError(errno, "create " + temporary_);
}

FileReplacement::~FileReplacement()
{
    if (!committed_) {
        fd_ = FileDescriptor();
        ::unlink(temporary_.c_str());
    }
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
    // The rename lasts across a crash only once the folder is on disk too.
    if (FileDescriptor folder = openFile(folderOf(target_), O_RDONLY | O_DIRECTORY))
        ::fsync(folder.get());
    return true;
}

} // namespace tags
