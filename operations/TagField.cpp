#include "operations/TagField.h"

#include "tags/NumberPair.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

constexpr std::array<QStringView, kFieldCount> kNames = {
    u"title", u"artist", u"album",       u"year",     u"genre", u"comment",
    u"track", u"disc",   u"albumartist", u"composer", u"lyrics"};

} // namespace

QString fieldName(Field field)
{
    return kNames[std::size_t(field)].toString();
}

std::optional<Field> fieldNamed(QStringView name)
{
    const auto found = std::find(kNames.begin(), kNames.end(), name);
    if (found == kNames.end())
        return std::nullopt;
    return Field(found - kNames.begin());
}

bool v1Holds(Field field)
{
    return std::size_t(field) < kListFieldCount || field == Field::Track;
}

bool acceptsValue(Field field, const QString& value)
{
    if (field != Field::Track && field != Field::Disc)
        return true;
    return value.trimmed().isEmpty() ||
           tags::parseNumberPair(value.toUtf8().toStdString()).has_value();
}

} // namespace operations
