#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The bytes of a file that hold its tags, and the writing of new ones. A
// change of tags never touches the audio between the two regions, so the
// regions are all it takes to make, check or take back a change.
namespace tags {

struct TagImage {
    std::string head;       // the ID3v2 tag with its padding; empty when the file has none
    std::string tail;       // the 128-byte ID3v1 trailer; empty when the file has none
    std::uint64_t size = 0; // the whole file
    // The APEv2 tag (tags/APEv2.h) just in front of the trailer, held only by
    // an image read for a change that cuts it off or puts it back: elsewhere
    // its bytes are part of the audio, which no change touches.
    std::string ape;

    bool operator==(const TagImage&) const = default;
    std::uint64_t audioSize() const { return size - head.size() - ape.size() - tail.size(); }
};

// Reads the image of a regular file (a link is followed). The head is the
// region the ID3v2 header declares (none when it declares more than the file
// holds); the tail, the last 128 bytes when they begin with "TAG", lie
// behind the head and do not end in an APEv2 footer (tags/APEv2.h). With
// `ape`, the APEv2 tag in front of the trailer too, when there is one.
// nullopt, with errno set, when the file cannot be read, or (EFBIG) when an
// APEv2 tag asked for is too large to load.
std::optional<TagImage> readTagImage(const std::string& path, bool ape = false);

// One file's tags before and after a change.
class TagChange {
public:
    TagChange() = default;
    // A change of the file that holds `before`; nothing changed yet.
    TagChange(std::string path, TagImage before);

    const std::string& path() const { return path_; }
    const TagImage& before() const { return before_; }
    const TagImage& after() const { return after_; }

    void setHead(std::string head);
    void setTail(std::string tail); // empty: the trailer goes
    void setApe(std::string ape);   // empty: the APEv2 tag goes

    bool changes() const { return before_ != after_; }
    // The new head takes the old one's room exactly, and the audio stays
    // where it ends: nothing is moved.
    bool inPlace() const
    {
        return before_.head.size() == after_.head.size() && before_.ape == after_.ape;
    }
    TagChange reversed() const;

private:
    void resize();

    std::string path_; // a link's target, the file that is written
    TagImage before_;
    TagImage after_;
};

// Reads the file for a change, with its APEv2 tag when `ape` asks (see
// readTagImage): nullopt, errno set, when it cannot be read.
std::optional<TagChange> beginChange(const std::string& path, bool ape = false);

enum class WriteResult {
    Written,
    Unchanged, // the file no longer holds `before`: nothing was written
    NoRoom,    // the disk took no more; the file is as it was
    Failed,    // the system refused (`error` tells); the file is as it was, but
               // for an in-place write it may be torn (see restoreImage)
};
struct WriteOutcome {
    WriteResult result = WriteResult::Failed;
    int error = 0; // errno for Failed
    // A write in place had begun to change the file's bytes when it failed:
    // the file may be torn. Never set for a staged write, nor for Unchanged.
    bool started = false;
    bool written() const { return result == WriteResult::Written; }
};

// Writes an in-place change where the file is: the head over the old one, the
// trailer over the old one, appended or cut off; the file is first checked to
// hold `before`. One write per region; nothing is flushed. Not safe against a
// crash by itself: the caller keeps `before` durably until the bytes are on
// disk (syncFileSystem), so that restoreImage can take back a torn write.
WriteOutcome writeInPlace(const TagChange& change);

// Writes any change through a copy beside the file, flushed and renamed over
// it (tags/FileIo.h): the file holds its old bytes or its new ones, whatever
// happens. The only way to cut off an APEv2 tag or put it back. Checked
// first like writeInPlace.
WriteOutcome writeStaged(const TagChange& change);

// Writes the file through a copy as writeStaged does, with the bytes
// `expected` at `offset` replaced by `replacement`: the way to cut a tag out
// of the audio region (an APEv2 tag) or to put it back. Unchanged when the
// file no longer holds `expected` there.
WriteOutcome spliceStaged(const std::string& path, std::uint64_t offset, std::string_view expected,
                          std::string_view replacement);

// Which of the two images the file holds now.
enum class ImageMatch { Before, After, Neither, Unreadable };
ImageMatch matchImage(const TagChange& change);

// Whether the file is what a write in place between the change's two images,
// cut short, can leave: its size is one of theirs (or between them, where a
// trailer was being appended), and every byte of its head region and of its
// trailer region is the one image's or the other's at that place. Anything
// else is another program's doing and is not to be put back.
bool holdsMixOf(const TagChange& change);

// Puts back `image` over a file whose head region has the image's size (an
// in-place write to or from it was interrupted): the head, the trailer and
// the size. Flushed before it returns. True when done.
bool restoreImage(const std::string& path, const TagImage& image);

// Makes every write so far to the file system that holds `path` durable
// (syncfs). True when done.
bool syncFileSystem(const std::string& path);

} // namespace tags
