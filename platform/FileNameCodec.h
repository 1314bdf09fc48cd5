#pragma once

#include "platform/LegacyText.h"

#include <QByteArray>
#include <QString>

#include <optional>

// File names as the file system has them (bytes, normally UTF-8) and as
// QString. Names unpacked from Windows archives are often GBK bytes; Qt's
// QFile::decodeName turns those into U+FFFD and the file can no longer be
// opened. Here every byte string has a QString that gives the same bytes back.
namespace platform {

// Valid UTF-8 decodes as usual; each byte of an invalid sequence (always
// 0x80 or above) becomes the lone surrogate U+DC80 + (byte - 0x80).
QString decodeFileName(const QByteArray& native);

// The reverse of decodeFileName, exact for every byte string. A lone
// surrogate outside U+DC80..U+DCFF, which no decoded name holds, becomes '?'.
QByteArray encodeFileName(const QString& name);

// Whether the bytes are valid UTF-8 (no overlong forms, no surrogates).
bool isUtf8Name(const QByteArray& native);

// The name a name that is not UTF-8 is repaired to: its bytes read in the
// code page that fits them with confidence (GBK, Big5, Windows-1252 or
// Shift-JIS); nullopt for a UTF-8 name and for one no code page fits so.
std::optional<QString> repairedFileName(const QByteArray& native, LegacyDetector& detector,
                                        LegacyCodePage preferred = LegacyCodePage::Gbk);

// The name to show: UTF-8 as it is, other bytes as they are repaired (GBK
// bytes of "老歌.mp3" show as "老歌.mp3"), or, when no code page fits them
// with confidence, in the tag code page the detector reads them in. Not a
// name to open the file by: use decodeFileName for that.
QString shownFileName(const QByteArray& native, LegacyDetector& detector,
                      LegacyCodePage preferred = LegacyCodePage::Gbk);

} // namespace platform
