#include "tags/TagImage.h"

#include "tags/APEv2.h"
#include "tags/FileIo.h"
#include "tags/ID3v2Frame.h"
#include "tags/StaleCopies.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <system_error>
#include <unistd.h>

namespace tags {

namespace {

constexpr std::size_t TrailerSize = 128;

// The APEv2 tag that ends where the image's trailer begins, into `image`.
// False, errno set, for one too large to load.
bool readApe(int fd, TagImage& image)
{
    auto tag = findApeTag(fd, image.size, image.head.size());
    if (!tag)
        return true;
    if (tag->offset + tag->size != image.size - image.tail.size())
        return true;
    if (tag->bytes.size() != tag->size) {
        errno = EFBIG;
        return false;
    }
    image.ape = std::move(tag->bytes);
    return true;
}

std::optional<TagImage> imageOf(int fd, std::uint64_t size, bool ape)
{
    TagImage image;
    image.size = size;
    const auto first = readAt(fd, 0, id3v2::HeaderSize);
    if (!first)
        return std::nullopt;
    if (const auto header = id3v2::parseHeader(*first)) {
        const std::uint64_t region = id3v2::tagSize(*header, size);
        auto head = readAt(fd, 0, static_cast<std::size_t>(region));
        if (!head)
            return std::nullopt;
        image.head = std::move(*head);
    }
    if (size >= image.head.size() + TrailerSize) {
        auto tail = readAt(fd, size - TrailerSize, TrailerSize);
        if (!tail)
            return std::nullopt;
        // The end of an APEv2 tag may hold "TAG" there: it is no trailer.
        if (tail->size() == TrailerSize && tail->compare(0, 3, "TAG") == 0 &&
            !endsWithApeFooter(fd, size))
            image.tail = std::move(*tail);
    }
    if (ape && !readApe(fd, image))
        return std::nullopt;
    return image;
}

// Whether the file holds the image: its size, and the bytes where the image
// has its head and its trailer. Raw bytes, so that a torn head is no match.
bool holds(int fd, const TagImage& image)
{
    struct stat st {};
    if (::fstat(fd, &st) != 0 || std::uint64_t(st.st_size) != image.size)
        return false;
    const auto head = readAt(fd, 0, image.head.size());
    if (!head || *head != image.head)
        return false;
    const std::string end = image.ape + image.tail;
    if (end.empty())
        return true;
    const auto tail = readAt(fd, image.size - end.size(), end.size());
    return tail && *tail == end;
}

WriteOutcome failed(int error)
{
    return {isOutOfRoom(error) ? WriteResult::NoRoom : WriteResult::Failed, error};
}

// The trailer of `to` where `from` has its own (or none): written over it,
// appended or cut off. 0, or the errno of the failure.
int writeTail(int fd, const TagImage& from, const TagImage& to)
{
    if (!to.tail.empty()) {
        if (to.tail == from.tail)
            return 0;
        return writeAllAt(fd, to.tail, to.size - to.tail.size());
    }
    if (from.tail.empty())
        return 0;
    return ::ftruncate(fd, off_t(to.size)) == 0 ? 0 : errno;
}

bool isWritable(const std::string& path)
{
    // A rename would pass over the file's own permissions: a file the user
    // could not write, or could not replace in its folder, is not written.
    return !isReadOnly(path) && !isReadOnly(folderOf(path));
}

bool copyRange(int fd, std::uint64_t from, std::uint64_t length, FileReplacement& copy)
{
    constexpr std::size_t Buffer = 1 << 20;
    while (length > 0) {
        const auto chunk = readAt(fd, from, std::size_t(std::min<std::uint64_t>(Buffer, length)));
        if (!chunk)
            throw std::system_error(errno, std::generic_category(), "read");
        if (chunk->empty())
            throw std::system_error(EIO, std::generic_category(), "file shrank");
        if (!copy.write(*chunk))
            return false;
        from += chunk->size();
        length -= chunk->size();
    }
    return true;
}

} // namespace

std::optional<TagImage> readTagImage(const std::string& path, bool ape)
{
    struct stat st {};
    const FileDescriptor fd = openForReading(path, st);
    if (!fd)
        return std::nullopt;
    return imageOf(fd.get(), std::uint64_t(st.st_size), ape);
}

TagChange::TagChange(std::string path, TagImage before)
    : path_(std::move(path)), before_(std::move(before)), after_(before_)
{
}

void TagChange::setHead(std::string head)
{
    after_.head = std::move(head);
    resize();
}

void TagChange::setTail(std::string tail)
{
    after_.tail = std::move(tail);
    resize();
}

void TagChange::setApe(std::string ape)
{
    after_.ape = std::move(ape);
    resize();
}

void TagChange::resize()
{
    after_.size = before_.audioSize() + after_.head.size() + after_.ape.size() + after_.tail.size();
}

TagChange TagChange::reversed() const
{
    TagChange back;
    back.path_ = path_;
    back.before_ = after_;
    back.after_ = before_;
    return back;
}

std::optional<TagChange> beginChange(const std::string& path, bool ape)
{
    // A stale copy goes even when the change is never written.
    removeStaleCopy(path);
    const auto target = resolvedTarget(path);
    if (!target)
        return std::nullopt;
    auto image = readTagImage(*target, ape);
    if (!image)
        return std::nullopt;
    return TagChange(*target, std::move(*image));
}

WriteOutcome writeInPlace(const TagChange& change)
{
    if (!change.inPlace())
        return {WriteResult::Failed, EINVAL};
    if (isReadOnly(change.path()))
        return {WriteResult::Failed, EACCES};
    FileDescriptor fd = openFile(change.path(), O_RDWR | O_NOFOLLOW);
    if (!fd)
        return failed(errno);
    if (!holds(fd.get(), change.before()))
        return {WriteResult::Unchanged, 0};
    const auto startedFailing = [](int error) {
        WriteOutcome outcome = failed(error);
        outcome.started = true;
        return outcome;
    };
    // The trailer first: only an append can run out of room, and then the
    // head is still the old one.
    if (const int error = writeTail(fd.get(), change.before(), change.after()); error != 0) {
        writeTail(fd.get(), change.after(), change.before());
        return startedFailing(error);
    }
    // Only the bytes that differ: a retitling leaves a cover after it where
    // it was, and its bytes need not go to the disk again.
    const std::string_view oldHead = change.before().head;
    const std::string_view newHead = change.after().head;
    std::size_t first = 0;
    std::size_t end = newHead.size();
    while (first < end && oldHead[first] == newHead[first])
        ++first;
    while (end > first && oldHead[end - 1] == newHead[end - 1])
        --end;
    if (first < end) {
        if (const int error = writeAllAt(fd.get(), newHead.substr(first, end - first), first);
            error != 0) {
            writeAllAt(fd.get(), change.before().head, 0);
            writeTail(fd.get(), change.after(), change.before());
            return startedFailing(error);
        }
    }
    if (const int error = fd.close(); error != 0)
        return startedFailing(error);
    return {WriteResult::Written, 0};
}

WriteOutcome writeStaged(const TagChange& change)
{
    if (!isWritable(change.path()))
        return {WriteResult::Failed, EACCES};
    try {
        struct stat st {};
        const FileDescriptor fd = openForReading(change.path(), st);
        if (!fd)
            return failed(errno);
        if (!holds(fd.get(), change.before()))
            return {WriteResult::Unchanged, 0};
        FileReplacement copy(change.path(), change.path() + std::string(CopySuffix), st);
        const TagImage& before = change.before();
        const bool done = copy.write(change.after().head) &&
                          copyRange(fd.get(), before.head.size(), before.audioSize(), copy) &&
                          copy.write(change.after().ape) && copy.write(change.after().tail) &&
                          copy.commit();
        return done ? WriteOutcome{WriteResult::Written, 0} : failed(ENOSPC);
    } catch (const std::system_error& e) {
        return failed(e.code().value());
    }
}

WriteOutcome spliceStaged(const std::string& path, std::uint64_t offset, std::string_view expected,
                          std::string_view replacement)
{
    if (!isWritable(path))
        return {WriteResult::Failed, EACCES};
    try {
        struct stat st {};
        const FileDescriptor fd = openForReading(path, st);
        if (!fd)
            return failed(errno);
        const auto size = std::uint64_t(st.st_size);
        const auto there = readAt(fd.get(), offset, expected.size());
        if (offset > size || !there || *there != expected)
            return {WriteResult::Unchanged, 0};
        FileReplacement copy(path, path + std::string(CopySuffix), st);
        const std::uint64_t after = offset + expected.size();
        const bool done = copyRange(fd.get(), 0, offset, copy) && copy.write(replacement) &&
                          copyRange(fd.get(), after, size - after, copy) && copy.commit();
        return done ? WriteOutcome{WriteResult::Written, 0} : failed(ENOSPC);
    } catch (const std::system_error& e) {
        return failed(e.code().value());
    }
}

ImageMatch matchImage(const TagChange& change)
{
    struct stat st {};
    const FileDescriptor fd = openForReading(change.path(), st);
    if (!fd)
        return ImageMatch::Unreadable;
    // Both images are checked against one read of the file's two ends.
    const TagImage& after = change.after();
    const TagImage& before = change.before();
    const auto size = std::uint64_t(st.st_size);
    const auto head = readAt(fd.get(), 0, std::max(after.head.size(), before.head.size()));
    const std::string afterEnd = after.ape + after.tail;
    const std::string beforeEnd = before.ape + before.tail;
    const std::size_t endSize = std::max({TrailerSize, afterEnd.size(), beforeEnd.size()});
    const auto last = readAt(fd.get(), size - std::min<std::uint64_t>(size, endSize), endSize);
    if (!head || !last)
        return ImageMatch::Unreadable;
    const auto holdsImage = [&](const TagImage& image, const std::string& end) {
        return size == image.size && head->size() >= image.head.size() &&
               head->compare(0, image.head.size(), image.head) == 0 && last->size() >= end.size() &&
               last->compare(last->size() - end.size(), end.size(), end) == 0;
    };
    if (holdsImage(after, afterEnd))
        return ImageMatch::After;
    if (holdsImage(before, beforeEnd))
        return ImageMatch::Before;
    return ImageMatch::Neither;
}

bool holdsMixOf(const TagChange& change)
{
    const TagImage& before = change.before();
    const TagImage& after = change.after();
    if (!change.inPlace())
        return false;
    struct stat st {};
    const FileDescriptor fd = openForReading(change.path(), st);
    if (!fd)
        return false;
    const auto size = std::uint64_t(st.st_size);
    if (size < std::min(before.size, after.size) || size > std::max(before.size, after.size) ||
        (size != before.size && size != after.size && before.tail.empty() == after.tail.empty()))
        return false;
    // The trailer region begins where the audio ends, the same place in both.
    const std::uint64_t audioEnd = before.size - before.tail.size();
    if (size < audioEnd)
        return false;
    const auto head = readAt(fd.get(), 0, before.head.size());
    const auto tail = readAt(fd.get(), audioEnd, std::size_t(size - audioEnd));
    if (!head || !tail || head->size() != before.head.size())
        return false;
    const auto isMix = [](const std::string& bytes, const std::string& a, const std::string& b) {
        for (std::size_t i = 0; i < bytes.size(); ++i) {
            if (!(i < a.size() && a[i] == bytes[i]) && !(i < b.size() && b[i] == bytes[i]))
                return false;
        }
        return true;
    };
    return isMix(*head, before.head, after.head) && isMix(*tail, before.tail, after.tail);
}

bool restoreImage(const std::string& path, const TagImage& image)
{
    FileDescriptor fd = openFile(path, O_RDWR | O_NOFOLLOW);
    if (!fd)
        return false;
    if (writeAllAt(fd.get(), image.head, 0) != 0)
        return false;
    if (!image.tail.empty() &&
        writeAllAt(fd.get(), image.tail, image.size - image.tail.size()) != 0)
        return false;
    if (::ftruncate(fd.get(), off_t(image.size)) != 0 || ::fsync(fd.get()) != 0)
        return false;
    return fd.close() == 0;
}

bool syncFileSystem(const std::string& path)
{
    FileDescriptor fd = openFile(path, O_RDONLY | O_NONBLOCK);
    if (!fd)
        fd = openFile(folderOf(path), O_RDONLY | O_DIRECTORY);
    return fd && ::syncfs(fd.get()) == 0;
}

} // namespace tags
