#include "platform/FileOps.h"

#include "platform/FileTree.h"
#include "platform/NativePath.h"

#include <cerrno>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

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
    bool ok = CopyTree(from, staged) && RenameNoReplace(staged, to);
    RemoveTree(temp);
    if (!ok)
        return false;
    if (!RemoveTree(from)) {
        // The copy is complete at the target; a source that cannot be removed
        // entirely stays too, so nothing is lost.
        return false;
    }
    return true;
}

} // namespace

bool MoveFileA(const QString& existing, const QString& newName)
{
    const std::string from = NativePath(existing);
    const std::string to = NativePath(newName);
    if (from.empty() || to.empty() || !PathExists(from))
        return false;
    if (RenameNoReplace(from, to))
        return true;
    if (errno != EXDEV || PathExists(to))
        return false;
    return moveAcrossFileSystems(from, to);
}

bool DeleteFileA(const QString& path)
{
    return ::unlink(NativePath(path).c_str()) == 0;
}

bool CreateDirectoryA(const QString& path)
{
    return ::mkdir(NativePath(path).c_str(), 0777) == 0;
}

bool SetFileAttributesA(const QString& path, unsigned attributes)
{
    if (attributes != 0)
        return true; // only "clear all" has a meaning here
    const std::string p = NativePath(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return false;
    return ::chmod(p.c_str(), (st.st_mode & 07777) | S_IWUSR) == 0;
}

bool FileExists(const QString& path)
{
    struct stat st {};
    return ::stat(NativePath(path).c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

QByteArray FileStamp(const QString& path)
{
    struct stat st {};
    if (::stat(NativePath(path).c_str(), &st) != 0)
        return {};
    const long long parts[] = {
        static_cast<long long>(st.st_size),        static_cast<long long>(st.st_ino),
        static_cast<long long>(st.st_mtim.tv_sec), static_cast<long long>(st.st_mtim.tv_nsec),
        static_cast<long long>(st.st_ctim.tv_sec), static_cast<long long>(st.st_ctim.tv_nsec)};
    return QByteArray(reinterpret_cast<const char*>(parts), sizeof parts);
}

bool IsReadOnly(const QString& path)
{
    const std::string p = NativePath(path);
    struct stat st {};
    if (::stat(p.c_str(), &st) != 0)
        return false;
    return ::access(p.c_str(), W_OK) != 0 || (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0;
}

} // namespace platform
