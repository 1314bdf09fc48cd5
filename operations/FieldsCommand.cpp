#include "operations/FieldsCommand.h"

#include "operations/TagWrites.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

// A track or a disc that is no number (a name's text where the pattern
// expected one): the file is refused rather than given a frame no player
// can sort by.
QString numberProblem(const FieldValues& values)
{
    for (const Field field : {Field::Track, Field::Disc}) {
        const auto& value = values.value(field);
        if (value && !acceptsValue(field, *value))
            return fieldName(field) + u" 应为 n 或 n/总数: "_s + *value;
    }
    return {};
}

} // namespace

std::optional<FieldValues> FieldsCommand::Values::of(const QString& path) const
{
    if (fixed)
        return fixed;
    const QString stem = titleFromFileName(shownName(path.mid(path.lastIndexOf(u'/') + 1)));
    std::optional<FieldsFromName::Values> parts;
    FieldValues values;
    for (std::size_t f = 0; f < kPlaceholderCount; ++f) {
        std::optional<QString>& value = values.value(Field(f));
        switch (sources.from[f]) {
        case FieldSources::From::Kept:
            break;
        case FieldSources::From::Text:
            value = sources.text[f];
            break;
        case FieldSources::From::Name:
            if (sources.pattern.isEmpty()) {
                value = stem;
                break;
            }
            // A field the pattern does not name is the file's own still.
            if (!names.holds(int(f) + 1))
                break;
            if (!parts)
                parts = names.match(stem);
            if (!parts)
                return std::nullopt;
            value = (*parts)[f];
            break;
        }
    }
    return values;
}

FieldsCommand::FieldsCommand(const FieldSources& sources, std::optional<Priority> priority,
                             const TextRules& rules, NameShower shownName)
    : FieldsCommand(std::make_shared<const Values>(Values{sources, FieldsFromName(sources.pattern),
                                                          std::move(shownName), std::nullopt}),
                    priority, rules)
{
}

FieldsCommand FieldsCommand::setting(const FieldValues& values, Priority priority,
                                     const TextRules& rules)
{
    return FieldsCommand(
        std::make_shared<const Values>(Values{{}, FieldsFromName(QString()), {}, values}), priority,
        rules);
}

FieldsCommand::FieldsCommand(std::shared_ptr<const Values> values, std::optional<Priority> priority,
                             const TextRules& rules)
    : values_(std::move(values)),
      command_(StepKind::FieldChange, [values = values_, priority, rules](const QString& path) {
          TagMaking made;
          const auto fields = values->of(path);
          if (!fields) {
              made.reason = misfit();
              return made;
          }
          // Under a priority that names no version nothing is written.
          if (!priority || !fields->any()) {
              made.due = false;
              return made;
          }
          made.reason = numberProblem(*fields);
          if (!made.reason.isEmpty())
              return made;
          TID3v1 v1;
          TID3v2 v2;
          FieldChange change = changeFields(v1, v2, *priority, path, *fields, rules);
          made.change = std::move(change.change);
          if (!made.change) {
              made.reason = change.reason.isEmpty() ? failureReason(path) : change.reason;
          } else if (values->fixed && !made.change->changes()) {
              made.change.reset();
              made.due = false;
              made.reason = holdsAlready();
          }
          return made;
      })
{
}

std::optional<FieldValues> FieldsCommand::valuesFor(const QString& path) const
{
    return values_->of(path);
}

QString FieldsCommand::misfit()
{
    return u"文件名与格式不符"_s;
}

QString FieldsCommand::holdsAlready()
{
    return u"已是这些值"_s;
}

} // namespace operations
