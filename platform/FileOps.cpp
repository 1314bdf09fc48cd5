#include "platform/FileOps.h"

#include <QFile>

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

std::string native(const QString& path)
{
    return QFile::encodeName(path).toStdString();
}

bool renameNoReplace(const std::string& from, const std::string& to)
{
    return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool exists(const std::string& path)
{
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

class Fd {
public:
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    bool close()
    {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool writeAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
}

bool copyFileContents(const std::string& from, const std::string& to, mode_t mode)
{
    Fd in(::open(from.c_str(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return false;
    Fd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode & 07777));
    // The mode given to open() loses what the umask takes away; a moved file
    // keeps its permissions.
    if (out.get() < 0 || ::fchmod(out.get(), mode & 07777) != 0)
        return false;
    std::string buf(1 << 16, '\0');
    for (;;) {
        const ssize_t n = ::read(in.get(), buf.data(), buf.size());
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return false;
        if (n == 0)
            break;
        if (!writeAll(out.get(), buf.data(), size_t(n)))
            return false;
    }
    return ::fsync(out.get()) == 0 && out.close();
}

bool copyTree(const std::string& from, const std::string& to);

bool copyEntry(const std::string& from, const std::string& to)
{
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0)
        return false;
    if (S_ISDIR(st.st_mode))
        return copyTree(from, to) && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
    if (S_ISLNK(st.st_mode)) {
        std::string target(4096, '\0');
        const ssize_t n = ::readlink(from.c_str(), target.data(), target.size());
        if (n < 0 || size_t(n) >= target.size())
            return false;
        target.resize(size_t(n));
        return ::symlink(target.c_str(), to.c_str()) == 0;
    }
    if (S_ISREG(st.st_mode))
        return copyFileContents(from, to, st.st_mode);
    return false; // devices, sockets and pipes are not carried across
}

bool copyTree(const std::string& from, const std::string& to)
{
    if (::mkdir(to.c_str(), 0700) != 0)
        return false;
    DIR* dir = ::opendir(from.c_str());
    if (!dir)
        return false;
    bool ok = true;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..")
            continue;
        if (!copyEntry(from + '/' + name, to + '/' + name)) {
            ok = false;
            break;
        }
    }
    ::closedir(dir);
    return ok;
}

bool removeTree(const std::string& path)
{
    struct stat st {};
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
            ok = removeTree(path + '/' + name) && ok;
    }
    ::closedir(dir);
    return ::rmdir(path.c_str()) == 0 && ok;
}

std::string parentOf(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// Copy beside the target under a temporary name, then put it in place without
// replacing anything; only then is the source removed.
bool moveAcrossFileSystems(const std::string& from, const std::string& to)
{
    std::string temp = parentOf(to) + "/.mp3t-move-XXXXXX";
    if (!::mkdtemp(temp.data()))
        return false;
    const std::string staged = temp + "/item";
    bool ok = copyEntry(from, staged) && renameNoReplace(staged, to);
    removeTree(temp);
    if (!ok)
        return false;
    if (!removeTree(from)) {
        // The copy is complete at the target; a source that cannot be removed
        // entirely stays too, so nothing is lost.
        return false;
    }
    return true;
}

} // namespace

bool MoveFileA(const QString& existing, const QString& newName)
{
    const std::string from = native(existing);
    const std::string to = native(newName);
    if (from.empty() || to.empty() || !exists(from))
        return false;
    if (renameNoReplace(from, to))
        return true;
    if (errno != EXDEV || exists(to))
        return false;
    return moveAcrossFileSystems(from, to);
}

bool DeleteFileA(const QString& path)
{
    return ::unlink(native(path).c_str()) == 0;
}

bool CreateDirectoryA(const QString& path)
{
    return ::mkdir(native(path).c_str(), 0777) == 0;
}

bool SetFileAttributesA(const QString& path, unsigned attributes)
{
    if (attributes != 0)
        return true; // only "clear all" has a meaning here
    const std::string p = native(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return false;
    return ::chmod(p.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool FileExists(const QString& path)
{
    struct stat st {};
    return ::stat(native(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool IsReadOnly(const QString& path)
{
    const std::string p = native(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return false;
    return ::access(p.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace platform
