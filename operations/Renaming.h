#pragma once

#include <QString>

#include <array>
#include <cstddef>

namespace operations {

struct ShownTags;

// The placeholders "%1" to "%9": title, artist, album, year, genre, comment,
// track, disc, album artist, the same in both directions (names made of
// tags, tags read out of names). Placeholder n stands for Field(n - 1).
constexpr std::size_t kPlaceholderCount = 9;
using PatternValues = std::array<QString, kPlaceholderCount>;
// The placeholders' values of a file's shown tags.
PatternValues patternValues(const ShownTags& tags);

// The four preset patterns of the renaming page, in item order.
inline const std::array<QString, 4>& presetPatterns()
{
    static const std::array<QString, 4> presets{QStringLiteral("%1"), QStringLiteral("%2-%1"),
                                                QStringLiteral("%3-%1"),
                                                QStringLiteral("%2-%3-%1")};
    return presets;
}

// The preset item whose pattern is exactly the text; -1 for none.
int presetIndexOf(const QString& pattern);

// The pattern with every "%1" replaced by values[0], then every "%2" by
// values[1], and so on to "%9": a placeholder that an earlier value brings in
// is replaced by a later step. A "/" (or a NUL) that a value or the pattern
// brings in becomes "_", so that a tag can never move a file into another
// folder; so does a control character, which terminals hide and FAT refuses,
// and a leading ".", which would hide the file. When every placeholder of the
// pattern has an empty value the result is empty: a file without tags gets no
// name made of the pattern's separators alone.
QString substitutePattern(const QString& pattern, const PatternValues& values);

// A name that cannot be a file's: empty, or only dots and blanks.
bool isEmptyName(const QString& name);

// Inserts a placeholder into a pattern at a caret position; the selection is
// not replaced. Gives the new text and the caret just behind the placeholder.
struct Insertion {
    QString text;
    int caret = 0;
};
Insertion insertPlaceholder(const QString& pattern, int caret, const QString& placeholder);

} // namespace operations
