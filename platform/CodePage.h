#pragma once

#include <QString>

#include <string>

// The code page of tag texts: GB18030, the superset of GBK. GBK bytes read
// unchanged, and every character a user can type has a byte form. Texts stay
// bytes in tags/ and are converted only here, at the edges.
namespace platform {

// Tag bytes to a widget text. Bytes that are not GB18030 (a broken or
// truncated sequence) become U+FFFD. Stops at the first NUL byte, as a C
// string does.
QString AnsiToText(const std::string& bytes);

// A widget text (or a file name) to tag bytes. A character without a byte
// form (only a lone UTF-16 surrogate) becomes '?'. Stops at the first NUL.
std::string TextToAnsi(const QString& text);

} // namespace platform
