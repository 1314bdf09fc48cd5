#include "tags/APEv2.h"

#include "tags/FileIo.h"
#include "tags/ID3v2Frame.h"

#include <algorithm>
#include <cerrno>
#include <sys/stat.h>

namespace tags {

namespace {

constexpr std::size_t TrailerSize = 128;
// Value size, flags, a key of two characters and its terminator.
constexpr std::uint32_t MinItemSize = 11;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at)
{
    std::uint32_t v = 0;
    for (std::size_t i = 4; i-- > 0;)
        v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
    return v;
}

bool isKey(std::string_view key)
{
    return key.size() >= 2 && key.size() <= 255 &&
           std::all_of(key.begin(), key.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

// The tag whose footer starts at `footerAt`, located and loaded.
std::optional<ApeTag> tagWithFooterAt(int fd, std::uint64_t footerAt, std::uint64_t headEnd)
{
    const auto raw = readAt(fd, footerAt, ApeFooterSize);
    if (!raw || raw->size() != ApeFooterSize)
        return std::nullopt;
    const auto footer = parseApeFooter(*raw);
    // The tag must lie behind the ID3v2 tag: its declared size is checked
    // against what is really there before anything is read by it.
    if (!footer || footerAt + ApeFooterSize < headEnd + footer->size)
        return std::nullopt;
    ApeTag tag;
    tag.footer = *footer;
    tag.offset = footerAt + ApeFooterSize - footer->size;
    tag.size = footer->size;
    if (footer->hasHeader() && tag.offset >= headEnd + ApeFooterSize) {
        const auto header = readAt(fd, tag.offset - ApeFooterSize, 8);
        if (header && *header == "APETAGEX") {
            tag.offset -= ApeFooterSize;
            tag.size += ApeFooterSize;
        }
    }
    if (tag.size > MaxApeTag)
        return tag;
    auto bytes = readAt(fd, tag.offset, static_cast<std::size_t>(tag.size));
    if (!bytes || bytes->size() != tag.size)
        return std::nullopt;
    tag.bytes = std::move(*bytes);
    const std::size_t itemsAt = tag.size - footer->size;
    const std::string_view items =
        std::string_view(tag.bytes).substr(itemsAt, footer->size - ApeFooterSize);
    tag.items = parseApeItems(items, footer->itemCount, tag.itemsWhole);
    return tag;
}

// The tag of an open file, behind its ID3v2 tag, which is not searched.
std::optional<ApeTag> apeTagOf(int fd, std::uint64_t size)
{
    const auto first = readAt(fd, 0, id3v2::HeaderSize);
    if (!first)
        return std::nullopt;
    const auto header = id3v2::parseHeader(*first);
    return findApeTag(fd, size, header ? id3v2::tagSize(*header, size) : 0);
}

} // namespace

std::optional<ApeFooter> parseApeFooter(std::string_view bytes)
{
    if (bytes.size() < ApeFooterSize || bytes.substr(0, 8) != "APETAGEX")
        return std::nullopt;
    ApeFooter f;
    f.version = littleEndian(bytes, 8);
    f.size = littleEndian(bytes, 12);
    f.itemCount = littleEndian(bytes, 16);
    f.flags = littleEndian(bytes, 20);
    const std::string_view reserved = bytes.substr(24, 8);
    if ((f.version != 1000 && f.version != 2000) || f.size < ApeFooterSize ||
        f.itemCount > (f.size - ApeFooterSize) / MinItemSize || (f.flags & 0x20000000u) != 0 ||
        reserved.find_first_not_of('\0') != std::string_view::npos)
        return std::nullopt;
    return f;
}

std::vector<ApeItem> parseApeItems(std::string_view bytes, std::uint32_t count, bool& whole)
{
    std::vector<ApeItem> items;
    whole = false;
    std::size_t pos = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (bytes.size() - pos < 8)
            return items;
        const std::uint32_t valueSize = littleEndian(bytes, pos);
        const std::uint32_t flags = littleEndian(bytes, pos + 4);
        const std::size_t keyAt = pos + 8;
        const std::size_t keyEnd = bytes.find('\0', keyAt);
        if (keyEnd == std::string_view::npos || !isKey(bytes.substr(keyAt, keyEnd - keyAt)))
            return items;
        // The value must lie within the items: its size is never trusted.
        if (valueSize > bytes.size() - (keyEnd + 1))
            return items;
        items.push_back({std::string(bytes.substr(keyAt, keyEnd - keyAt)),
                         std::string(bytes.substr(keyEnd + 1, valueSize)), flags});
        pos = keyEnd + 1 + valueSize;
    }
    whole = pos == bytes.size();
    return items;
}

std::optional<ApeTag> findApeTag(int fd, std::uint64_t fileSize, std::uint64_t headEnd)
{
    if (fileSize < headEnd + ApeFooterSize)
        return std::nullopt;
    if (auto atEnd = tagWithFooterAt(fd, fileSize - ApeFooterSize, headEnd))
        return atEnd;
    if (fileSize < headEnd + TrailerSize + ApeFooterSize)
        return std::nullopt;
    const auto trailer = readAt(fd, fileSize - TrailerSize, 3);
    if (!trailer || *trailer != "TAG")
        return std::nullopt;
    return tagWithFooterAt(fd, fileSize - TrailerSize - ApeFooterSize, headEnd);
}

std::optional<ApeTag> readApeTag(const std::string& path)
{
    struct stat st {};
    const FileDescriptor fd = openForReading(path, st);
    if (!fd)
        return std::nullopt;
    return apeTagOf(fd.get(), std::uint64_t(st.st_size));
}

WriteOutcome removeApeTag(const std::string& path, ApeTag* removed)
{
    const auto target = resolvedTarget(path);
    if (!target)
        return {WriteResult::Failed, errno};
    struct stat st {};
    const FileDescriptor fd = openForReading(*target, st);
    if (!fd)
        return {WriteResult::Failed, errno};
    auto tag = apeTagOf(fd.get(), std::uint64_t(st.st_size));
    if (!tag)
        return {WriteResult::Written, 0};
    if (tag->bytes.empty())
        return {WriteResult::Failed, EFBIG};
    const WriteOutcome outcome = spliceStaged(*target, tag->offset, tag->bytes, {});
    if (removed && outcome.written())
        *removed = std::move(*tag);
    return outcome;
}

bool endsWithApeFooter(int fd, std::uint64_t fileSize)
{
    if (fileSize < ApeFooterSize)
        return false;
    const auto raw = readAt(fd, fileSize - ApeFooterSize, ApeFooterSize);
    if (!raw || raw->size() != ApeFooterSize)
        return false;
    const auto footer = parseApeFooter(*raw);
    return footer && footer->size <= fileSize;
}

} // namespace tags
