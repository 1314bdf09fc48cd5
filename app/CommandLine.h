#pragma once

#include <QString>

#include <optional>

// The program's command line: one optional argument, a folder to open or an
// MP3 file to open in its folder, instead of the folder of the settings.
struct TCommandLine {
    QString path;      // as given, its bytes kept (a name that is not UTF-8 too)
    bool exit = false; // --help, --version or a mistake: print `output`, end
    int status = 0;    // the exit status then: 0, or 2 for bad usage
    QString output;    // for standard output (status 0) or standard error
};

// The arguments after the program's name, as the application object left
// them (Qt's own options taken out).
TCommandLine ParseCommandLine(int argc, const char* const* argv);
