#include "tags/MpegAudio.h"

#include "tags/FileIo.h"

#include <sys/stat.h>

namespace tags {

namespace {

// Audio is looked for this far: a file without a tag has its first frame
// at its start, after some junk at most.
constexpr std::size_t kSearched = 64 * 1024;
constexpr std::size_t kTrailer = 128;

bool isFrameHeader(unsigned char b0, unsigned char b1, unsigned char b2)
{
    const unsigned version = (b1 >> 3) & 0x3;
    const unsigned layer = (b1 >> 1) & 0x3;
    const unsigned bitRate = b2 >> 4;
    const unsigned sampleRate = (b2 >> 2) & 0x3;
    return b0 == 0xFF && (b1 & 0xE0) == 0xE0 && version != 1 && layer != 0 && bitRate != 0 &&
           bitRate != 0xF && sampleRate != 3;
}

} // namespace

bool holdsMpegFrameHeader(std::string_view bytes)
{
    for (std::size_t i = 0; i + 2 < bytes.size(); ++i) {
        if (isFrameHeader(static_cast<unsigned char>(bytes[i]),
                          static_cast<unsigned char>(bytes[i + 1]),
                          static_cast<unsigned char>(bytes[i + 2])))
            return true;
    }
    return false;
}

std::optional<bool> holdsMpegAudio(const std::string& fileName)
{
    struct stat st {};
    const FileDescriptor fd = openForReading(fileName, st);
    if (!fd)
        return std::nullopt;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    const auto first = readAt(fd.get(), 0, 10);
    if (!first)
        return std::nullopt;
    if (first->compare(0, 3, "ID3") == 0)
        return true;
    if (size >= kTrailer) {
        const auto trailer = readAt(fd.get(), size - kTrailer, 3);
        if (!trailer)
            return std::nullopt;
        if (*trailer == "TAG")
            return true;
    }
    const auto searched = readAt(fd.get(), 0, kSearched);
    if (!searched)
        return std::nullopt;
    return holdsMpegFrameHeader(*searched);
}

} // namespace tags
