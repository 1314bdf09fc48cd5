#pragma once

#include <QByteArray>
#include <QString>

#include <vector>

namespace cli {

// What the program writes and its exit status.
struct Answer {
    int status = 0;
    QByteArray out;
    QByteArray err;
};

// Runs one command line (the arguments after the program's name, decoded so
// that file names keep their bytes).
Answer runCommandLine(const std::vector<QString>& args);

} // namespace cli
