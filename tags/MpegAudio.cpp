#include "tags/MpegAudio.h"

#include "tags/FileIo.h"

#include <sys/stat.h>

namespace tags {

namespace {

// Audio is looked for this far: a file without a tag has its first frame
// at its start, after some junk at most.
constexpr std::size_t kSearched = 64 * 1024;
constexpr std::size_t kTrailer = 128;

// The bytes of the frame whose header starts at `at`; 0 for no header.
std::size_t frameLength(std::string_view bytes, std::size_t at)
{
    if (at + 3 > bytes.size())
        return 0;
    const auto byte = [&](std::size_t k) {
        return static_cast<unsigned char>(bytes[at + k]);
    };
    const unsigned version = (byte(1) >> 3) & 0x3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const unsigned layer = (byte(1) >> 1) & 0x3;   // 0: reserved, 1: III, 2: II, 3: I
    const unsigned bitRate = byte(2) >> 4;
    const unsigned sampleRate = (byte(2) >> 2) & 0x3;
    if (byte(0) != 0xFF || (byte(1) & 0xE0) != 0xE0 || version == 1 || layer == 0 || bitRate == 0 ||
        bitRate == 0xF || sampleRate == 3)
        return 0;
    // kbit/s by layer (I, II, III) for MPEG-1, then for MPEG-2 and 2.5.
    static constexpr unsigned kRates[2][3][15] = {
        {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
         {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
         {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
        {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
         {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}}};
    static constexpr unsigned kSampleRates[3] = {44100, 48000, 32000};
    const bool mpeg1 = version == 3;
    const unsigned rate = kRates[mpeg1 ? 0 : 1][3 - layer][bitRate] * 1000;
    const unsigned samples = kSampleRates[sampleRate] >> (mpeg1 ? 0 : version == 2 ? 1 : 2);
    const unsigned padding = (byte(2) >> 1) & 0x1;
    if (layer == 3)
        return (12 * rate / samples + padding) * 4;
    return (layer == 1 && !mpeg1 ? 72 : 144) * rate / samples + padding;
}

} // namespace

bool holdsMpegFrame(std::string_view bytes)
{
    for (std::size_t at = 0; at + 2 < bytes.size(); ++at) {
        const std::size_t length = frameLength(bytes, at);
        // A frame that runs to the end of the bytes counts; one that does
        // not is followed by the next frame's header.
        if (length > 0 && (at + length >= bytes.size() || frameLength(bytes, at + length) > 0))
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
    return holdsMpegFrame(*searched);
}

} // namespace tags
