#pragma once

// Music files and their tag changes for the tests of the journal, undo and
// crash recovery. Paths are native byte strings, so that a name that is not
// UTF-8 is made and read whole.

#include "tags/TagImage.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/NativeNameFiles.h"

#include <QByteArray>

#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace journalfiles {

// An ID3v2.3 tag of exactly `size` bytes holding the title.
inline QByteArray tagOfSize(const QByteArray& title, int size)
{
    const QByteArray frames = testsupport::frame23("TIT2", testsupport::textData(0, title));
    return testsupport::id3v2Tag(3, frames, size - 10 - int(frames.size()));
}

inline QByteArray music(const QByteArray& head, const QByteArray& tail = {})
{
    return head + testsupport::silentMpegFrames(4) + tail;
}

inline bool writeFile(const std::string& path, const QByteArray& bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    const bool whole = ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && whole;
}

// Bytes over the file's own from `offset`: half a write, as a crash leaves it.
inline bool writeAt(const std::string& path, const QByteArray& bytes, off_t offset)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool whole =
        ::pwrite(fd, bytes.constData(), std::size_t(bytes.size()), offset) == bytes.size();
    return ::close(fd) == 0 && whole;
}

// Writes the file from a process of its own, as another program does.
inline bool writeFromAnotherProcess(const std::string& path, const QByteArray& bytes)
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(writeFile(path, bytes) ? 0 : 1);
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

inline QByteArray readFile(const std::string& path)
{
    return nativetest::readAt(QByteArray::fromStdString(path));
}

inline bool exists(const std::string& path)
{
    struct ::stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

// The change of the file's tags to `head` and `tail`, as a command makes it.
inline tags::TagChange changeTo(const std::string& path, const QByteArray& head,
                                const QByteArray& tail)
{
    auto change = tags::beginChange(path);
    if (!change)
        throw std::runtime_error("cannot read " + path);
    change->setHead(head.toStdString());
    change->setTail(tail.toStdString());
    return *change;
}

} // namespace journalfiles
