#include "settings/ToolsSection.h"

using namespace Qt::StringLiterals;

namespace settings {

namespace {

const QString kTools = u"Tools"_s;
const QString kCount = u"AdPatterns"_s;

QString patternKey(int i)
{
    return u"Ad"_s + QString::number(i + 1);
}

} // namespace

std::optional<QStringList> readAdPatterns(const TIniFile& ini)
{
    bool ok = false;
    const int count = ini.ReadString(kTools, kCount, {}).trimmed().toInt(&ok);
    if (!ok || count < 0)
        return std::nullopt;
    QStringList patterns;
    for (int i = 0; i < count; ++i) {
        const QString pattern = ini.ReadString(kTools, patternKey(i), {});
        if (!pattern.isEmpty())
            patterns << pattern;
    }
    return patterns;
}

void writeAdPatterns(TIniFile& ini, const QStringList& patterns)
{
    // The patterns first: a count written before them would name keys that
    // a failed write left out.
    for (int i = 0; i < patterns.size(); ++i)
        ini.WriteString(kTools, patternKey(i), patterns[i]);
    ini.WriteInteger(kTools, kCount, int(patterns.size()));
}

} // namespace settings
