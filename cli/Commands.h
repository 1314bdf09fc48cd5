#pragma once

#include "cli/Options.h"
#include "cli/Output.h"

#include <QString>

#include <vector>

namespace cli {

class Context;

// One command of the program: its options besides --json and --help, its
// help, and the function that does it. A command reads its parsed line and
// the run's context and hands back what it did; the dispatcher prints it.
struct Command {
    QString name;
    QString synopsis; // what follows the command's name in the usage line
    QString summary;  // one line for the program's help
    QString details;  // the rest of the command's help
    std::vector<OptionDef> options;
    Result (*run)(const ParsedArgs& args, Context& context) = nullptr;
};

// ls, get, set.
std::vector<Command> tagCommands();
// frames.
std::vector<Command> frameCommands();
// lyrics.
std::vector<Command> lyricsCommands();
// cover.
std::vector<Command> coverCommands();
// copy, from-name.
std::vector<Command> sourceCommands();
// rename, fix-names.
std::vector<Command> nameCommands();
// encoding.
std::vector<Command> encodingCommands();
// tool.
std::vector<Command> toolCommands();
// history, undo, redo.
std::vector<Command> historyCommands();

// A mistake in the command line: said on standard error, status 2.
Result badUsage(const QString& why);

} // namespace cli
