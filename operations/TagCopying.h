#pragma once

#include "operations/TagText.h"

#include <QString>

#include <string>

class TID3v1;
class TID3v2;

namespace operations {

enum class CopyDirection { V1ToV2, V2ToV1 };

// How one file's copy ended. message is what the log gets after the file's
// path; empty when the file gets no line (it had no source tag).
struct CopyOutcome {
    bool succeeded = false;
    QString message;
};

// Copies one file's tag from one version into the other. Both objects are read
// from the file first, so what the copy does not set stays as the file had it
// (the ID3v1 track number among it). With overwrite false an existing target
// tag is left alone. An error of the operating system from the ID3v2 write
// throws.
// Texts go over as the rules say: a legacy ID3v1 text read in the file's code
// page becomes an ID3v2 text in the write form; ID3v1 gets GBK.
CopyOutcome copyTag(TID3v1& v1, TID3v2& v2, CopyDirection direction, bool overwrite,
                    const QString& path, const TextRules& rules = {});

// The position of a genre name among the 148 names, by a whole-text match
// that ignores letter case; -1 when none matches (the empty text included).
int genreIndexOf(const std::string& name);

} // namespace operations
