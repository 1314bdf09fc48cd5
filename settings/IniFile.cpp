#include "settings/IniFile.h"

#include "platform/Exception.h"
#include "platform/ProfileFile.h"

#include <QDir>

using namespace Qt::StringLiterals;

namespace {
const QString kSysInfo = u"SysInfo"_s;
const QString kWinampInfo = u"WinampInfo"_s;
} // namespace

TIniFile::TIniFile(const QString& fileName) : fileName_(fileName) {}

QString TIniFile::Path() const
{
    return platform::ProfilePath(fileName_);
}

QString TIniFile::ReadString(const QString& section, const QString& ident,
                             const QString& defaultValue) const
{
    return platform::GetPrivateProfileStringA(section, ident, defaultValue, fileName_);
}

int TIniFile::ReadInteger(const QString& section, const QString& ident, int defaultValue) const
{
    return StrToInt(ReadString(section, ident, QString::number(defaultValue)));
}

void TIniFile::WriteString(const QString& section, const QString& ident, const QString& value)
{
    if (!platform::WritePrivateProfileStringA(section, ident, value, fileName_))
        throw platform::Exception(u"Unable to write to %1"_s.arg(Path()));
}

void TIniFile::WriteInteger(const QString& section, const QString& ident, int value)
{
    WriteString(section, ident, QString::number(value));
}

int StrToInt(const QString& text)
{
    const qsizetype start = text.startsWith(u'+') || text.startsWith(u'-') ? 1 : 0;
    bool digits = text.size() > start;
    for (qsizetype i = start; i < text.size() && digits; ++i)
        digits = text.at(i) >= u'0' && text.at(i) <= u'9';
    bool ok = false;
    const int value = digits ? text.toInt(&ok, 10) : 0;
    if (!ok)
        throw platform::EConvertError(text);
    return value;
}

namespace settings {

int readShowId(const TIniFile& ini)
{
    return ini.ReadInteger(kSysInfo, u"ShowId"_s, 2);
}

void writeShowId(TIniFile& ini, int showId)
{
    ini.WriteInteger(kSysInfo, u"ShowId"_s, showId);
}

QString defaultFolder()
{
    const QString home = QDir::homePath();
    return home.endsWith(u'/') ? home : home + u'/';
}

QString readLastFolder(const TIniFile& ini)
{
    return ini.ReadString(kSysInfo, u"path"_s, defaultFolder());
}

void writeLastFolder(TIniFile& ini, const QString& folder)
{
    ini.WriteString(kSysInfo, u"path"_s, folder);
}

QString readWinampPath(const TIniFile& ini)
{
    return ini.ReadString(kWinampInfo, u"Path"_s, {});
}

void writeWinampPath(TIniFile& ini, const QString& path)
{
    ini.WriteString(kWinampInfo, u"Path"_s, path);
}

int readStartPosition(const TIniFile& ini)
{
    return ini.ReadInteger(kWinampInfo, u"Position"_s, 0);
}

void writeStartPosition(TIniFile& ini, int percent)
{
    ini.WriteInteger(kWinampInfo, u"Position"_s, percent);
}

TextEncoding readTextEncoding(const TIniFile& ini)
{
    const QString value = ini.ReadString(kSysInfo, u"TextEncoding"_s, u"unicode"_s);
    return value.compare(u"gbk"_s, Qt::CaseInsensitive) == 0 ? TextEncoding::Gbk
                                                             : TextEncoding::Unicode;
}

void writeTextEncoding(TIniFile& ini, TextEncoding encoding)
{
    ini.WriteString(kSysInfo, u"TextEncoding"_s,
                    encoding == TextEncoding::Gbk ? u"gbk"_s : u"unicode"_s);
}

QString readLegacyCodePage(const TIniFile& ini)
{
    return ini.ReadString(kSysInfo, u"LegacyCodePage"_s, u"GBK"_s);
}

} // namespace settings
