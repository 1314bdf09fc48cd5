// The renaming pattern and the file commands underneath renames and moves.

#include "operations/Renaming.h"
#include "operations/FileCommands.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace testsupport;

class RenamingTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void substitution_data()
    {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<QStringList>("values");
        QTest::addColumn<QString>("name");
        const QStringList tags{u"Song"_s, u"Band"_s, u"Disc"_s, u"2001"_s, u"Pop"_s,
                               u"note"_s, u"03"_s,   u"1/2"_s,  u"群星"_s};
        QTest::newRow("artist-title") << u"%2-%1"_s << tags << u"Band-Song"_s;
        QTest::newRow("text outside placeholders stays") << u"%4 %1"_s << tags << u"2001 Song"_s;
        QTest::newRow("every occurrence") << u"%1%1"_s << tags << u"SongSong"_s;
        QTest::newRow("all six") << u"%1%2%3%4%5%6"_s << tags << u"SongBandDisc2001Popnote"_s;
        QTest::newRow("track, disc and album artist")
            << u"%9 %8 %7. %1"_s << tags << u"群星 1_2 03. Song"_s;
        // Only %1 to %9 exist: "%10" is the title and a 0.
        QTest::newRow("a digit after a placeholder") << u"%10"_s << tags << u"Song0"_s;
        // Replaced in number order: what a later value brings in stays.
        QTest::newRow("a comment holding %7 gets the track")
            << u"%6"_s << QStringList{{}, {}, {}, {}, {}, u"#%7"_s, u"03"_s} << u"#03"_s;
        QTest::newRow("an album artist holding %1 keeps it")
            << u"%9"_s << QStringList{u"T"_s, {}, {}, {}, {}, {}, {}, {}, u"%1"_s} << u"%1"_s;
        QTest::newRow("a title holding %2 gets the artist")
            << u"%1"_s << QStringList{u"A%2"_s, u"B"_s, {}, {}, {}, {}} << u"AB"_s;
        QTest::newRow("no placeholders") << u"fixed"_s << tags << u"fixed"_s;
        QTest::newRow("slash never makes a folder")
            << u"%2-%1"_s << QStringList{u"a/b"_s, u"../x"_s, {}, {}, {}, {}} << u"_._x-a_b"_s;
        // A file without tags: the separators alone are no name.
        QTest::newRow("every placeholder empty") << u"%2 - %1"_s << QStringList{} << QString();
        QTest::newRow("blank values are empty")
            << u"%2 - %1 %3"_s << QStringList{u" "_s, {}, u"\t"_s} << QString();
        QTest::newRow("one value is enough")
            << u"%2 - %1"_s << QStringList{u"Song"_s} << u" - Song"_s;
        QTest::newRow("control characters")
            << u"%1"_s << QStringList{u"x\u0001y\tz\u007F\u0085."_s} << u"x_y_z__."_s;
        QTest::newRow("a leading dot would hide the file")
            << u"%1"_s << QStringList{u".hidden song"_s} << u"_hidden song"_s;
        QTest::newRow("a dot inside stays")
            << u"%2.%1"_s << QStringList{u"b"_s, u"a"_s} << u"a.b"_s;
        QTest::newRow("Chinese") << u"%2-%1"_s
                                 << QStringList{u"第一首"_s, u"歌手"_s, {}, {}, {}, {}}
                                 << u"歌手-第一首"_s;
    }
    void substitution()
    {
        QFETCH(QString, pattern);
        QFETCH(QStringList, values);
        QFETCH(QString, name);
        operations::PatternValues v;
        for (int i = 0; i < int(v.size()); ++i)
            v[std::size_t(i)] = values.value(i);
        QCOMPARE(operations::substitutePattern(pattern, v), name);
    }

    void emptyNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("empty");
        QTest::newRow("empty") << QString() << true;
        QTest::newRow("dot") << u"."_s << true;
        QTest::newRow("dot dot") << u".."_s << true;
        QTest::newRow("blanks and dots") << u" . "_s << true;
        QTest::newRow("a name") << u"a"_s << false;
        QTest::newRow("a dotted name") << u".a"_s << false;
    }
    void emptyNames()
    {
        QFETCH(QString, name);
        QFETCH(bool, empty);
        QCOMPARE(operations::isEmptyName(name), empty);
    }

    void presets()
    {
        QCOMPARE(operations::presetIndexOf(u"%2-%3-%1"_s), 3);
        QCOMPARE(operations::presetIndexOf(u"%1"_s), 0);
        QCOMPARE(operations::presetIndexOf(u"%2-%1 "_s), -1);
    }

    void insertion()
    {
        // The caret behind %1 of "%1-%2": the album goes there, the caret behind it.
        const auto at = operations::insertPlaceholder(u"%1-%2"_s, 2, u"%3"_s);
        QCOMPARE(at.text, u"%1%3-%2"_s);
        QCOMPARE(at.caret, 4);
        QCOMPARE(operations::insertPlaceholder(u"ab"_s, 99, u"%6"_s).text, u"ab%6"_s);
        QCOMPARE(operations::insertPlaceholder(u"ab"_s, 0, u"%6"_s).caret, 2);
    }

    void moveNeverReplaces()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(u"a.mp3"_s);
        const QString b = dir.filePath(u"b.mp3"_s);
        writeBytes(a, "A");
        writeBytes(b, "B");
        QCOMPARE(operations::moveFile(a, a), operations::MoveResult::Unchanged);
        QCOMPARE(operations::moveFile(a, b), operations::MoveResult::Failed);
        QCOMPARE(readBytes(a), QByteArray("A"));
        QCOMPARE(readBytes(b), QByteArray("B"));
        const QString upper = dir.filePath(u"a.MP3"_s);
        QCOMPARE(operations::moveFile(a, upper), operations::MoveResult::Moved);
        QCOMPARE(readBytes(upper), QByteArray("A"));
        QVERIFY(!QFile::exists(a));
    }

    void joinPath()
    {
        QCOMPARE(operations::joinPath(u"/"_s, u"a.mp3"_s), u"/a.mp3"_s);
        QCOMPARE(operations::joinPath(u"/music"_s, u"a.mp3"_s), u"/music/a.mp3"_s);
        QCOMPARE(operations::joinPath(u"/music/"_s, u"a.mp3"_s), u"/music/a.mp3"_s);
    }

    void deleteGoesToTheTrash()
    {
        QTemporaryDir dir;
        const QString a = dir.filePath(u"gone.mp3"_s);
        writeBytes(a, "keep me");
        QVERIFY(operations::deleteToTrash(a));
        QVERIFY(!QFile::exists(a));
        const QString trashed = qEnvironmentVariable("XDG_DATA_HOME") + u"/Trash/files/gone.mp3"_s;
        QCOMPARE(readBytes(trashed), QByteArray("keep me"));
    }

    // A fresh account has no data folder; the file must reach the trash all
    // the same, not the working folder.
    void deleteOnAFreshAccount()
    {
        QTemporaryDir dir;
        QTemporaryDir working;
        const QString oldWorking = QDir::currentPath();
        const QByteArray oldDataHome = qgetenv("XDG_DATA_HOME");
        QVERIFY(QDir::setCurrent(working.path()));
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.filePath(u"share"_s)));
        const QString a = dir.filePath(u"gone.mp3"_s);
        writeBytes(a, "keep me");
        const bool trashed = operations::deleteToTrash(a);
        const QStringList inWorking =
            QDir(working.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
        QDir::setCurrent(oldWorking);
        qputenv("XDG_DATA_HOME", oldDataHome);
        QVERIFY(trashed);
        QCOMPARE(inWorking, QStringList());
        QCOMPARE(readBytes(dir.filePath(u"share/Trash/files/gone.mp3"_s)), QByteArray("keep me"));
    }
};

MP3T_TEST_GUILESS_MAIN(RenamingTest)
#include "RenamingTest.moc"
