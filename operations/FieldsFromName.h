#pragma once

#include <QRegularExpression>
#include <QString>

#include <array>
#include <cstddef>
#include <optional>

namespace operations {

// Reads tag values out of file names by a pattern of the renaming
// placeholders "%1" to "%9" (operations/Renaming.h): "%2 - %1" on "歌手 - 歌名" gives "%2" 歌手 and
// "%1" 歌名. Text between placeholders must stand in the name as it is typed;
// each placeholder takes at least one character, as few as the rest allows
// (the last one takes what is left: "%2 - %1" on "A - B - C" gives "%1"
// "B - C"); a placeholder that repeats must match the same text each time.
class FieldsFromName {
public:
    explicit FieldsFromName(const QString& pattern);

    static constexpr std::size_t kCount = 9;

    // Whether the pattern holds placeholder n (1 to 9).
    bool holds(int n) const { return n >= 1 && n <= int(kCount) && group_[std::size_t(n - 1)] > 0; }

    // The placeholders' texts in a name (without its extension), indexed 0
    // for "%1"; a placeholder the pattern lacks has none. Nullopt when the
    // name does not match the pattern.
    using Values = std::array<std::optional<QString>, kCount>;
    std::optional<Values> match(const QString& name) const;

private:
    QRegularExpression expression_;
    std::array<int, kCount> group_{}; // capture group of each placeholder, 0 for none
};

} // namespace operations
