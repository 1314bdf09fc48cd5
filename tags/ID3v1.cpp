#include "tags/ID3v1.h"

#include "tags/APEv2.h"
#include "tags/FileIo.h"
#include "tags/Gb18030.h"
#include "tags/StaleCopies.h"

#include <array>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <string_view>
#include <unistd.h>

// clang-format off
const char* const GenreNames[148] = {
    "Blues", "Classic Rock", "Country", "Dance", "Disco", "Funk", "Grunge", "Hip-Hop", "Jazz",
    "Metal", "New Age", "Oldies", "Other", "Pop", "R&B", "Rap", "Reggae", "Rock", "Techno",
    "Industrial", "Alternative", "Ska", "Death Metal", "Pranks", "Soundtrack", "Euro-Techno",
    "Ambient", "Trip-Hop", "Vocal", "Jazz+Funk", "Fusion", "Trance", "Classical", "Instrumental",
    "Acid", "House", "Game", "Sound Clip", "Gospel", "Noise", "AlternRock", "Bass", "Soul", "Punk",
    "Space", "Meditative", "Instrumental Pop", "Instrumental Rock", "Ethnic", "Gothic", "Darkwave",
    "Techno-Industrial", "Electronic", "Pop-Folk", "Eurodance", "Dream", "Southern Rock", "Comedy",
    "Cult", "Gangsta", "Top 40", "Christian Rap", "Pop/Funk", "Jungle", "Native American",
    "Cabaret", "New Wave", "Psychadelic", "Rave", "Showtunes", "Trailer", "Lo-Fi", "Tribal",
    "Acid Punk", "Acid Jazz", "Polka", "Retro", "Musical", "Rock & Roll", "Hard Rock", "Folk",
    "Folk-Rock", "National Folk", "Swing", "Fast Fusion", "Bebob", "Latin", "Revival", "Celtic",
    "Bluegrass", "Avantgarde", "Gothic Rock", "Progessive Rock", "Psychedelic Rock",
    "Symphonic Rock", "Slow Rock", "Big Band", "Chorus", "Easy Listening", "Acoustic", "Humour",
    "Speech", "Chanson", "Opera", "Chamber Music", "Sonata", "Symphony", "Booty Bass", "Primus",
    "Porn Groove", "Satire", "Slow Jam", "Club", "Tango", "Samba", "Folklore", "Ballad",
    "Power Ballad", "Rhythmic Soul", "Freestyle", "Duet", "Punk Rock", "Drum Solo", "A capella",
    "Euro-House", "Dance Hall", "Goa", "Drum & Bass", "Club-House", "Hardcore", "Terror", "Indie",
    "BritPop", "Negerpunk", "Polsk Punk", "Beat", "Christian Gangsta Rap", "Heavy Metal",
    "Black Metal", "Crossover", "Contemporary Christian", "Christian Rock", "Merengue", "Salsa",
    "Trash Metal", "Anime", "JPop", "Synthpop",
};
// clang-format on

namespace {

constexpr std::size_t TrailerSize = 128;
constexpr std::size_t TextWidth = 30;
constexpr std::size_t YearWidth = 4;
constexpr std::size_t TrackedCommentWidth = 28;

struct Trailer {
    std::string bytes; // the file's last 128 bytes
    std::uint64_t fileSize = 0;
    bool afterApeTag = false; // they end in an APEv2 footer: they are that tag's
    bool hasTag() const { return !afterApeTag && bytes.compare(0, 3, "TAG") == 0; }
};

// One open and one positioned read of the last 128 bytes.
std::optional<Trailer> readTrailer(const std::string& fileName)
{
    struct stat st {};
    const tags::FileDescriptor fd = tags::openForReading(fileName, st);
    if (!fd || st.st_size < off_t(TrailerSize))
        return std::nullopt;
    Trailer t;
    t.fileSize = std::uint64_t(st.st_size);
    auto bytes = tags::readAt(fd.get(), t.fileSize - TrailerSize, TrailerSize);
    if (!bytes || bytes->size() != TrailerSize)
        return std::nullopt;
    t.bytes = std::move(*bytes);
    // "TAG" can stand anywhere in an APEv2 tag's items; taken for a trailer,
    // the end of that tag would be overwritten or cut off.
    t.afterApeTag = tags::endsWithApeFooter(fd.get(), t.fileSize);
    return t;
}

std::string_view trimTrailing(std::string_view s)
{
    while (!s.empty() && static_cast<unsigned char>(s.back()) <= 0x20)
        s.remove_suffix(1);
    return s;
}

std::string field(const std::string& trailer, std::size_t offset, std::size_t width)
{
    return std::string(trimTrailing(std::string_view(trailer).substr(offset, width)));
}

std::string fitted(std::string_view value, std::size_t width)
{
    return std::string(value.substr(0, tags::gb18030Cut(value, width)));
}

void put(std::string& trailer, std::size_t offset, std::string_view text)
{
    trailer.replace(offset, text.size(), text);
}

} // namespace

TID3v1::TID3v1() = default;

bool TID3v1::ReadFromFile(const std::string& FileName)
{
    *this = TID3v1();
    tags::removeStaleCopy(FileName);
    const auto trailer = readTrailer(FileName);
    if (!trailer)
        return false;
    if (trailer->hasTag())
        take(trailer->bytes);
    return true;
}

bool TID3v1::ReadFromImage(const tags::TagImage& image)
{
    *this = TID3v1();
    if (image.tail.size() == TrailerSize) {
        take(image.tail);
        return true;
    }
    // The image read the last 128 bytes and found no trailer there, by the
    // same rule as the file's reading; only a file too small for its head and
    // a trailer both is told apart by reading it.
    return image.size >= image.head.size() + TrailerSize;
}

void TID3v1::take(const std::string& b)
{
    exists_ = true;
    const bool v11 = (b[125] == 0x00 && b[126] != 0x00) || (b[125] == 0x20 && b[126] != 0x20);
    versionID_ = v11 ? 2 : 1;
    title_ = field(b, 3, TextWidth);
    artist_ = field(b, 33, TextWidth);
    album_ = field(b, 63, TextWidth);
    year_ = field(b, 93, YearWidth);
    comment_ = field(b, 97, v11 ? TrackedCommentWidth : TextWidth);
    if (v11)
        track_ = static_cast<uint8_t>(b[126]);
    genreID_ = static_cast<uint8_t>(b[127]);
}

bool TID3v1::RemoveFromFile(const std::string& FileName)
{
    const auto trailer = readTrailer(FileName);
    if (!trailer)
        return false;
    if (!trailer->hasTag())
        return true;
    tags::clearAttributes(FileName);
    tags::FileDescriptor fd = tags::openFile(FileName, O_WRONLY);
    if (!fd || ::ftruncate(fd.get(), off_t(trailer->fileSize - TrailerSize)) != 0)
        return false;
    return fd.close() == 0;
}

std::string TID3v1::Rendered() const
{
    std::string bytes(TrailerSize, '\0');
    put(bytes, 0, "TAG");
    put(bytes, 3, title_);
    put(bytes, 33, artist_);
    put(bytes, 63, album_);
    put(bytes, 93, year_);
    // With a track number the comment has 28 bytes; it is cut before a
    // character that would not fit there.
    put(bytes, 97, track_ > 0 ? fitted(comment_, TrackedCommentWidth) : comment_);
    if (track_ > 0) {
        bytes[125] = 0x00;
        bytes[126] = static_cast<char>(track_);
    }
    bytes[127] = static_cast<char>(genreID_);
    return bytes;
}

bool TID3v1::SaveToFile(const std::string& FileName)
{
    const std::string bytes = Rendered();
    tags::removeStaleCopy(FileName);
    const auto trailer = readTrailer(FileName);
    if (!trailer)
        return false;
    tags::clearAttributes(FileName);
    tags::FileDescriptor fd = tags::openFile(FileName, O_WRONLY);
    if (!fd)
        return false;
    // An existing trailer is overwritten where it stands, with one write, so
    // that no failure can leave the file without a tag.
    const std::uint64_t size = trailer->fileSize;
    const std::uint64_t at = trailer->hasTag() ? size - TrailerSize : size;
    if (tags::writeAllAt(fd.get(), bytes, at) != 0) {
        // A partly appended trailer goes again, so that the file is as it was.
        const bool restored = trailer->hasTag() || ::ftruncate(fd.get(), off_t(size)) == 0;
        static_cast<void>(restored);
        return false;
    }
    return fd.close() == 0;
}

void TID3v1::SetTitle(const std::string& Value)
{
    title_ = fitted(trimTrailing(Value), TextWidth);
}
void TID3v1::SetArtist(const std::string& Value)
{
    artist_ = fitted(trimTrailing(Value), TextWidth);
}
void TID3v1::SetAlbum(const std::string& Value)
{
    album_ = fitted(trimTrailing(Value), TextWidth);
}
void TID3v1::SetYear(const std::string& Value)
{
    year_ = fitted(trimTrailing(Value), YearWidth);
}
void TID3v1::SetComment(const std::string& Value)
{
    comment_ = fitted(trimTrailing(Value), TextWidth);
}
void TID3v1::SetGenreID(uint8_t Value)
{
    genreID_ = Value;
}
void TID3v1::SetTrack(uint8_t Value)
{
    track_ = Value;
}

std::string TID3v1::Genre() const
{
    return genreID_ < 148 ? GenreNames[genreID_] : "";
}
