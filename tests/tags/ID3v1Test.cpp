#include "tags/ID3v1.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <sys/stat.h>

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

QByteArray fourByteChar()
{
    return gbk(QString::fromUcs4(U"\U00020000", 1));
}

std::string str(const QByteArray& b)
{
    return b.toStdString();
}

} // namespace

class ID3v1Test : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void genreNames_data();
    void genreNames();
    void read_data();
    void read();
    void readWithoutTag();
    void tooShortFiles();
    void save_data();
    void save();
    void trackCutsCommentTo28Bytes();
    void readOnlyFileIsWrittenAndMadeWritable();
    void removeCutsTrailerOff();
    void setters_data();
    void setters();

private:
    tagtest::Files files_;
};

void ID3v1Test::genreNames_data()
{
    QTest::addColumn<int>("id");
    QTest::addColumn<QByteArray>("name");
    QTest::newRow("first") << 0 << QByteArray("Blues");
    QTest::newRow("rock") << 17 << QByteArray("Rock");
    QTest::newRow("last") << 147 << QByteArray("Synthpop");
    QTest::newRow("beyond the table") << 148 << QByteArray();
    QTest::newRow("none") << 255 << QByteArray();
}

void ID3v1Test::genreNames()
{
    QFETCH(int, id);
    QFETCH(QByteArray, name);
    TID3v1 tag;
    tag.SetGenreID(uint8_t(id));
    QCOMPARE(QByteArray::fromStdString(tag.Genre()), name);
    QCOMPARE(tag.GenreID(), uint8_t(id));
}

void ID3v1Test::read_data()
{
    QTest::addColumn<QByteArray>("trailer");
    QTest::addColumn<int>("version");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("comment");
    QTest::addColumn<int>("track");
    QTest::addColumn<int>("genre");

    const QByteArray c30 = QByteArray("c").repeated(30);
    QTest::newRow("v1.0") << id3v1Trailer("Title", "A", "B", "1999", c30, 0, 17) << 1
                          << QByteArray("Title") << c30 << 0 << 17;
    QTest::newRow("v1.1 track") << id3v1Trailer("T", {}, {}, {}, "hi", 5, 2) << 2 << QByteArray("T")
                                << QByteArray("hi") << 5 << 2;
    QByteArray spaceThenByte =
        id3v1Trailer("T", {}, {}, {}, QByteArray("x").repeated(28) + " \x07");
    QTest::newRow("0x20 then a byte is v1.1")
        << spaceThenByte << 2 << QByteArray("T") << QByteArray("x").repeated(28) << 7 << 255;
    QByteArray bothSpace = id3v1Trailer("T", {}, {}, {}, QByteArray("x").repeated(28) + "  ");
    QTest::newRow("two spaces are v1.0")
        << bothSpace << 1 << QByteArray("T") << QByteArray("x").repeated(28) << 0 << 255;
    QTest::newRow("zero inside a field") << id3v1Trailer(QByteArray("abc\0def", 7)) << 1
                                         << QByteArray("abc\0def", 7) << QByteArray() << 0 << 255;
    QTest::newRow("leading spaces stay")
        << id3v1Trailer("  x ") << 1 << QByteArray("  x") << QByteArray() << 0 << 255;
    QTest::newRow("unknown genre byte") << id3v1Trailer("T", {}, {}, {}, {}, 0, 200) << 1
                                        << QByteArray("T") << QByteArray() << 0 << 200;
}

void ID3v1Test::read()
{
    QFETCH(QByteArray, trailer);
    QFETCH(int, version);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, comment);
    QFETCH(int, track);
    QFETCH(int, genre);
    files_.write("a.mp3", silentMpegFrames(2) + trailer);
    TID3v1 tag;
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(tag.Exists());
    QCOMPARE(tag.VersionID(), uint8_t(version));
    QCOMPARE(QByteArray::fromStdString(tag.Title()), title);
    QCOMPARE(QByteArray::fromStdString(tag.Comment()), comment);
    QCOMPARE(tag.Track(), uint8_t(track));
    QCOMPARE(tag.GenreID(), uint8_t(genre));

    // Written back, the trailer is the same bytes (genre 148..254 included).
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    TID3v1 again;
    QVERIFY(again.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(again.Title(), tag.Title());
    QCOMPARE(again.Comment(), tag.Comment());
    QCOMPARE(again.GenreID(), tag.GenreID());
}

void ID3v1Test::readWithoutTag()
{
    files_.write("plain.mp3", silentMpegFrames(2));
    TID3v1 tag;
    tag.SetTitle("old");
    QVERIFY(tag.ReadFromFile(files_.native("plain.mp3")));
    QVERIFY(!tag.Exists());
    QVERIFY(tag.Title().empty());
    QCOMPARE(tag.GenreID(), uint8_t(255));
    QVERIFY(tag.Genre().empty());

    files_.write("exact.mp3", id3v1Trailer("Only"));
    QVERIFY(tag.ReadFromFile(files_.native("exact.mp3")));
    QVERIFY(tag.Exists());
    QCOMPARE(tag.Title(), std::string("Only"));

    QVERIFY(!tag.ReadFromFile(files_.native("missing.mp3")));
    QVERIFY(!tag.Exists());
}

void ID3v1Test::tooShortFiles()
{
    const QByteArray bytes = id3v1Trailer("x").left(127);
    files_.write("short.mp3", bytes);
    TID3v1 tag;
    QVERIFY(!tag.ReadFromFile(files_.native("short.mp3")));
    QVERIFY(!tag.RemoveFromFile(files_.native("short.mp3")));
    QVERIFY(!tag.SaveToFile(files_.native("short.mp3")));
    QCOMPARE(files_.read("short.mp3"), bytes);
}

void ID3v1Test::save_data()
{
    QTest::addColumn<bool>("hadTrailer");
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("over a trailer, in place") << true << false;
    QTest::newRow("appended") << false << false;
    // Cutting the trailer off and appending a new one would lose the tag when
    // the append fails; overwriting in place cannot.
    QTest::newRow("failed overwrite keeps the old tag") << true << true;
    QTest::newRow("failed append leaves the file as it was") << false << true;
}

void ID3v1Test::save()
{
    QFETCH(bool, hadTrailer);
    QFETCH(bool, diskFull);
    const QByteArray audio = silentMpegFrames(3);
    const QByteArray old = audio + (hadTrailer ? id3v1Trailer("Old", "Artist", {}, {}, {}, 3) : "");
    files_.write("s.mp3", old);
    struct stat before {};
    ::stat(files_.native("s.mp3").c_str(), &before);
    TID3v1 tag;
    QVERIFY(tag.ReadFromFile(files_.native("s.mp3")));
    tag.SetTitle("New");
    tag.SetGenreID(17);
    bool saved = false;
    {
        // Room for none of an overwritten trailer, for part of an appended one.
        const rlim_t room = rlim_t(audio.size() + (hadTrailer ? 0 : 50));
        tagtest::FileSizeLimit limit(diskFull ? room : RLIM_INFINITY);
        saved = tag.SaveToFile(files_.native("s.mp3"));
    }
    if (diskFull) {
        QVERIFY(!saved);
        QCOMPARE(files_.read("s.mp3"), old);
        return;
    }
    QVERIFY(saved);
    struct stat after {};
    ::stat(files_.native("s.mp3").c_str(), &after);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(files_.read("s.mp3"), audio + id3v1Trailer("New", hadTrailer ? "Artist" : "", {}, {},
                                                        {}, hadTrailer ? 3 : 0, 17));
}

void ID3v1Test::trackCutsCommentTo28Bytes()
{
    files_.write("tracked.mp3", id3v1Trailer("T", {}, {}, {}, {}, 5));
    files_.write("b.mp3", silentMpegFrames(1));
    TID3v1 tag;
    QVERIFY(tag.ReadFromFile(files_.native("tracked.mp3")));
    // The track of the last read goes into whatever file is saved.
    tag.SetComment(str(QByteArray("y").repeated(30)));
    QVERIFY(tag.SaveToFile(files_.native("b.mp3")));
    const QByteArray trailer = files_.read("b.mp3").right(128);
    QCOMPARE(trailer.mid(97, 28), QByteArray("y").repeated(28));
    QCOMPARE(trailer.mid(125, 2), QByteArray("\x00\x05", 2));
    TID3v1 back;
    QVERIFY(back.ReadFromFile(files_.native("b.mp3")));
    QCOMPARE(back.VersionID(), uint8_t(2));
    QCOMPARE(back.Track(), uint8_t(5));
    QCOMPARE(back.Comment(), str(QByteArray("y").repeated(28)));

    // The 28-byte cut never splits a character: a two-byte one at 27..28 goes whole.
    tag.SetComment(str(QByteArray("z").repeated(27) + gbk(u"中"_s)));
    QVERIFY(tag.SaveToFile(files_.native("b.mp3")));
    QVERIFY(back.ReadFromFile(files_.native("b.mp3")));
    QCOMPARE(back.Comment(), str(QByteArray("z").repeated(27)));
}

void ID3v1Test::readOnlyFileIsWrittenAndMadeWritable()
{
    const QString path = files_.write("ro.mp3", silentMpegFrames(1));
    QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup);
    TID3v1 tag;
    tag.SetTitle("T");
    QVERIFY(tag.SaveToFile(files_.native("ro.mp3")));
    QVERIFY(QFile::permissions(path) & QFile::WriteOwner);
    QVERIFY(tag.ReadFromFile(files_.native("ro.mp3")));
    QCOMPARE(tag.Title(), std::string("T"));
}

void ID3v1Test::removeCutsTrailerOff()
{
    const QByteArray audio = silentMpegFrames(2);
    files_.write("a.mp3", audio + id3v1Trailer("T"));
    TID3v1 tag;
    QVERIFY(tag.RemoveFromFile(files_.native("a.mp3")));
    QCOMPARE(files_.read("a.mp3"), audio);
    QVERIFY(tag.RemoveFromFile(files_.native("a.mp3"))); // no trailer: untouched, true
    QCOMPARE(files_.read("a.mp3"), audio);
}

void ID3v1Test::setters_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<bool>("year");
    QTest::addColumn<QByteArray>("stored");

    const QByteArray a29 = QByteArray("a").repeated(29);
    QTest::newRow("40 bytes") << QByteArray("b").repeated(40) << false
                              << QByteArray("b").repeated(30);
    QTest::newRow("trailing blanks") << QByteArray("abc  \t\0", 7) << false << QByteArray("abc");
    QTest::newRow("leading blanks stay") << QByteArray("  abc") << false << QByteArray("  abc");
    QTest::newRow("30th byte a space stays") << a29 + " b" << false << a29 + " ";
    QTest::newRow("two-byte char at 30") << a29 + gbk(u"中"_s) << false << a29;
    QTest::newRow("four-byte char at 28") << a29.left(27) + fourByteChar() << false << a29.left(27);
    QTest::newRow("four-byte char fits")
        << a29.left(26) + fourByteChar() << false << a29.left(26) + fourByteChar();
    QTest::newRow("fifteen Chinese") << gbk(u"一二三四五六七八九十一二三四五六"_s) << false
                                     << gbk(u"一二三四五六七八九十一二三四五"_s);
    QTest::newRow("year") << QByteArray("2004年") << true << QByteArray("2004");
    QTest::newRow("Chinese year") << gbk(u"二〇〇四"_s) << true << gbk(u"二〇"_s);
    QTest::newRow("year cut before char")
        << QByteArray("200") + gbk(u"年"_s) << true << QByteArray("200");
}

void ID3v1Test::setters()
{
    QFETCH(QByteArray, value);
    QFETCH(bool, year);
    QFETCH(QByteArray, stored);
    TID3v1 tag;
    if (year) {
        tag.SetYear(str(value));
        QCOMPARE(QByteArray::fromStdString(tag.Year()), stored);
        return;
    }
    tag.SetTitle(str(value));
    tag.SetArtist(str(value));
    tag.SetAlbum(str(value));
    tag.SetComment(str(value));
    QCOMPARE(QByteArray::fromStdString(tag.Title()), stored);
    QCOMPARE(QByteArray::fromStdString(tag.Artist()), stored);
    QCOMPARE(QByteArray::fromStdString(tag.Album()), stored);
    QCOMPARE(QByteArray::fromStdString(tag.Comment()), stored);
}

MP3T_TEST_GUILESS_MAIN(ID3v1Test)
#include "ID3v1Test.moc"
