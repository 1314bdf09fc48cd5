#include "operations/FieldsFromName.h"

using namespace Qt::StringLiterals;

namespace operations {

FieldsFromName::FieldsFromName(const QString& pattern)
{
    QString expression = u"\\A"_s;
    QString literal;
    int groups = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar next = i + 1 < pattern.size() ? pattern[i + 1] : QChar();
        if (pattern[i] != u'%' || next < u'1' || next > u'9') {
            literal += pattern[i];
            continue;
        }
        expression += QRegularExpression::escape(literal);
        literal.clear();
        int& group = group_[std::size_t(next.unicode() - u'1')];
        if (group == 0) {
            group = ++groups;
            expression += u"(.+?)"_s;
        } else {
            expression += u"\\"_s + QString::number(group);
        }
        ++i;
    }
    expression += QRegularExpression::escape(literal) + u"\\z"_s;
    // Names are matched whole; "." matches every character, line breaks too.
    expression_.setPattern(expression);
    expression_.setPatternOptions(QRegularExpression::DotMatchesEverythingOption);
}

std::optional<FieldsFromName::Values> FieldsFromName::match(const QString& name) const
{
    const QRegularExpressionMatch found = expression_.match(name);
    if (!found.hasMatch())
        return std::nullopt;
    Values values;
    for (std::size_t n = 0; n < group_.size(); ++n) {
        if (group_[n] > 0)
            values[n] = found.captured(group_[n]);
    }
    return values;
}

} // namespace operations
