#pragma once

#include "tags/ID3v2FrameList.h"
#include "tags/ID3v2Pictures.h"
#include "tags/TagImage.h"
#include "tags/Text.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tags::id3v2 {
class TagBytes;
struct Header;
} // namespace tags::id3v2

// The ID3v2 tag at the start of one file: versions 2.2, 2.3 and 2.4 are read,
// version 2.3 is written. Each text says whether it is legacy bytes (a frame
// declaring ISO-8859-1, which in practice means some code page) or Unicode,
// read from UTF-16 or UTF-8 into UTF-8.
class TID3v2 {
public:
    // Legacy bytes of a code page to UTF-8.
    using LegacyConverter = std::function<std::string(std::string_view legacyBytes)>;

    TID3v2();

    // Resets the object, then reads the tag. True whenever the file's first
    // 10 bytes could be read, whether or not a tag is there.
    bool ReadFromFile(const std::string& FileName);
    // The same from the file's image (tags/TagImage.h), read once for a
    // change: false, nothing read, when the image has no head, which a file
    // whose tag declares more than it holds also gives (ReadFromFile then).
    bool ReadFromImage(const tags::TagImage& image);

    // Writes the texts as a new v2.3 tag in place of the file's old one,
    // keeping every other frame of the old tag and every byte after it. The
    // seven fields of the first line below always get a frame, the others
    // only when they have a text (an empty one removes the frame). A text
    // equal to the file's own keeps its frame as it is; another is written
    // under encoding 0x00 when it is legacy or ASCII, as UTF-16 with a
    // byte-order mark when it is other Unicode. The new file is written as
    // FileName + ".tdexbak" and renamed over the old one only when complete,
    // so that a failure leaves the file as it was (and removes the copy).
    // False for a file the user cannot write, for a full disk, for a tag with
    // frames the new one could not carry and for a Unicode text that is not
    // UTF-8; other errors of the operating system throw std::system_error.
    // Neither resets nor updates the object.
    bool SaveToFile(const std::string& FileName);

    // Rewrites the file's tag as SaveToFile does, its texts as they are, but
    // with every legacy string of the kinds of frame LegacyTexts() lists (of
    // any size) converted by toUtf8 and written as Unicode, so that one of
    // ASCII only stays as it is; every other frame and every Unicode text
    // stays as it was. A tag without a legacy string to convert is left alone,
    // with true. False, the file unchanged, as for SaveToFile, and when toUtf8
    // gives bytes that are no UTF-8 or contain 0x00. `converted`, when given,
    // tells whether the file was rewritten. Neither reads nor updates the
    // object.
    static bool ConvertLegacyToUnicode(const std::string& FileName, const LegacyConverter& toUtf8,
                                       bool* converted = nullptr);

    // The head (tags/TagImage.h) SaveToFile would give a file whose tags are
    // `image`: the new tag takes the old one's room exactly when it fits
    // there, so that it can be written in place; otherwise it gets 2 KiB of
    // padding for the edits to come. With `cover`, the front cover is set or
    // removed as RenderCoverHead does it. nullopt where SaveToFile gives
    // false for the tag's content, and when Rewrite gives no text.
    std::optional<std::string> RenderHead(const tags::TagImage& image,
                                          const tags::CoverEdit* cover = nullptr) const;
    // The same for ConvertLegacyToUnicode; the old head when nothing is to be
    // converted (`changed` false).
    static std::optional<std::string> RenderConvertedHead(const tags::TagImage& image,
                                                          const LegacyConverter& toUtf8,
                                                          bool* changed = nullptr);
    // The head with the front cover (tags/ID3v2Pictures.h) set or removed as
    // `edit` says, the texts and every other frame as they are, laid out as
    // RenderHead lays them out; a file without a tag gets one. The old head
    // when there is no cover to remove; nullopt where RenderHead gives it.
    static std::optional<std::string> RenderCoverHead(const tags::TagImage& image,
                                                      const tags::CoverEdit& edit);

    // The head with the frames changed as `edits` says (tags/ID3v2FrameList.h),
    // laid out as RenderHead lays it out; the fields' texts are those of the
    // edited frames, so that every frame the edits do not name stays byte for
    // byte, and a field none of them holds gets no frame (a removed title is
    // gone, not left empty). A file without a tag gets one. nullopt for an
    // index that names no frame, and where RenderHead gives it.
    static std::optional<std::string> RenderFrameEdits(const tags::TagImage& image,
                                                       const tags::FrameEdits& edits);

    bool Exists() const { return exists_; }
    uint8_t VersionID() const { return versionID_; }
    // The whole tag in bytes, header included; 0 when the header declares
    // more than the file holds.
    int32_t Size() const { return size_; }

    // Every non-empty legacy string of the tag's text frames ("TXXX" with its
    // description), comments and lyrics (description and text), in the order
    // of the frames, ASCII ones included. Frames over 1 MiB are not read.
    const std::vector<tags::LegacyFrameText>& LegacyTexts() const { return legacyTexts_; }

    tags::Text Title, Artist, Album, Year, Genre, Comment;
    // "n" or "n/total" (tags/NumberPair.h), as stored.
    tags::Text Track, Disc;
    tags::Text AlbumArtist, Composer;
    // The text of the lyrics ("USLT"), the first frame with an empty
    // description or else the first; its language (three bytes, "XXX" for a
    // new frame) and description. A changed one replaces that frame; an empty
    // text removes it.
    tags::Text Lyrics;
    std::string LyricsLanguage = "XXX";
    tags::Text LyricsDescription;

    // How RenderHead and SaveToFile write the legacy strings of the old
    // tag's frames LegacyTexts() lists: unset, as they are; set, each one
    // that is not ASCII converted by `convert` and written as Unicode, or
    // with `unicode` false as the legacy bytes it gives, so that a tag is
    // written in one form throughout. A field whose text is set otherwise
    // is written as set.
    struct LegacyRewrite {
        LegacyConverter convert;
        bool unicode = true;
    };
    std::optional<LegacyRewrite> Rewrite;

private:
    void takeFields(tags::id3v2::TagBytes& bytes, const tags::id3v2::Header& header);

    bool exists_ = false;
    uint8_t versionID_ = 0;
    int32_t size_ = 0;
    std::vector<tags::LegacyFrameText> legacyTexts_;
};
