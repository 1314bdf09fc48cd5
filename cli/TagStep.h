#pragma once

#include "cli/FileArgs.h"

#include "operations/Journal.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "tags/TagImage.h"

#include <QJsonObject>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace cli {

class Context;
struct Result;

// What a command makes of one file before anything is written.
struct Prepared {
    std::optional<tags::TagChange> change; // to write
    std::optional<QString> error;          // without a change: the file failed, and why
    QString outcome;                       // what is said of the file when it succeeds
    QJsonObject details;                   // more members of the file's JSON object
};
// Gets the file's absolute path: the journal keeps those, so an undo may run
// from any folder.
using Prepare = std::function<Prepared(const QString& path)>;

// The batch tag change of one file, as a command reports it.
Prepared preparedFields(operations::FieldChange change, const QString& path);

// Prepares every file, writes the changes in slices as one step of the journal,
// and reports each file in the given order: a row "file  outcome" and an
// object {"file", "ok", "outcome" or "error", details...}; a failure also on
// standard error.
void writeTagStep(const std::vector<Entry>& files, operations::StepKind kind,
                  const Prepare& prepare, Context& context, Result& result);

// Prepares every file with the command and runs it as one step, reporting each
// file as writeTagStep does: `succeeded` is what is said of a changed file;
// `details` (may be empty) adds members to a file's JSON object whatever its
// outcome.
// A file the command has nothing to do for is a row of its own, saying why,
// and no failure. `saidOf` (may be empty) says what a file's change did, in
// place of `succeeded`.
using Details = std::function<QJsonObject(const QString& path)>;
using SaidOf = std::function<QString(const tags::TagChange& change)>;
void runTagCommand(const std::vector<Entry>& files, const operations::TagCommand& command,
                   const QString& succeeded, const Details& details, Context& context,
                   Result& result, const SaidOf& saidOf = {});

} // namespace cli
