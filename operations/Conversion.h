#pragma once

#include "operations/Journal.h"
#include "operations/Outcome.h"
#include "operations/TagBatch.h"
#include "operations/TagText.h"
#include "platform/LegacyText.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QString>

#include <cstddef>
#include <deque>
#include <functional>
#include <optional>
#include <vector>

namespace operations {

// The conversion of files' legacy tag texts to Unicode, as one command of
// both heads: each file is made ready as it is given (read, and its new tag
// rendered, or why it cannot be), the changes are written as one step of the
// journal in slices (operations/TagBatch), and each file is reported in the
// order it was given once its slice is written.
class Conversion {
public:
    // How the conversion ended for one file. A file whose texts are Unicode
    // or ASCII already needs nothing: it succeeds, and nothing is written.
    struct FileResult {
        FileOutcome file;
        bool needed = true;
    };
    using AfterFile = std::function<void(std::size_t index, const FileResult& result)>;

    Conversion(Journal* journal, const TextRules& rules, AfterFile afterFile);
    Conversion(const Conversion&) = delete;
    Conversion& operator=(const Conversion&) = delete;

    // Takes a file, read in `codePage` (each tag's detected one when none is
    // given); its index in the callbacks.
    std::size_t add(const QString& path, std::optional<platform::LegacyCodePage> codePage);
    // Takes a file that cannot be converted: reported as failed, in its turn.
    std::size_t fail(const QString& path, const QString& reason);
    // Writes what is left and ends the step.
    void finish();
    // What is said of the step after the write (see stepProblems).
    std::vector<QString> problems() const { return batch_.problems(); }

private:
    void report(std::size_t index, const Outcome& written);

    TextRules rules_;
    AfterFile afterFile_;
    TID3v1 v1_;
    TID3v2 v2_;
    // What is known of the files not yet reported; a changing file's outcome
    // is its write's.
    struct Waiting {
        FileResult result;
        bool changing = false;
    };
    std::deque<Waiting> waiting_;
    TagBatch batch_;
};

} // namespace operations
