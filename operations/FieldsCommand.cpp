#include "operations/FieldsCommand.h"

#include "operations/TagWrites.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <memory>

using namespace Qt::StringLiterals;

namespace operations {

std::optional<FieldValues> FieldsCommand::Values::of(const QString& path) const
{
    const QString stem = titleFromFileName(shownName(path.mid(path.lastIndexOf(u'/') + 1)));
    std::optional<FieldsFromName::Values> parts;
    std::array<std::optional<QString>, 3> values;
    for (std::size_t f = 0; f < values.size(); ++f) {
        switch (sources.from[f]) {
        case FieldSources::From::Kept:
            break;
        case FieldSources::From::Text:
            values[f] = sources.text[f];
            break;
        case FieldSources::From::Name:
            if (sources.pattern.isEmpty()) {
                values[f] = stem;
                break;
            }
            // Title, artist and album are "%1" to "%3"; a field the pattern
            // does not name is the file's own still.
            if (!names.holds(int(f) + 1))
                break;
            if (!parts)
                parts = names.match(stem);
            if (!parts)
                return std::nullopt;
            values[f] = (*parts)[f];
            break;
        }
    }
    return FieldValues{values[0], values[1], values[2]};
}

FieldsCommand::FieldsCommand(const FieldSources& sources, std::optional<Priority> priority,
                             const TextRules& rules, NameShower shownName)
    : values_(std::make_shared<const Values>(
          Values{sources, FieldsFromName(sources.pattern), std::move(shownName)})),
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
          TID3v1 v1;
          TID3v2 v2;
          FieldChange change = changeFields(v1, v2, *priority, path, *fields, rules);
          made.change = std::move(change.change);
          if (!made.change)
              made.reason = change.reason.isEmpty() ? failureReason(path) : change.reason;
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

} // namespace operations
