#include "tags/ID3v2Pictures.h"

#include "tags/FileIo.h"
#include "tags/TextCodec.h"

#include <string_view>
#include <sys/stat.h>

namespace tags {

using namespace id3v2;

namespace {

// The header and, for most tags, the frames before the pictures, in one read.
constexpr std::size_t FirstRead = 4096;
// A MIME type longer than this is no picture's. Deciding it from a bounded
// start keeps a frame too large to load and a loaded one the same picture.
constexpr std::size_t MaxMimeType = 255;
// What is loaded of a frame too large to read: enough for its MIME type and
// picture type even when unsynchronisation doubled every byte.
constexpr std::size_t HeadOfLargeFrame = 2 * (MaxMimeType + 16);

// Where the parts of a picture frame's data (v2.3 form) are.
struct PictureHead {
    std::uint8_t encoding = Latin1;
    std::string mime;
    std::uint8_t type = 0;
    std::size_t descriptionAt = 0;
};

// Encoding, MIME type and picture type; nullopt for a frame that holds no
// picture we can read.
std::optional<PictureHead> pictureHeadOf(const Frame& frame)
{
    if (frame.id != "APIC" || frame.compressed() || frame.encrypted())
        return std::nullopt;
    const std::string_view data = frame.data;
    const std::size_t start = frame.grouped() ? 1 : 0; // the group's byte comes first
    const std::size_t mimeAt = start + 1;
    const std::size_t mimeEnd = data.find('\0', mimeAt);
    if (mimeEnd == std::string_view::npos || mimeEnd - mimeAt > MaxMimeType ||
        mimeEnd + 1 >= data.size())
        return std::nullopt;
    PictureHead head;
    head.encoding = static_cast<std::uint8_t>(data[start]);
    head.mime = std::string(data.substr(mimeAt, mimeEnd - mimeAt));
    head.type = static_cast<std::uint8_t>(data[mimeEnd + 1]);
    head.descriptionAt = mimeEnd + 2;
    return head;
}

// The picture of a frame loaded whole: the description ends at its
// encoding's terminator, the image's bytes follow it.
Picture pictureOf(const Frame& frame, const PictureHead& head, std::uint32_t storedSize)
{
    Picture picture{head.mime, head.type, {}, {}, storedSize, false};
    const std::string_view rest = std::string_view(frame.data).substr(head.descriptionAt);
    const std::size_t end = findTerminator(rest, 0, head.encoding);
    picture.description = decodedText(rest.substr(0, end), head.encoding);
    if (end != std::string_view::npos)
        picture.data = std::string(rest.substr(end + terminatorSize(head.encoding)));
    return picture;
}

// The frame's picture, loaded unless it is too large; nullopt for a frame
// that is no picture, or one that cannot be read.
std::optional<Picture> storedPicture(TagBytes& bytes, const Header& header,
                                     const StoredFrame& stored)
{
    const bool tooLarge = stored.size > MaxPictureFrame;
    const std::size_t load = tooLarge ? HeadOfLargeFrame : stored.size;
    const char* data = bytes.view(stored.offset, load);
    if (!data)
        return std::nullopt;
    const auto frame = toV23Form(stored, std::string_view(data, load), header);
    const auto head = frame ? pictureHeadOf(*frame) : std::nullopt;
    if (!head)
        return std::nullopt;
    if (tooLarge)
        return Picture{head->mime, head->type, {}, {}, stored.size, true};
    return pictureOf(*frame, *head, stored.size);
}

std::optional<Picture> frontCoverIn(TagBytes& bytes, const Header& header)
{
    const auto begin = framesBegin(bytes, header);
    if (!begin)
        return std::nullopt;
    FrameWalker walker(bytes, header.major, *begin);
    StoredFrame stored;
    std::optional<Picture> first;
    while (walker.next(stored)) {
        if (v23Id(stored.id, header.major) != "APIC")
            continue;
        auto picture = storedPicture(bytes, header, stored);
        if (picture && picture->type == FrontCoverType)
            return picture;
        if (picture && !first)
            first = std::move(picture);
    }
    return first;
}

} // namespace

std::optional<Picture> frontCover(const std::string& path)
{
    struct stat st {};
    const FileDescriptor fd = openForReading(path, st);
    if (!fd)
        return std::nullopt;
    auto first = readAt(fd.get(), 0, FirstRead);
    const auto header = first ? parseHeader(*first) : std::nullopt;
    if (!header || !header->readable() || tagSize(*header, std::uint64_t(st.st_size)) == 0)
        return std::nullopt;
    auto bytes = openTag(fd.get(), std::move(*first), *header);
    return bytes ? frontCoverIn(*bytes, *header) : std::nullopt;
}

std::optional<Picture> frontCover(const TagImage& image)
{
    const auto header = parseHeader(image.head);
    if (!header || !header->readable())
        return std::nullopt;
    const std::uint64_t end = HeaderSize + header->declared;
    if (image.head.size() < end)
        return std::nullopt;
    auto bytes = openTag(-1, image.head.substr(0, static_cast<std::size_t>(end)), *header);
    return bytes ? frontCoverIn(*bytes, *header) : std::nullopt;
}

namespace id3v2 {

std::optional<std::size_t> frontCoverIndex(const std::vector<Frame>& frames)
{
    std::optional<std::size_t> first;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto head = pictureHeadOf(frames[i]);
        if (head && head->type == FrontCoverType)
            return i;
        if (head && !first)
            first = i;
    }
    return first;
}

std::optional<std::size_t> typedFrontCoverIndex(const std::vector<Frame>& frames)
{
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const auto head = pictureHeadOf(frames[i]);
        if (head && head->type == FrontCoverType)
            return i;
    }
    return std::nullopt;
}

Frame coverFrame(const CoverEdit& edit)
{
    // Encoding 0x00, the MIME type, the type, an empty description.
    std::string data(1, static_cast<char>(Latin1));
    data += edit.mime;
    data += '\0';
    data += static_cast<char>(FrontCoverType);
    data += '\0';
    data += edit.data;
    return Frame{"APIC", 0, std::move(data)};
}

} // namespace id3v2

} // namespace tags
