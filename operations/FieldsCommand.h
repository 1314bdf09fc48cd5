#pragma once

#include "operations/FieldsFromName.h"
#include "operations/Renaming.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "operations/TagText.h"

#include <QString>

#include <array>
#include <functional>
#include <memory>
#include <optional>

namespace operations {

// Where each field of a batch change takes its value from: the fields of
// the placeholders "%1" to "%9", indexed as Field is (title 0 .. album
// artist 8).
struct FieldSources {
    enum class From { Kept, Name, Text };
    std::array<From, kPlaceholderCount> from = [] {
        std::array<From, kPlaceholderCount> kept;
        kept.fill(From::Kept);
        return kept;
    }();
    std::array<QString, kPlaceholderCount> text; // for From::Text
    // For From::Name: the field's placeholder read out of the file's name
    // (operations/FieldsFromName.h). A field the pattern does not name stays
    // as the file has it; without a pattern each takes the whole name less
    // its extension.
    QString pattern;
};

// A batch change of fields over many files, as both heads run it: the batch
// page, tags from file names and the command line's set. Each file is given
// the values of its shown name, or the same values for all.
class FieldsCommand {
public:
    using NameShower = std::function<QString(const QString& name)>;
    // No priority: nothing is written, and no file is counted.
    FieldsCommand(const FieldSources& sources, std::optional<Priority> priority,
                  const TextRules& rules, NameShower shownName);
    // The same values (frames too) for every file; a file that holds them
    // already has nothing to do, and says so.
    static FieldsCommand setting(const FieldValues& values, Priority priority,
                                 const TextRules& rules);

    const TagCommand& command() const { return command_; }
    // The values the file would get; nullopt when its name does not fit the
    // pattern a field takes its value from.
    std::optional<FieldValues> valuesFor(const QString& path) const;
    // Why a file whose name does not fit is not changed.
    static QString misfit();
    // What is said of a file that holds the values already.
    static QString holdsAlready();

private:
    struct Values {
        FieldSources sources;
        FieldsFromName names;
        NameShower shownName;
        std::optional<FieldValues> fixed; // for every file, in place of sources
        std::optional<FieldValues> of(const QString& path) const;
    };
    FieldsCommand(std::shared_ptr<const Values> values, std::optional<Priority> priority,
                  const TextRules& rules);

    std::shared_ptr<const Values> values_;
    TagCommand command_;
};

} // namespace operations
