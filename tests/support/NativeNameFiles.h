#pragma once

// Files whose names are not UTF-8, made and read with POSIX calls on the
// name's bytes: Qt's file classes cannot reach them.

#include "platform/FileNameCodec.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringEncoder>

#include <algorithm>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nativetest {

// The GBK bytes of a text, as a Windows archive unpacks them.
inline QByteArray gbk(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

inline QString decoded(const QByteArray& native)
{
    return platform::decodeFileName(native);
}

inline QByteArray native(const QString& path)
{
    return platform::encodeFileName(path);
}

inline bool makeFileAt(const QByteArray& path, const QByteArray& contents)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool ok = ::write(fd, contents.constData(), size_t(contents.size())) == contents.size();
    return ::close(fd) == 0 && ok;
}

inline bool makeFolderAt(const QByteArray& path)
{
    return ::mkdir(path.constData(), 0755) == 0;
}

inline bool existsAt(const QByteArray& path)
{
    struct ::stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

inline QByteArray readAt(const QByteArray& path)
{
    QByteArray bytes;
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return "<missing>";
    char buffer[4096];
    for (ssize_t n; (n = ::read(fd, buffer, sizeof buffer)) > 0;)
        bytes.append(buffer, n);
    ::close(fd);
    return bytes;
}

// The names in a folder, sorted, without "." and "..".
inline QByteArrayList namesIn(const QByteArray& folder)
{
    QByteArrayList names;
    DIR* dir = ::opendir(folder.constData());
    while (dir) {
        const dirent* e = ::readdir(dir);
        if (!e) {
            ::closedir(dir);
            break;
        }
        const QByteArray name(e->d_name);
        if (name != "." && name != "..")
            names.append(name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace nativetest
