#pragma once

#include "tags/ID3v2Frame.h"
#include "tags/TagImage.h"
#include "tags/Text.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Every frame of an ID3v2 tag as a list shows it, and the frames a user adds
// to one: the ground of a frame dialog and of a command that lists frames.
namespace tags {

struct FrameSummary {
    std::size_t index = 0; // position among the tag's frames, as FrameEdits counts
    std::string id;        // in version 2.3 form ("TT2" of a v2.2 tag is "TIT2")
    std::string name;      // its Chinese name in UTF-8; empty for one we do not name
    Text description;      // "TXXX", "WXXX", "COMM", "USLT"
    std::string language;  // "COMM", "USLT": the three bytes as stored
    Text text; // the text, the URL, or a summary such as "封面, JPEG 800×800, 217 KB"
    std::uint64_t size = 0; // of the frame's data as stored
    // Whether text shows what the frame holds. A frame we cannot show (one we
    // do not know, a compressed or encrypted one) has its bytes in `data`,
    // in version 2.3 form, and is kept as it is.
    bool shown = false;
    std::string data;
};

// The frames of the tag in the image's head, in the tag's order. Empty for a
// file without a tag, or with one of a version we cannot read.
std::vector<FrameSummary> listFrames(const TagImage& image);

// The Chinese name of a frame ID (version 2.3 form), UTF-8; empty when unknown.
std::string frameName(std::string_view id);

// "JPEG 800×800, 217 KB": the picture's format, its size as its header
// declares it (left out when that cannot be read) and its bytes.
std::string pictureSummary(std::string_view mime, std::string_view data);

namespace id3v2 {

// New frames, their texts written as the tag's fields are (tags/TextCodec.h:
// legacy bytes and ASCII under 0x00, other Unicode as UTF-16). nullopt for an
// ID of the wrong kind, Unicode that is not UTF-8, a string holding 0x00, a
// legacy description under a Unicode text, or a URL that is not ASCII.
// A text frame "T***" other than "TXXX".
std::optional<Frame> newTextFrame(std::string_view id, const Text& text);
// "TXXX": a description and a text.
std::optional<Frame> newUserTextFrame(const Text& description, const Text& text);
// "COMM" of a language (three letters; "XXX" for any other).
std::optional<Frame> newCommentFrame(std::string_view language, const Text& description,
                                     const Text& text);
// A URL frame "W***" other than "WXXX": the URL alone.
std::optional<Frame> newUrlFrame(std::string_view id, std::string_view url);
// "WXXX": a description and a URL.
std::optional<Frame> newUserUrlFrame(const Text& description, std::string_view url);

} // namespace id3v2

// Changes to a tag's frames, by their index in listFrames: removed, replaced
// where they stand, and new ones after all others. Every frame not named
// stays byte for byte (TID3v2::RenderFrameEdits).
struct FrameEdits {
    std::vector<std::size_t> removed;
    std::vector<std::pair<std::size_t, id3v2::Frame>> replaced;
    std::vector<id3v2::Frame> added;
};

} // namespace tags
