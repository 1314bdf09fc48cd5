#pragma once

#include "tags/ID3v2Frame.h"
#include "tags/TagImage.h"
#include "tags/Text.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The pictures of an ID3v2 tag ("APIC"; "PIC" in version 2.2) and the one a
// player shows for the file: the front cover.
namespace tags {

// A picture frame larger than this is reported but never loaded: a tag may
// declare anything, and no cover needs more.
constexpr std::uint32_t MaxPictureFrame = 32u << 20;
constexpr std::uint8_t FrontCoverType = 3;

struct Picture {
    std::string mime;      // as stored; a v2.2 "JPG" reads as "image/jpeg", "PNG" as "image/png"
    std::uint8_t type = 0; // FrontCoverType for the front cover
    Text description;
    std::string data;            // the image's bytes; empty when tooLarge
    std::uint64_t frameSize = 0; // the frame's data as stored
    bool tooLarge = false;       // over MaxPictureFrame: there, but not read
};

// The front cover of the file's ID3v2 tag: the first picture of type 3, else
// the first picture. Compressed and encrypted frames are skipped, and nothing
// beyond the tag is read. nullopt when there is none, or the file or its tag
// cannot be read.
std::optional<Picture> frontCover(const std::string& path);
// The same from the head of a file's tag image.
std::optional<Picture> frontCover(const TagImage& image);

// What a save does to the front cover (TID3v2::RenderCoverHead): puts a new
// one (type 3, an empty description, encoding 0x00) in place of the first
// picture of type 3, or after the other frames, never over a picture of
// another type; or removes the picture frontCover gives, the one shown.
struct CoverEdit {
    bool remove = false;
    std::string mime; // of the new picture: "image/jpeg" or "image/png"
    std::string data;
};

namespace id3v2 {

// Where the front cover is among frames in version 2.3 form, by the rule of
// frontCover; nullopt for none.
std::optional<std::size_t> frontCoverIndex(const std::vector<Frame>& frames);
// The first picture of type 3 alone: the one a new front cover replaces.
std::optional<std::size_t> typedFrontCoverIndex(const std::vector<Frame>& frames);

// The new picture's frame.
Frame coverFrame(const CoverEdit& edit);

} // namespace id3v2

} // namespace tags
