#include "operations/Renaming.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

int presetIndexOf(const QString& pattern)
{
    const auto& presets = presetPatterns();
    const auto it = std::find(presets.begin(), presets.end(), pattern);
    return it == presets.end() ? -1 : int(it - presets.begin());
}

QString substitutePattern(const QString& pattern, const std::array<QString, 6>& values)
{
    QString name = pattern;
    for (int i = 0; i < 6; ++i)
        name.replace(u'%' + QString::number(i + 1), values[std::size_t(i)]);
    name.replace(u'/', u'_');
    name.replace(QChar(u'\0'), u'_');
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
