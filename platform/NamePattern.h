#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace platform {

// Matches a file name against one pattern: "*" matches any run of characters
// (none included), "?" any one character, every other character itself with
// case ignored; the whole name must be consumed. The pattern "*" alone
// matches anything.
bool MatchesPattern(QStringView name, QStringView pattern);

// True when the name matches one of the patterns.
bool MatchesAnyPattern(QStringView name, const QStringList& patterns);

} // namespace platform
