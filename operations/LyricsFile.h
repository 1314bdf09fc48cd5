#pragma once

#include "platform/LegacyText.h"

#include <QByteArray>
#include <QString>

#include <optional>

// The text of a lyrics file (".lrc") in whatever encoding its writer chose:
// a byte-order mark says it, else text that is UTF-8 throughout is UTF-8,
// else the code page is the one the tag texts are read in (GBK, Big5,
// Windows-1252), decided by the same detector.
namespace operations {

enum class LyricsEncoding { Utf8Bom, Utf16LE, Utf16BE, Utf8, Legacy };

struct DecodedLyrics {
    QString text;
    LyricsEncoding encoding = LyricsEncoding::Utf8;
    platform::LegacyCodePage codePage = platform::LegacyCodePage::Gbk; // for Legacy
    // For the log: "UTF-8 (BOM)", "UTF-16LE", "UTF-16BE", "UTF-8", "GBK",
    // "Big5", "CP1252".
    QString encodingName() const;
};

// The bytes' text. `preferred` decides between code pages that read the
// bytes equally well. UTF-16 keeps what it holds (an odd last byte goes);
// a legacy text never holds U+FFFD (platform/LegacyText.h).
DecodedLyrics decodeLyrics(const QByteArray& bytes,
                           platform::LegacyCodePage preferred = platform::LegacyCodePage::Gbk);

// The file's text; nullopt when it cannot be read (missing, a folder, larger
// than any lyrics file: 16 MiB).
std::optional<DecodedLyrics>
readLyricsFile(const QString& path,
               platform::LegacyCodePage preferred = platform::LegacyCodePage::Gbk);

} // namespace operations
