#include "settings/IniFile.h"
#include "settings/ToolsSection.h"

#include "platform/Exception.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTest>

using namespace Qt::StringLiterals;
using testsupport::readBytes;
using testsupport::writeBytes;

class IniFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void strToInt_data();
    void strToInt();
    void defaultsWithoutAFile();
    void writesTheFourKeys();
    void readsKeysWhateverTheirCase();
    void failedWriteNamesTheFile();
    void adPatternsKeepTheirCharacters();

private:
    QString iniPath() const
    {
        return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(u"mp3tdex.ini"_s);
    }
};

void IniFileTest::init()
{
    QDir(iniPath()).removeRecursively();
    QFile::remove(iniPath());
}

void IniFileTest::strToInt_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("value");
    QTest::newRow("zero") << u"0"_s << true << 0;
    QTest::newRow("negative") << u"-3"_s << true << -3;
    QTest::newRow("plus sign") << u"+5"_s << true << 5;
    QTest::newRow("leading zeros") << u"007"_s << true << 7;
    QTest::newRow("largest") << u"2147483647"_s << true << 2147483647;
    QTest::newRow("smallest") << u"-2147483648"_s << true << int(-2147483648LL);
    QTest::newRow("empty") << QString() << false << 0;
    QTest::newRow("sign only") << u"-"_s << false << 0;
    QTest::newRow("word") << u"abc"_s << false << 0;
    QTest::newRow("trailing letter") << u"2x"_s << false << 0;
    QTest::newRow("hexadecimal") << u"0x10"_s << false << 0;
    QTest::newRow("fraction") << u"1.5"_s << false << 0;
    QTest::newRow("inner blank") << u"1 2"_s << false << 0;
    QTest::newRow("too large") << u"2147483648"_s << false << 0;
    QTest::newRow("other digits") << u"\u0663"_s << false << 0;
    QTest::newRow("full-width digit") << u"\uFF12"_s << false << 0;
}

void IniFileTest::strToInt()
{
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(int, value);
    try {
        QCOMPARE(StrToInt(text), value);
        QVERIFY(valid);
    } catch (const platform::EConvertError& e) {
        QVERIFY(!valid);
        QCOMPARE(e.message(), u"'%1' is not a valid integer value"_s.arg(text));
    }
}

void IniFileTest::defaultsWithoutAFile()
{
    const TIniFile ini;
    QCOMPARE(ini.FileName(), u"mp3tdex.ini"_s);
    QCOMPARE(ini.Path(), iniPath());
    QCOMPARE(settings::readShowId(ini), 2);
    QCOMPARE(settings::readLastFolder(ini), QDir::homePath() + u'/');
    QCOMPARE(settings::readWinampPath(ini), QString());
    QCOMPARE(settings::readStartPosition(ini), 0);
    QVERIFY(!QFile::exists(iniPath()));
}

void IniFileTest::writesTheFourKeys()
{
    TIniFile ini;
    settings::writeShowId(ini, 1);
    settings::writeLastFolder(ini, u"/home/音乐/"_s);
    settings::writeWinampPath(ini, u"/usr/bin/mpv"_s);
    settings::writeStartPosition(ini, 30);
    QCOMPARE(
        readBytes(iniPath()),
        "[SysInfo]\nShowId=1\npath=/home/音乐/\n[WinampInfo]\nPath=/usr/bin/mpv\nPosition=30\n"_ba);
    const TIniFile again;
    QCOMPARE(settings::readShowId(again), 1);
    QCOMPARE(settings::readLastFolder(again), u"/home/音乐/"_s);
    QCOMPARE(settings::readWinampPath(again), u"/usr/bin/mpv"_s);
    QCOMPARE(settings::readStartPosition(again), 30);
}

void IniFileTest::readsKeysWhateverTheirCase()
{
    QVERIFY(writeBytes(iniPath(),
                       "[sysinfo]\r\nSHOWID = 0\r\nPATH=/tmp/\r\n[WINAMPINFO]\r\npath=/x\r\n"));
    const TIniFile ini;
    QCOMPARE(settings::readShowId(ini), 0);
    QCOMPARE(settings::readLastFolder(ini), u"/tmp/"_s);
    QCOMPARE(settings::readWinampPath(ini), u"/x"_s);
}

// A folder where the file should be: fails for root too.
void IniFileTest::failedWriteNamesTheFile()
{
    QVERIFY(QDir().mkpath(iniPath()));
    TIniFile ini;
    try {
        settings::writeShowId(ini, 1);
        QFAIL("no error");
    } catch (const platform::Exception& e) {
        QCOMPARE(e.message(), u"Unable to write to "_s + iniPath());
    }
    QVERIFY(QFileInfo(iniPath()).isDir());
    QCOMPARE(settings::readShowId(ini), 2);
}

// Expressions hold what INI files treat specially: "=", ";", "#", "[".
void IniFileTest::adPatternsKeepTheirCharacters()
{
    TIniFile ini;
    QCOMPARE(settings::readAdPatterns(ini), std::nullopt);
    const QStringList patterns{u"a=b"_s, u"[QQ群;#]\\d+"_s, u"(?:x|y) 提供"_s};
    settings::writeAdPatterns(ini, patterns);
    QCOMPARE(settings::readAdPatterns(TIniFile()), std::optional<QStringList>(patterns));
    // The user removed them all: none, not the shipped ones.
    settings::writeAdPatterns(ini, {});
    QCOMPARE(settings::readAdPatterns(TIniFile()), std::optional<QStringList>(QStringList()));
}

MP3T_TEST_GUILESS_MAIN(IniFileTest)
#include "IniFileTest.moc"
