#pragma once

#include "operations/TagText.h"
#include "platform/LegacyText.h"
#include "tags/TagImage.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

class TID3v1;
class TID3v2;

// The encoding inspector's view of one file and its repair: every legacy text
// of the file with the code page its tag is read in, and the conversion of
// those texts to Unicode.
namespace operations {

struct LegacyTextOfFile {
    QString field; // "标题", "作者", ... for the shown fields, the frame ID for others; "ID3v1 ..."
                   // for ID3v1
    std::string bytes;
    platform::LegacyCodePage codePage; // detected for its tag
};

// The legacy texts of a file that are not pure ASCII (those read the same in
// every code page): ID3v2 frames first, then the ID3v1 fields.
std::vector<LegacyTextOfFile> legacyTextsOf(TID3v1& v1, TID3v2& v2, const QString& path,
                                            const TextRules& rules = {});

// Makes ready the rewrite of the file's legacy ID3v2 texts as Unicode
// (UTF-16) read in `codePage` (each tag's detected one when none is given),
// keeping every other frame, and of its ID3v1 fields in GBK. A file whose
// texts are all Unicode or ASCII already needs nothing (converted false).
struct PreparedConversion {
    bool converted = false;                // something was to be converted
    std::optional<tags::TagChange> change; // none though converted: it cannot be made
};
PreparedConversion prepareConversion(TID3v1& v1, TID3v2& v2, const QString& path,
                                     std::optional<platform::LegacyCodePage> codePage,
                                     const TextRules& rules = {});

} // namespace operations
