#pragma once

#include <optional>
#include <string>
#include <string_view>

// Whether a file holds MPEG audio at all: a ".mp3" that is a text file or a
// picture gets no tag written into it.
namespace tags {

// Whether the bytes hold an MPEG audio frame: a header (eleven set sync bits,
// a known version, layer, bit rate and sampling rate) followed, after the
// frame's length, by another header or by the end of the bytes.
bool holdsMpegFrame(std::string_view bytes);

// Whether the file holds an ID3v2 or ID3v1 tag, or an MPEG audio frame in
// its first 64 KiB; nullopt when it cannot be read.
std::optional<bool> holdsMpegAudio(const std::string& fileName);

} // namespace tags
