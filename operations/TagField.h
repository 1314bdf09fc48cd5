#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstddef>
#include <optional>

// The fields a user reads and sets by name, in both heads: the list's six
// columns first, in their order, then the others.
namespace operations {

enum class Field {
    Title,
    Artist,
    Album,
    Year,
    Genre,
    Comment,
    Track,       // "n" or "n/total"
    Disc,        // "n" or "n/total"
    AlbumArtist, // TPE2
    Composer,    // TCOM
    Lyrics,      // USLT
};
constexpr std::size_t kFieldCount = 11;
constexpr std::size_t kListFieldCount = 6; // title .. comment

constexpr std::array<Field, kFieldCount> kAllFields = {
    Field::Title, Field::Artist, Field::Album,       Field::Year,     Field::Genre, Field::Comment,
    Field::Track, Field::Disc,   Field::AlbumArtist, Field::Composer, Field::Lyrics};

// "title", "artist", "album", "year", "genre", "comment", "track", "disc",
// "albumartist", "composer", "lyrics": the names of the command line and of
// its JSON.
QString fieldName(Field field);
// The field of a name (exactly as fieldName gives it); nullopt for another.
std::optional<Field> fieldNamed(QStringView name);
// Whether ID3v1 holds the field: the six, and the track in version 1.1.
bool v1Holds(Field field);
// Whether a value is one the field takes: any text, but for the track and
// the disc an empty one (none) or "n" or "n/total".
bool acceptsValue(Field field, const QString& value);

} // namespace operations
