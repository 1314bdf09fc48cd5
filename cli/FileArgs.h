#pragma once

#include "cli/Options.h"

#include "operations/TagEditing.h"

#include <QString>

#include <optional>
#include <vector>

// The files a command is given, checked and listed as every command needs
// them.
namespace cli {

class Context;
struct Result;

// errno in words for the user (platform/SystemError.h).
QString systemError();

// Why the path cannot be read as a file; nullopt when it can.
std::optional<QString> notAFile(const QString& path);

bool isFolder(const QString& path, bool followLinks);

// A file of a listing, or why a path given could not be listed.
struct Entry {
    QString path;
    std::optional<QString> error;
};

// The MP3 files of the paths: a file stands for itself (checked), a folder for
// its *.mp3 files (any case) in byte order, its sub-folders' after them with
// `recursive`. No paths: the current folder. Links to folders met inside a
// folder are not followed, so a loop cannot trap the walk.
std::vector<Entry> listPaths(const std::vector<QString>& operands, bool recursive);

// The operands from `first` on as files, checked; a file named twice (also by
// another path) is kept once.
std::vector<Entry> distinctFiles(const std::vector<QString>& operands, std::size_t first = 0);

// --priority, and the priority of a run: the option's, else the settings' as
// the window reads it. A bad option is bad usage; a stored number that names
// no version fails the run, as nothing could be shown or written.
OptionDef priorityOption();
std::optional<operations::Priority> runPriority(const ParsedArgs& args, Context& context,
                                                Result& result);

} // namespace cli
