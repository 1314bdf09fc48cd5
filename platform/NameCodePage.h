#pragma once

#include "platform/LegacyText.h"

#include <QString>

#include <optional>
#include <string_view>

// The code page of a file name that is not UTF-8. Windows wrote names in the
// code pages it wrote tags in (GBK, Big5, Windows-1252) and, on Japanese
// systems, in Shift-JIS. A name is one short text with no other text of its
// file to go on, so it is read only when one code page fits it clearly.
namespace platform {

// The name's text, or nullopt when no code page fits it with confidence:
// bytes that no candidate reads whole, characters untypical of every reading
// (a run of symbols, mojibake), or two different readings close in how
// typical they are. Between the tag code pages the detector decides, the
// preferred one winning a tie, as it does for tags.
std::optional<QString> confidentNameText(std::string_view bytes, LegacyDetector& detector,
                                         LegacyCodePage preferred);

} // namespace platform
