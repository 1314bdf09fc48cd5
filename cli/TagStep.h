#pragma once

#include "cli/FileArgs.h"

#include "operations/Journal.h"
#include "operations/TagCommand.h"
#include "operations/TagEditing.h"
#include "tags/TagImage.h"

#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace cli {

class Context;
struct Result;

// Prepares every file with the command, then runs it as one step of the
// journal, and reports each file in the given order: a row "file  outcome"
// and an object {"file", "ok", "outcome" or "error", details...}; a failure
// also on standard error. `succeeded` is what is said of a changed file;
// `details` (may be empty) adds members to a file's JSON object whatever its
// outcome (it gets the file's absolute path, as the command does).
// A file the command has nothing to do for is a row of its own, saying why,
// and no failure. `saidOf` (may be empty) says what a file's change did, in
// place of `succeeded`. Gives the step of the journal (see TagBatch::step).
using Details = std::function<QJsonObject(const QString& path)>;
using SaidOf = std::function<QString(const QString& path, const tags::TagChange& change)>;
std::int64_t runTagCommand(const std::vector<Entry>& files, const operations::TagCommand& command,
                           const QString& succeeded, const Details& details, Context& context,
                           Result& result, const SaidOf& saidOf = {});

} // namespace cli
