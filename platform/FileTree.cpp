#include "platform/FileTree.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

void FileDescriptor::reset()
{
    if (fd_ >= 0)
        ::close(std::exchange(fd_, -1));
}

bool FileDescriptor::close()
{
    const int fd = release();
    return fd >= 0 && ::close(fd) == 0;
}

bool WriteAll(int fd, const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= std::size_t(n);
    }
    return true;
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool PathExists(const std::string& path)
{
    struct ::stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

namespace {

bool copyFile(const std::string& from, const std::string& to, const struct ::stat& st)
{
    FileDescriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (!in.valid())
        return false;
    FileDescriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out.valid())
        return false;
    std::string buffer(1 << 20, '\0');
    for (;;) {
        const ssize_t n = ::read(in.get(), buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!WriteAll(out.get(), buffer.data(), std::size_t(n)))
            return false;
    }
    // Set after creation: the mode given to open() loses what the umask takes.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ::fchmod(out.get(), st.st_mode & 07777) == 0 && ::futimens(out.get(), times) == 0 &&
           ::fsync(out.get()) == 0 && out.close();
}

bool copyLink(const std::string& from, const std::string& to)
{
    std::string target(4096, '\0');
    const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
    if (n < 0 || std::size_t(n) >= target.size())
        return false;
    target.resize(std::size_t(n));
    return ::symlink(target.c_str(), to.c_str()) == 0;
}

bool copyFolder(const std::string& from, const std::string& to, const struct ::stat& st)
{
    if (::mkdir(to.c_str(), 0700) != 0)
        return false;
    DIR* dir = ::opendir(from.c_str());
    if (!dir)
        return false;
    bool ok = true;
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!CopyTree(from + '/' + name, to + '/' + name)) {
            ok = false;
            break;
        }
        errno = 0;
    }
    ok = ok && errno == 0; // a folder that could not be read to its end is not copied
    ::closedir(dir);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    return ok && ::chmod(to.c_str(), st.st_mode & 07777) == 0 &&
           ::utimensat(AT_FDCWD, to.c_str(), times, 0) == 0;
}

} // namespace

bool CopyTree(const std::string& from, const std::string& to)
{
    struct ::stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return copyFolder(from, to, st);
    if (S_ISLNK(st.st_mode))
        return copyLink(from, to);
    if (S_ISREG(st.st_mode))
        return copyFile(from, to, st);
    return false;
}

bool RemoveTree(const std::string& path)
{
    struct ::stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode))
        return ::unlink(path.c_str()) == 0;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return false;
    bool ok = true;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            ok = RemoveTree(path + '/' + name) && ok;
    }
    ::closedir(dir);
    return ::rmdir(path.c_str()) == 0 && ok;
}

} // namespace platform
