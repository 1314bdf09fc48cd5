#include "tags/ID3v2.h"

#include "tags/FileIo.h"
#include "tags/ID3v2Fields.h"
#include "tags/ID3v2Frame.h"
#include "tags/ID3v2Pictures.h"
#include "tags/StaleCopies.h"
#include "tags/TagImage.h"
#include "tags/TextCodec.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <functional>
#include <memory>
#include <system_error>
#include <vector>

using namespace tags;
using namespace tags::id3v2;

namespace {

// The header and, for most tags, every frame a reader needs, in one read.
constexpr std::size_t FirstRead = 4096;
// Room left behind a tag that had to grow, for the next edits to fit in.
constexpr std::size_t Padding = 2048;
constexpr std::uint64_t MaxTagBody = (1u << 28) - 1; // what 28 size bits can say

[[noreturn]] void throwError(int error, const std::string& what)
{
    throw std::system_error(error, std::generic_category(), what);
}

// Visits the frames in order, in v2.3 form, with the size each had stored;
// loads the data only of the frames `wanted` accepts. Gives where the walk
// stopped (10 when the frames could not be found), or nullopt when a frame
// could not be loaded or brought into v2.3 form.
template <class Wanted, class Visit>
std::optional<std::uint64_t> walkFrames(TagBytes& bytes, const Header& header, Wanted wanted,
                                        Visit visit)
{
    const auto begin = framesBegin(bytes, header);
    if (!begin)
        return HeaderSize;
    FrameWalker walker(bytes, header.major, *begin);
    StoredFrame stored;
    bool whole = true;
    while (walker.next(stored)) {
        const std::string id = v23Id(stored.id, header.major);
        whole = whole && !id.empty();
        if (id.empty() || !wanted(id, stored.size))
            continue;
        const char* data = bytes.view(stored.offset, stored.size);
        if (!data)
            return std::nullopt;
        auto frame = toV23Form(stored, std::string_view(data, stored.size), header);
        whole = whole && frame.has_value();
        if (frame)
            visit(std::move(*frame), stored.size);
    }
    return whole ? std::optional(walker.position()) : std::nullopt;
}

// Frames too large to be a text are skipped by position, whatever their ID.
bool isTextSource(const std::string& id, std::uint32_t storedSize)
{
    return FieldCollector::isCandidate(id) && storedSize <= MaxTextFrame;
}

bool isListedSource(const std::string& id, std::uint32_t storedSize)
{
    return holdsListedTexts(id) && storedSize <= MaxTextFrame;
}

void addLegacyTexts(const Frame& frame, std::vector<LegacyFrameText>& out)
{
    const auto legacy = legacyStringsOf(frame);
    if (!legacy)
        return;
    for (const std::string_view s : legacy->strings) {
        if (!s.empty())
            out.push_back({frame.id, std::string(s)});
    }
}

// The frame with its legacy strings converted, and written as Unicode or,
// with `unicode` false, as the legacy bytes the converter gives. The frame as
// it is when it has none, or only ASCII ones; nullopt when the converter
// gives what is no text of a string.
std::optional<Frame> recodedFrame(Frame frame, const TID3v2::LegacyConverter& convert,
                                  bool unicode = true)
{
    const auto legacy = legacyStringsOf(frame);
    if (!legacy || std::all_of(legacy->strings.begin(), legacy->strings.end(), isAscii))
        return frame;
    std::vector<std::string> strings;
    for (const std::string_view s : legacy->strings) {
        strings.push_back(isAscii(s) ? std::string(s) : convert(s));
        if (strings.back().find('\0') != std::string::npos)
            return std::nullopt;
    }
    const auto encoded = encodedStrings(strings, unicode);
    if (!encoded)
        return std::nullopt;
    frame.data = std::string(legacy->head) + static_cast<char>(encoded->encoding) +
                 std::string(legacy->language) + encoded->bytes;
    return frame;
}

struct OldTag {
    std::uint64_t size = 0; // the bytes at the start of the file the new tag replaces
    std::uint8_t major = 0;
    std::vector<Frame> frames;
    FieldCollector fields;
    // Every frame is in `frames`: nothing the new tag would leave out unasked.
    bool whole = true;
    // Every frame could be edited as it was loaded.
    bool edited = true;
};

// Changes a frame as it is loaded, before its texts are taken; false when it
// cannot be made.
using FrameEdit = std::function<bool(Frame&)>;

// The tag of a file's head region (tags/TagImage.h), its frames loaded.
OldTag loadOldTag(const std::string& head, const FrameEdit& edit = nullptr)
{
    OldTag old;
    const auto header = parseHeader(head);
    if (!header)
        return old;
    old.size = head.size();
    if (old.size == 0)
        return old;
    // A tag of a version we cannot read may hold anything: it is not replaced.
    old.whole = header->readable();
    if (!old.whole)
        return old;
    const std::size_t end = static_cast<std::size_t>(HeaderSize + header->declared);
    auto bytes = openTag(-1, head.substr(0, end), *header);
    if (!bytes) {
        old.whole = false;
        return old;
    }
    old.major = header->major;
    old.fields = FieldCollector(header->major);
    const auto all = [](const std::string&, std::uint32_t) {
        return true;
    };
    const auto stop =
        walkFrames(*bytes, *header, all, [&](Frame&& frame, std::uint32_t storedSize) {
            if (edit && !edit(frame))
                old.edited = false;
            if (isTextSource(frame.id, storedSize))
                old.fields.add(frame, old.frames.size());
            old.frames.push_back(std::move(frame));
        });
    old.whole = stop && holdsNoFrame(*bytes, header->major, *stop);
    return old;
}

// v2.3 has no "TDRC": its month, day and time go to "TDAT" and "TIME" (the
// year is the year frame's), unless the tag has those already.
std::string datePartsOf(const Frame& recorded, const std::vector<Frame>& frames)
{
    const std::string t = trimmed(textOf(recorded).value_or(Text()).bytes);
    const auto digits = [&](std::size_t pos) {
        return t.size() >= pos + 2 && std::isdigit(static_cast<unsigned char>(t[pos])) &&
               std::isdigit(static_cast<unsigned char>(t[pos + 1]));
    };
    const auto has = [&](std::string_view id) {
        return std::any_of(frames.begin(), frames.end(),
                           [&](const Frame& f) { return f.id == id; });
    };
    std::string out;
    if (digits(8) && digits(5) && t[4] == '-' && t[7] == '-' && !has("TDAT"))
        out += serialized(textFrame("TDAT", t.substr(8, 2) + t.substr(5, 2)));
    if (digits(14) && digits(11) && t[10] == 'T' && t[13] == ':' && !has("TIME"))
        out += serialized(textFrame("TIME", t.substr(11, 2) + t.substr(14, 2)));
    return out;
}

struct FieldTexts {
    Text title, artist, album, year, genre, comment, track;
    Text disc, albumArtist, composer, lyrics;
    std::string lyricsLanguage;
    Text lyricsDescription;
    // The texts are the edited frames' own, not a field set's: a field
    // without a frame has nothing to write, so it gets none.
    bool fromFrames = false;
};

FieldTexts textsOf(const TID3v2& tag)
{
    return {tag.Title,
            tag.Artist,
            tag.Album,
            tag.Year,
            tag.Genre,
            tag.Comment,
            tag.Track,
            tag.Disc,
            tag.AlbumArtist,
            tag.Composer,
            tag.Lyrics,
            tag.LyricsLanguage,
            tag.LyricsDescription};
}

FieldTexts textsOf(const FieldCollector& fields)
{
    return {
        fields.text(Field::Title),    fields.text(Field::Artist), fields.text(Field::Album),
        fields.text(Field::Year),     fields.text(Field::Genre),  fields.text(Field::Comment),
        fields.text(Field::Track),    fields.text(Field::Disc),   fields.text(Field::AlbumArtist),
        fields.text(Field::Composer), fields.text(Field::Lyrics), fields.lyricsLanguage(),
        fields.lyricsDescription()};
}

// The seven frames of the field set, then every other frame of the old tag in
// its order; of the edited frames' own texts, only those the tag has. A field whose text the caller
// left as read keeps its old frame, encoding and all. With a cover edit, the shown cover's frame is
// left out, or the front cover's (type 3) replaced where it stands; a new cover without an old
// front cover comes last, and a back cover or any other picture stays.
class FrameBuilder {
public:
    FrameBuilder(const OldTag& old, const FieldTexts& texts, const CoverEdit* cover = nullptr)
        : old_(old), texts_(texts), used_(old.frames.size(), false), cover_(cover),
          coverAt_(!cover          ? std::nullopt
                   : cover->remove ? frontCoverIndex(old.frames)
                                   : typedFrontCoverIndex(old.frames))
    {
    }

    // nullopt when a text cannot be written.
    std::optional<std::string> build()
    {
        field(Field::Title, "TIT2", texts_.title);
        field(Field::Artist, "TPE1", texts_.artist);
        field(Field::Album, "TALB", texts_.album);
        field(Field::Track, "TRCK", texts_.track);
        field(Field::Year, "TYER", texts_.year);
        field(Field::Genre, "TCON", texts_.genre);
        comment();
        optionalField(Field::Disc, "TPOS", texts_.disc);
        optionalField(Field::AlbumArtist, "TPE2", texts_.albumArtist);
        optionalField(Field::Composer, "TCOM", texts_.composer);
        lyrics();
        const auto year = old_.fields.source(Field::Year);
        for (std::size_t i = 0; i < old_.frames.size(); ++i) {
            if (used_[i])
                continue;
            if (coverAt_ == i)
                out_ += newCover();
            else if (year == i && old_.frames[i].id == "TDRC")
                out_ += datePartsOf(old_.frames[i], old_.frames);
            else
                out_ += carried(i);
        }
        if (cover_ && !coverAt_)
            out_ += newCover();
        if (!written_)
            return std::nullopt;
        return std::move(out_);
    }

private:
    // A field the frames do not have, as opposed to one set to nothing.
    bool isAbsent(const Text& value) const { return texts_.fromFrames && value.empty(); }

    std::string newCover() const
    {
        return cover_->remove ? std::string() : serialized(coverFrame(*cover_));
    }

    std::string carried(std::size_t i)
    {
        used_[i] = true;
        const Frame& f = old_.frames[i];
        if (old_.major != 4)
            return serialized(f);
        return serialized(reencodedForV23(f.id == "TCON" ? genreFrameForV23(f) : f));
    }

    void add(const std::optional<Frame>& frame)
    {
        written_ = written_ && frame.has_value();
        if (frame)
            out_ += serialized(*frame);
    }

    void field(Field field, std::string_view id, const Text& value)
    {
        const auto source = old_.fields.source(field);
        if (!source && isAbsent(value))
            return;
        // A year from "TDRC" is written as "TYER"; the loop handles the rest of the date.
        const bool sameId = source && old_.frames[*source].id == id;
        if (sameId && old_.fields.text(field) == value) {
            out_ += carried(*source);
            return;
        }
        if (sameId)
            used_[*source] = true;
        add(fieldFrame(id, value));
    }

    // A field beyond the seven: an unchanged one stays where it stands, a
    // changed one replaces it here, an empty one is no frame.
    void optionalField(Field field, std::string_view id, const Text& value)
    {
        const auto source = old_.fields.source(field);
        if (source ? old_.fields.text(field) == value : value.empty())
            return;
        if (source)
            used_[*source] = true;
        if (!value.empty())
            add(fieldFrame(id, value));
    }

    // The lyrics as optionalField does, their language and description too.
    void lyrics()
    {
        const auto source = old_.fields.source(Field::Lyrics);
        const bool unchanged = source
                                   ? old_.fields.text(Field::Lyrics) == texts_.lyrics &&
                                         old_.fields.lyricsLanguage() == texts_.lyricsLanguage &&
                                         old_.fields.lyricsDescription() == texts_.lyricsDescription
                                   : texts_.lyrics.empty();
        if (unchanged)
            return;
        if (source)
            used_[*source] = true;
        if (!texts_.lyrics.empty())
            add(describedFrame("USLT", texts_.lyricsLanguage, texts_.lyricsDescription,
                               texts_.lyrics));
    }

    // A comment read from a frame with a description stays in that frame,
    // untouched; a new comment goes into a frame of its own.
    void comment()
    {
        const auto source = old_.fields.source(Field::Comment);
        const bool unchanged = source && old_.fields.text(Field::Comment) == texts_.comment;
        if (!source && isAbsent(texts_.comment))
            return;
        if (old_.fields.commentIsDescribed()) {
            if (!unchanged)
                add(commentFrame(texts_.comment));
        } else if (unchanged) {
            out_ += carried(*source);
        } else {
            if (source)
                used_[*source] = true;
            add(commentFrame(texts_.comment));
        }
    }

    const OldTag& old_;
    const FieldTexts& texts_;
    std::vector<bool> used_;
    const CoverEdit* cover_;
    std::optional<std::size_t> coverAt_;
    std::string out_;
    bool written_ = true;
};

// The new tag takes the old one's room when it fits there, so that it can be
// written in place; otherwise it gets padding for the edits to come.
std::optional<std::string> newTag(const OldTag& old, const FieldTexts& texts,
                                  const CoverEdit* cover = nullptr)
{
    // What cannot be carried into the new tag would be lost: no new tag.
    if (!old.whole)
        return std::nullopt;
    const auto built = FrameBuilder(old, texts, cover).build();
    if (!built)
        return std::nullopt;
    const std::string& frames = *built;
    const bool fits = old.size >= HeaderSize + frames.size();
    const std::uint64_t body = fits ? old.size - HeaderSize : frames.size() + Padding;
    if (body > MaxTagBody)
        return std::nullopt;
    // Sized once: appended piece by piece, a head with a cover would hold
    // twice its room until it is written, for every file of a slice.
    std::string tag;
    tag.reserve(std::size_t(HeaderSize + body));
    tag.append("ID3\x03\x00\x00", 6);
    tag += syncsafe(static_cast<std::uint32_t>(body));
    tag += frames;
    tag.append(std::size_t(body - frames.size()), '\0');
    return tag;
}

} // namespace

TID3v2::TID3v2() = default;

bool TID3v2::ReadFromFile(const std::string& FileName)
{
    *this = TID3v2();
    removeStaleCopy(FileName);
    struct stat st {};
    const FileDescriptor fd = openForReading(FileName, st);
    if (!fd)
        return false;
    auto first = readAt(fd.get(), 0, FirstRead);
    if (!first || first->size() < HeaderSize)
        return false;
    const auto header = parseHeader(*first);
    if (!header)
        return true;
    exists_ = true;
    versionID_ = header->major;
    const std::uint64_t size = tagSize(*header, std::uint64_t(st.st_size));
    size_ = static_cast<int32_t>(size); // below 2^30 even with every size byte 0xFF
    if (size == 0 || !header->readable())
        return true;
    if (auto bytes = openTag(fd.get(), std::move(*first), *header))
        takeFields(*bytes, *header);
    return true;
}

bool TID3v2::ReadFromImage(const tags::TagImage& image)
{
    *this = TID3v2();
    const auto header = image.head.size() >= HeaderSize ? parseHeader(image.head) : std::nullopt;
    if (!header)
        return false;
    exists_ = true;
    versionID_ = header->major;
    const std::uint64_t size = tagSize(*header, image.size);
    size_ = static_cast<int32_t>(size);
    if (size == 0 || !header->readable())
        return true;
    if (auto bytes = openTag(-1, image.head, *header))
        takeFields(*bytes, *header);
    return true;
}

void TID3v2::takeFields(TagBytes& bytes, const Header& header)
{
    FieldCollector fields(header.major);
    walkFrames(bytes, header, isListedSource, [&](Frame&& frame, std::uint32_t storedSize) {
        if (isTextSource(frame.id, storedSize))
            fields.add(frame, 0);
        addLegacyTexts(frame, legacyTexts_);
    });
    Title = fields.text(Field::Title);
    Artist = fields.text(Field::Artist);
    Album = fields.text(Field::Album);
    Year = fields.text(Field::Year);
    Genre = fields.text(Field::Genre);
    Comment = fields.text(Field::Comment);
    Track = fields.text(Field::Track);
    Disc = fields.text(Field::Disc);
    AlbumArtist = fields.text(Field::AlbumArtist);
    Composer = fields.text(Field::Composer);
    Lyrics = fields.text(Field::Lyrics);
    if (fields.source(Field::Lyrics))
        LyricsLanguage = fields.lyricsLanguage();
    LyricsDescription = fields.lyricsDescription();
}

namespace {

bool isWritable(const std::string& target)
{
    // A rename would pass over the file's own permissions: a file the user
    // could not write, or could not replace in its folder, is not written.
    return !isReadOnly(target) && !isReadOnly(folderOf(target));
}

tags::TagChange changeOf(const std::string& fileName)
{
    auto change = beginChange(fileName);
    if (!change)
        throwError(errno, "read " + fileName);
    return std::move(*change);
}

// Writes a change through the staged copy: false for a file the user cannot
// write, a full disk, or a file that changed meanwhile; errors of the system
// throw.
bool writeThroughCopy(const tags::TagChange& change)
{
    if (!isWritable(change.path()))
        return false;
    const WriteOutcome outcome = writeStaged(change);
    if (outcome.result == WriteResult::Failed)
        throwError(outcome.error, "write " + change.path());
    return outcome.written();
}

} // namespace

std::optional<std::string> TID3v2::RenderHead(const tags::TagImage& image,
                                              const tags::CoverEdit* cover) const
{
    if (!Rewrite)
        return newTag(loadOldTag(image.head), textsOf(*this), cover);
    const auto edit = [this](Frame& frame) {
        auto recoded = recodedFrame(frame, Rewrite->convert, Rewrite->unicode);
        if (recoded)
            frame = std::move(*recoded);
        return recoded.has_value();
    };
    const OldTag old = loadOldTag(image.head, edit);
    if (!old.edited)
        return std::nullopt;
    return newTag(old, textsOf(*this), cover);
}

std::optional<std::string> TID3v2::RenderConvertedHead(const tags::TagImage& image,
                                                       const LegacyConverter& toUtf8, bool* changed)
{
    bool edited = false;
    const auto edit = [&](Frame& frame) {
        auto unicode = recodedFrame(frame, toUtf8);
        if (!unicode)
            return false;
        edited = edited || unicode->data != frame.data;
        frame = std::move(*unicode);
        return true;
    };
    const OldTag old = loadOldTag(image.head, edit);
    if (changed)
        *changed = edited;
    if (!old.edited)
        return std::nullopt;
    if (!edited)
        return image.head;
    // The fields' texts are the converted frames' own, so each keeps its frame.
    return newTag(old, textsOf(old.fields));
}

std::optional<std::string> TID3v2::RenderCoverHead(const tags::TagImage& image,
                                                   const tags::CoverEdit& edit)
{
    const OldTag old = loadOldTag(image.head);
    // Nothing to remove: the tag stays as it is, whatever its version.
    if (edit.remove && !frontCoverIndex(old.frames))
        return image.head;
    // The fields' texts are the frames' own, so each keeps its frame.
    return newTag(old, textsOf(old.fields), &edit);
}

std::optional<std::string> TID3v2::RenderFrameEdits(const tags::TagImage& image,
                                                    const tags::FrameEdits& edits)
{
    OldTag old = loadOldTag(image.head);
    if (!old.whole)
        return std::nullopt;
    std::vector<std::optional<Frame>> frames(old.frames.begin(), old.frames.end());
    for (const auto& [index, frame] : edits.replaced) {
        if (index >= frames.size() || !frames[index])
            return std::nullopt;
        frames[index] = frame;
    }
    for (const std::size_t index : edits.removed) {
        if (index >= frames.size())
            return std::nullopt;
        frames[index].reset();
    }
    frames.insert(frames.end(), edits.added.begin(), edits.added.end());
    // The fields are found anew among the edited frames.
    old.frames.clear();
    old.fields = FieldCollector(old.major == 0 ? 3 : old.major);
    for (auto& frame : frames) {
        if (!frame)
            continue;
        if (isTextSource(frame->id, static_cast<std::uint32_t>(frame->data.size())))
            old.fields.add(*frame, old.frames.size());
        old.frames.push_back(std::move(*frame));
    }
    if (old.size == 0)
        old.major = 3;
    // A field whose frame was removed is gone, not written empty.
    FieldTexts texts = textsOf(old.fields);
    texts.fromFrames = true;
    return newTag(old, texts);
}

bool TID3v2::SaveToFile(const std::string& FileName)
{
    tags::TagChange change = changeOf(FileName);
    if (!isWritable(change.path()))
        return false;
    auto head = RenderHead(change.before());
    if (!head)
        return false;
    change.setHead(std::move(*head));
    return writeThroughCopy(change);
}

bool TID3v2::ConvertLegacyToUnicode(const std::string& FileName, const LegacyConverter& toUtf8,
                                    bool* converted)
{
    if (converted)
        *converted = false;
    tags::TagChange change = changeOf(FileName);
    bool changed = false;
    auto head = RenderConvertedHead(change.before(), toUtf8, &changed);
    if (!head)
        return false;
    if (!changed)
        return true;
    change.setHead(std::move(*head));
    const bool done = writeThroughCopy(change);
    if (converted)
        *converted = done;
    return done;
}
