#pragma once

#include <QString>
#include <QStringView>

// The program's settings file: where it is and what it holds.
//
// A TIniFile holds nothing but the file's name; make one for a sequence of
// reads or writes and let it go. Every read and write opens and closes the
// file (platform/ProfileFile.h).
class TIniFile {
public:
    // The settings file's name, handed over bare: it lives in the user's
    // configuration folder.
    static constexpr QStringView DefaultName = u"mp3tdex.ini";

    explicit TIniFile(const QString& fileName = DefaultName.toString());

    const QString& FileName() const { return fileName_; }
    // Where the file is: FileName resolved to a full path.
    QString Path() const;

    QString ReadString(const QString& section, const QString& ident,
                       const QString& defaultValue) const;
    // The value as a decimal integer; a missing key gives defaultValue.
    // Throws platform::EConvertError for a text that is not one.
    int ReadInteger(const QString& section, const QString& ident, int defaultValue) const;
    // Both throw platform::Exception "Unable to write to <path>" when the
    // file cannot be written; it then stays as it was.
    void WriteString(const QString& section, const QString& ident, const QString& value);
    void WriteInteger(const QString& section, const QString& ident, int value);

private:
    QString fileName_;
};

// A decimal integer (optional sign, digits, within int); anything else
// throws platform::EConvertError "'<text>' is not a valid integer value".
int StrToInt(const QString& text);

// The four settings, each a key of the file with its default.
namespace settings {

// "SysInfo"/"ShowId": the priority between the tag versions, 0 ID3v1 only,
// 1 ID3v2 only, 2 prefer ID3v2 (the default). As stored, not held to 0..2.
int readShowId(const TIniFile& ini);
void writeShowId(TIniFile& ini, int showId);

// "SysInfo"/"path": the last folder shown, ending in "/"; by default the
// user's home folder.
QString readLastFolder(const TIniFile& ini);
void writeLastFolder(TIniFile& ini, const QString& folder);
QString defaultFolder();

// "WinampInfo"/"Path": the media player's program; empty by default.
QString readWinampPath(const TIniFile& ini);
void writeWinampPath(TIniFile& ini, const QString& path);

// "WinampInfo"/"Position": percent of a song's length at which listening
// starts, 0 by default. As stored, not held to 0..100.
int readStartPosition(const TIniFile& ini);
void writeStartPosition(TIniFile& ini, int percent);

// "SysInfo"/"TextEncoding": how edited ID3v2 texts are written, "unicode"
// (UTF-16, the default) or "gbk" (code-page bytes for old devices). Another
// value reads as the default.
enum class TextEncoding { Unicode, Gbk };
TextEncoding readTextEncoding(const TIniFile& ini);
void writeTextEncoding(TIniFile& ini, TextEncoding encoding);

// "SysInfo"/"LegacyCodePage": the code page that texts without a declared
// encoding are read in when their bytes do not decide it ("GBK" by default,
// "Big5", "CP1252", ...), as stored.
QString readLegacyCodePage(const TIniFile& ini);

} // namespace settings
