#include "platform/FileTree.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
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

namespace {

// How a file system says it lacks renameat2 (NFS and FUSE answer EINVAL)
// rather than refusing this particular rename.
bool renameat2Unsupported(int error)
{
    return error == EINVAL || error == ENOSYS || error == EOPNOTSUPP;
}

// How a file system says it has no hard links, or that this item (a folder)
// cannot have another one.
bool linkUnsupported(int error)
{
    return error == EPERM || error == EOPNOTSUPP || error == ENOSYS || error == EINVAL ||
           error == EMLINK;
}

bool checkedRename(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    struct ::stat st {};
    if (calls.lstat(to.c_str(), &st) == 0) {
        errno = EEXIST;
        return false;
    }
    if (errno != ENOENT)
        return false; // cannot tell whether something is there
    // Another process can still create `to` between the lstat and the rename,
    // and rename() would replace it: without renameat2 and hard links nothing
    // closes that window.
    return calls.rename(from.c_str(), to.c_str()) == 0;
}

// The new name is made first, so the kernel refuses an existing target.
bool linkThenUnlink(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    if (calls.link(from.c_str(), to.c_str()) != 0)
        return linkUnsupported(errno) && checkedRename(from, to, calls);
    if (calls.unlink(from.c_str()) == 0)
        return true;
    const int error = errno;
    calls.unlink(to.c_str()); // the item keeps only its old name, as before
    errno = error;
    return false;
}

bool moveOnce(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    if (calls.renameat2(from.c_str(), to.c_str()) == 0)
        return true;
    return renameat2Unsupported(errno) && linkThenUnlink(from, to, calls);
}

// Two names of one item: a change of case where case does not count.
bool sameItem(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    struct ::stat a {
    }, b{};
    const bool same = from != to && calls.lstat(from.c_str(), &a) == 0 &&
                      calls.lstat(to.c_str(), &b) == 0 && a.st_dev == b.st_dev &&
                      a.st_ino == b.st_ino;
    errno = EEXIST;
    return same;
}

std::string folderPrefix(const std::string& path)
{
    const auto end = path.find_last_not_of('/');
    const auto slash = end == std::string::npos ? end : path.find_last_of('/', end);
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The target "exists" because it is the source (and rename() would do
// nothing), so the item goes through a temporary name beside it.
bool changeCase(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    const std::string stem = folderPrefix(from) + ".mp3t-case-" + std::to_string(::getpid()) + '-';
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = stem + std::to_string(attempt);
        if (!moveOnce(from, temp, calls)) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        if (moveOnce(temp, to, calls))
            return true;
        const int error = errno;
        // Should even this fail, the item stays under the temporary name: not lost.
        moveOnce(temp, from, calls);
        errno = error;
        return false;
    }
    return false;
}

} // namespace

RenameCalls SystemRenameCalls()
{
    return {
        [](const char* from, const char* to) {
            return ::renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE);
        },
        [](const char* from, const char* to) { return ::link(from, to); },
        [](const char* path) { return ::unlink(path); },
        [](const char* from, const char* to) { return ::rename(from, to); },
        [](const char* path, struct ::stat* st) { return ::lstat(path, st); },
    };
}

bool RenameNoReplace(const std::string& from, const std::string& to, const RenameCalls& calls)
{
    if (moveOnce(from, to, calls))
        return true;
    return errno == EEXIST && sameItem(from, to, calls) && changeCase(from, to, calls);
}

bool RenameNoReplace(const std::string& from, const std::string& to)
{
    return RenameNoReplace(from, to, SystemRenameCalls());
}

bool PathExists(const std::string& path)
{
    struct ::stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::uint64_t InodeOf(const std::string& path)
{
    struct ::stat st {};
    return ::lstat(path.c_str(), &st) == 0 ? std::uint64_t(st.st_ino) : 0;
}

std::string EntryWithInode(const std::string& folder, std::uint64_t inode)
{
    if (inode == 0)
        return {};
    DIR* dir = ::opendir(folder.c_str());
    if (!dir)
        return {};
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        // d_ino may be a mount point's own: the inode is checked through stat.
        const std::string path = (folder == "/" ? folder : folder + "/") + name;
        if (entry->d_ino == inode && InodeOf(path) == inode) {
            found = path;
            break;
        }
    }
    ::closedir(dir);
    return found;
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
