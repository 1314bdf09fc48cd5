#include "platform/ProfileFile.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using platform::GetPrivateProfileStringA;
using platform::ProfilePath;
using platform::WritePrivateProfileStringA;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

// Sets an environment variable for one scope.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const QByteArray& value)
        : name_(name), had_(qEnvironmentVariableIsSet(name)), old_(qgetenv(name))
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (had_)
            qputenv(name_, old_);
        else
            qunsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    bool had_;
    QByteArray old_;
};

} // namespace

class ProfileFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void reads_data();
    void reads();
    void readsAtMost2047Characters();
    void writes_data();
    void writes();
    void rejectsWhatWouldBreakTheFile_data();
    void rejectsWhatWouldBreakTheFile();
    void failsWhenTheFileIsAFolder();
    void failsWhenTheFolderIsAFile();
    void refusesAReadOnlyFile();
    void keepsPermissionsAndLeavesNoTemporaryFile();
    void bareNameLivesInTheConfigFolder();
    void bareNameFallsBackToDotConfig_data();
    void bareNameFallsBackToDotConfig();

private:
    QString path() const { return dir_->filePath(u"test.ini"_s); }
    std::unique_ptr<QTemporaryDir> dir_;
};

void ProfileFileTest::init()
{
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
}

void ProfileFileTest::reads_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no file at all
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected"); // the default is "dflt"

    QTest::newRow("no file") << QByteArray() << u"s"_s << u"k"_s << u"dflt"_s;
    QTest::newRow("empty file") << ""_ba << u"s"_s << u"k"_s << u"dflt"_s;
    QTest::newRow("plain") << "[s]\nk=v\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("section case") << "[SysInfo]\nk=v\n"_ba << u"SYSINFO"_s << u"k"_s << u"v"_s;
    QTest::newRow("key case") << "[s]\nShowId=1\n"_ba << u"s"_s << u"showid"_s << u"1"_s;
    QTest::newRow("first key wins") << "[s]\nk=1\nK=2\n"_ba << u"s"_s << u"k"_s << u"1"_s;
    QTest::newRow("first section wins") << "[s]\nk=1\n[S]\nk=2\n"_ba << u"s"_s << u"k"_s << u"1"_s;
    QTest::newRow("key of another section")
        << "[t]\nk=v\n[s]\nj=w\n"_ba << u"s"_s << u"k"_s << u"dflt"_s;
    QTest::newRow("no section") << "k=v\n"_ba << u"s"_s << u"k"_s << u"dflt"_s;
    QTest::newRow("CRLF") << "[s]\r\nk=v\r\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("blanks") << " [ s ] \n  k  =  v w  \n"_ba << u"s"_s << u"k"_s << u"v w"_s;
    QTest::newRow("tabs") << "[s]\n\tk\t=\tv\t\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("no final newline") << "[s]\nk=v"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("empty value") << "[s]\nk=\n"_ba << u"s"_s << u"k"_s << QString();
    QTest::newRow("equals in value") << "[s]\nk=a=b\n"_ba << u"s"_s << u"k"_s << u"a=b"_s;
    QTest::newRow("byte-order mark") << "\xEF\xBB\xBF[s]\nk=v\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("utf-8 value") << "[s]\npath=/home/用户/音乐/\n"_ba << u"s"_s << u"path"_s
                                 << u"/home/用户/音乐/"_s;
    QTest::newRow("comment line") << "[s]\n;k=x\nk=v\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("broken bytes elsewhere")
        << "[s]\nj=\xFF\xFE\nk=v\n"_ba << u"s"_s << u"k"_s << u"v"_s;
    QTest::newRow("section without bracket") << "[s\nk=v\n"_ba << u"s"_s << u"k"_s << u"v"_s;
}

void ProfileFileTest::reads()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    if (!content.isNull())
        QVERIFY(writeBytes(path(), content));
    QCOMPARE(GetPrivateProfileStringA(section, key, u"dflt"_s, path()), expected);
}

void ProfileFileTest::readsAtMost2047Characters()
{
    const QString longValue(3000, u'x');
    QVERIFY(writeBytes(path(), "[s]\nk=" + longValue.toUtf8() + "\n"));
    QCOMPARE(GetPrivateProfileStringA(u"s"_s, u"k"_s, {}, path()), QString(2047, u'x'));
    QCOMPARE(GetPrivateProfileStringA(u"s"_s, u"none"_s, longValue, path()).size(), 2047);

    // A character outside the BMP across the limit is dropped whole.
    const QString split = QString(2046, u'x') + u"\U00020000"_s;
    QVERIFY(writeBytes(path(), "[s]\nk=" + split.toUtf8() + "\n"));
    QCOMPARE(GetPrivateProfileStringA(u"s"_s, u"k"_s, {}, path()), QString(2046, u'x'));
}

void ProfileFileTest::writes_data()
{
    QTest::addColumn<QByteArray>("before"); // null: no file at all
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QByteArray>("after"); // the value written is "v"

    QTest::newRow("no file") << QByteArray() << u"s"_s << u"k"_s << "[s]\nk=v\n"_ba;
    QTest::newRow("empty file") << ""_ba << u"s"_s << u"k"_s << "[s]\nk=v\n"_ba;
    QTest::newRow("new section") << "[a]\nx=1\n"_ba << u"s"_s << u"k"_s
                                 << "[a]\nx=1\n[s]\nk=v\n"_ba;
    QTest::newRow("new section, no final newline")
        << "[a]\nx=1"_ba << u"s"_s << u"k"_s << "[a]\nx=1\n[s]\nk=v\n"_ba;
    QTest::newRow("new key ends its section")
        << "[s]\na=1\n\n[t]\nb=2\n"_ba << u"S"_s << u"k"_s << "[s]\na=1\nk=v\n\n[t]\nb=2\n"_ba;
    QTest::newRow("new key in empty section")
        << "[s]\n[t]\n"_ba << u"s"_s << u"k"_s << "[s]\nk=v\n[t]\n"_ba;
    QTest::newRow("new key after header without newline")
        << "[s]"_ba << u"s"_s << u"k"_s << "[s]\nk=v\n"_ba;
    QTest::newRow("replaced, case-insensitive")
        << "[s]\n a=1\n K = old \nb=2\n"_ba << u"s"_s << u"k"_s << "[s]\n a=1\nk=v\nb=2\n"_ba;
    QTest::newRow("only the first is replaced")
        << "[s]\nk=1\nk=2\n"_ba << u"s"_s << u"k"_s << "[s]\nk=v\nk=2\n"_ba;
    QTest::newRow("replaced on last line") << "[s]\nk=old"_ba << u"s"_s << u"k"_s << "[s]\nk=v"_ba;
    QTest::newRow("CRLF kept") << "[s]\r\na=1\r\n"_ba << u"s"_s << u"k"_s
                               << "[s]\r\na=1\r\nk=v\r\n"_ba;
    QTest::newRow("other lines byte for byte")
        << "; \xFF comment\r\n[s]\n  j = \xFE\t\nk=old\n[t]\nk=x\n"_ba << u"s"_s << u"k"_s
        << "; \xFF comment\r\n[s]\n  j = \xFE\t\nk=v\n[t]\nk=x\n"_ba;
}

void ProfileFileTest::writes()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QByteArray, after);
    if (!before.isNull())
        QVERIFY(writeBytes(path(), before));
    QVERIFY(WritePrivateProfileStringA(section, key, u"v"_s, path()));
    QCOMPARE(readBytes(path()), after);
    QCOMPARE(GetPrivateProfileStringA(section, key, {}, path()), u"v"_s);
}

void ProfileFileTest::rejectsWhatWouldBreakTheFile_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::newRow("line break in value") << u"s"_s << u"k"_s << u"a\nb=c"_s;
    QTest::newRow("carriage return in value") << u"s"_s << u"k"_s << u"a\rb"_s;
    QTest::newRow("equals in key") << u"s"_s << u"k=x"_s << u"v"_s;
    QTest::newRow("bracket in section") << u"s]x"_s << u"k"_s << u"v"_s;
    QTest::newRow("key like a section") << u"s"_s << u"[t]"_s << u"v"_s;
    QTest::newRow("empty key") << u"s"_s << u" "_s << u"v"_s;
    QTest::newRow("empty section") << QString() << u"k"_s << u"v"_s;
}

void ProfileFileTest::rejectsWhatWouldBreakTheFile()
{
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    const QByteArray before = "[s]\nk=old\n"_ba;
    QVERIFY(writeBytes(path(), before));
    QVERIFY(!WritePrivateProfileStringA(section, key, value, path()));
    QCOMPARE(readBytes(path()), before);
}

void ProfileFileTest::failsWhenTheFileIsAFolder()
{
    QVERIFY(QDir(dir_->path()).mkdir(u"test.ini"_s));
    QVERIFY(!WritePrivateProfileStringA(u"s"_s, u"k"_s, u"v"_s, path()));
    QVERIFY(QFileInfo(path()).isDir());
    QCOMPARE(GetPrivateProfileStringA(u"s"_s, u"k"_s, u"d"_s, path()), u"d"_s);
}

void ProfileFileTest::failsWhenTheFolderIsAFile()
{
    const QString parent = dir_->filePath(u"config"_s);
    QVERIFY(writeBytes(parent, "not a folder"));
    QVERIFY(!WritePrivateProfileStringA(u"s"_s, u"k"_s, u"v"_s, parent + u"/test.ini"_s));
    QCOMPARE(readBytes(parent), "not a folder"_ba);
}

// Root could rename over the file; the write must still be refused.
void ProfileFileTest::refusesAReadOnlyFile()
{
    const QByteArray before = "[s]\nk=old\n"_ba;
    QVERIFY(writeBytes(path(), before));
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0444) == 0);
    QVERIFY(!WritePrivateProfileStringA(u"s"_s, u"k"_s, u"v"_s, path()));
    QCOMPARE(readBytes(path()), before);
}

void ProfileFileTest::keepsPermissionsAndLeavesNoTemporaryFile()
{
    QVERIFY(writeBytes(path(), "[s]\n"));
    QVERIFY(::chmod(QFile::encodeName(path()).constData(), 0600) == 0);
    QVERIFY(WritePrivateProfileStringA(u"s"_s, u"k"_s, u"v"_s, path()));
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(path()).constData(), &st), 0);
    QCOMPARE(st.st_mode & 07777, mode_t(0600));
    QCOMPARE(QDir(dir_->path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
             QStringList{u"test.ini"_s});
}

void ProfileFileTest::bareNameLivesInTheConfigFolder()
{
    const QString config = dir_->filePath(u"xdg/config"_s); // not there yet
    ScopedEnv env("XDG_CONFIG_HOME", QFile::encodeName(config));
    QCOMPARE(ProfilePath(u"mp3tdex.ini"_s), config + u"/mp3tdex.ini"_s);
    QCOMPARE(ProfilePath(u"/etc/x.ini"_s), u"/etc/x.ini"_s);
    QVERIFY(WritePrivateProfileStringA(u"SysInfo"_s, u"ShowId"_s, u"1"_s, u"mp3tdex.ini"_s));
    QCOMPARE(readBytes(config + u"/mp3tdex.ini"_s), "[SysInfo]\nShowId=1\n"_ba);
    QCOMPARE(GetPrivateProfileStringA(u"sysinfo"_s, u"showid"_s, u"2"_s, u"mp3tdex.ini"_s), u"1"_s);
}

void ProfileFileTest::bareNameFallsBackToDotConfig_data()
{
    QTest::addColumn<QByteArray>("xdgConfigHome");
    QTest::newRow("unset") << QByteArray();
    QTest::newRow("empty") << ""_ba;
    QTest::newRow("relative") << "relative/config"_ba;
}

void ProfileFileTest::bareNameFallsBackToDotConfig()
{
    QFETCH(QByteArray, xdgConfigHome);
    ScopedEnv home("HOME", QFile::encodeName(dir_->path()));
    ScopedEnv env("XDG_CONFIG_HOME", xdgConfigHome);
    QCOMPARE(ProfilePath(u"mp3tdex.ini"_s), dir_->path() + u"/.config/mp3tdex.ini"_s);
}

MP3T_TEST_GUILESS_MAIN(ProfileFileTest)
#include "ProfileFileTest.moc"
