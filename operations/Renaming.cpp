#include "operations/Renaming.h"

#include "operations/TagEditing.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

QString placeholder(int index)
{
    return u'%' + QString::number(index + 1);
}

// A pattern with placeholders, none of which has a value to give: a blank
// value counts as none.
bool placeholdersAllEmpty(const QString& pattern, const PatternValues& values)
{
    bool any = false;
    for (int i = 0; i < int(kPlaceholderCount); ++i) {
        if (!pattern.contains(placeholder(i)))
            continue;
        if (!values[std::size_t(i)].trimmed().isEmpty())
            return false;
        any = true;
    }
    return any;
}

} // namespace

int presetIndexOf(const QString& pattern)
{
    const auto& presets = presetPatterns();
    const auto it = std::find(presets.begin(), presets.end(), pattern);
    return it == presets.end() ? -1 : int(it - presets.begin());
}

PatternValues patternValues(const ShownTags& tags)
{
    PatternValues values;
    for (std::size_t n = 0; n < kPlaceholderCount; ++n)
        values[n] = tags.value(Field(n));
    return values;
}

QString substitutePattern(const QString& pattern, const PatternValues& values)
{
    if (placeholdersAllEmpty(pattern, values))
        return {};
    QString name = pattern;
    for (int i = 0; i < int(kPlaceholderCount); ++i)
        name.replace(placeholder(i), values[std::size_t(i)]);
    for (QChar& c : name) {
        if (c == u'/' || c.category() == QChar::Other_Control)
            c = u'_';
    }
    if (name.startsWith(u'.') && !isEmptyName(name))
        name[0] = u'_';
    return name;
}

bool isEmptyName(const QString& name)
{
    return std::all_of(name.begin(), name.end(), [](QChar c) { return c == u'.' || c.isSpace(); });
}

Insertion insertPlaceholder(const QString& pattern, int caret, const QString& placeholder)
{
    const int p = std::clamp(caret, 0, int(pattern.size()));
    return {pattern.left(p) + placeholder + pattern.mid(p), p + int(placeholder.size())};
}

} // namespace operations
