#pragma once

#include <QString>

namespace operations {

// How a command ended for one file: what every operation of this layer gives
// back. The message is what the log gets after the file's path, or why the
// command failed; empty when there is nothing to say.
struct Outcome {
    bool succeeded = false;
    QString message;
};

// How a command of many files ended for one of them: the file's full path
// (where it is now), whether it was done, and why not.
struct FileOutcome {
    QString file;
    bool succeeded = false;
    QString reason;
};

} // namespace operations
