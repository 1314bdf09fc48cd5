#include "platform/NamePattern.h"

namespace platform {

namespace {

bool sameChar(QChar a, QChar b)
{
    return a == b || a.toCaseFolded() == b.toCaseFolded();
}

} // namespace

// Greedy matching that backs up only to the last "*": linear in practice and
// never exponential, whatever the pattern.
bool MatchesPattern(QStringView name, QStringView pattern)
{
    if (pattern == u"*")
        return true;
    qsizetype n = 0, p = 0;
    qsizetype starP = -1, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == u'*') {
            starP = p++;
            starN = n;
        } else if (p < pattern.size() && (pattern[p] == u'?' || sameChar(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (starP >= 0) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == u'*')
        ++p;
    return p == pattern.size();
}

bool MatchesAnyPattern(QStringView name, const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        if (MatchesPattern(name, pattern))
            return true;
    }
    return false;
}

} // namespace platform
