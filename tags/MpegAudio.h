#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whether a file holds MPEG audio at all: a ".mp3" that is a text file or a
// picture gets no tag written into it.
namespace tags {

// Whether the bytes hold an MPEG audio frame header: eleven set sync bits, a
// known version and layer, a bit rate other than "free" or "bad", and a
// known sampling rate.
bool holdsMpegFrameHeader(std::string_view bytes);

// Whether the file holds an ID3v2 or ID3v1 tag, or an MPEG audio frame
// header in its first 64 KiB; nullopt when it cannot be read.
std::optional<bool> holdsMpegAudio(const std::string& fileName);

} // namespace tags
