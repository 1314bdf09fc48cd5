#pragma once

#include "operations/FieldsFromName.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace operations {

// Where the title, the artist and the album of a batch change take their
// values from.
struct FieldSources {
    enum class From { Kept, Name, Text };
    std::array<From, 3> from{From::Kept, From::Kept, From::Kept};
    std::array<QString, 3> text; // for From::Text
    // For From::Name: "%1" to "%3" of the pattern read out of the file's name
    // (operations/FieldsFromName.h). A field the pattern does not name stays
    // as the file has it; without a pattern each takes the whole name less
    // its extension.
    QString pattern;
};

// The batch change of the title, the artist and the album over many files, as
// both heads run it: the batch page, and tags from file names on the command
// line. Each file is given the values of its shown name.
class FieldsCommand {
public:
    using NameShower = std::function<QString(const QString& name)>;
    // No priority: nothing is written, and no file is counted.
    FieldsCommand(const FieldSources& sources, std::optional<Priority> priority,
                  const TextRules& rules, NameShower shownName);

    const TagCommand& command() const { return command_; }
    // The values the file would get; nullopt when its name does not fit the
    // pattern a field takes its value from.
    std::optional<FieldValues> valuesFor(const QString& path) const;
    // Why a file whose name does not fit is not changed.
    static QString misfit();

private:
    struct Values {
        FieldSources sources;
        FieldsFromName names;
        NameShower shownName;
        std::optional<FieldValues> of(const QString& path) const;
    };
    std::shared_ptr<const Values> values_;
    TagCommand command_;
};

} // namespace operations
