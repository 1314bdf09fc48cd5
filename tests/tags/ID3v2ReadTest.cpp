#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

QByteArray utf16(const QString& s)
{
    return textData(1, utf16WithBom(s));
}
QByteArray bigEndian16(const QString& s)
{
    QByteArray b;
    for (const QChar c : s) {
        b += char(c.unicode() >> 8);
        b += char(c.unicode() & 0xFF);
    }
    return b;
}
QByteArray tagWithFlags(int major, quint8 flags, const QByteArray& body)
{
    return id3v2Header(major, quint32(body.size()), flags) + body;
}

} // namespace

class ID3v2ReadTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readTexts_data();
    void readTexts();
    void genreRule_data();
    void genreRule();
    void fileStates_data();
    void fileStates();

private:
    tagtest::Files files_;
};

void ID3v2ReadTest::readTexts_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<QByteArray>("artist");
    QTest::addColumn<QByteArray>("year");
    QTest::addColumn<QByteArray>("comment");

    const QByteArray titleCn = gbk(u"标题"_s);
    const QByteArray artistCn = gbk(u"歌手"_s);
    QTest::newRow("v2.3 Latin-1, trimmed")
        << id3v2Tag(3,
                    frame23("TIT2", latin1(QByteArray(" Title \0", 8))) +
                        frame23("TPE1", latin1("Artist")) + frame23("TYER", latin1("1999")) +
                        frame23("COMM", tagtest::commentData("", " Nice")),
                    20)
        << QByteArray("Title") << QByteArray("Artist") << QByteArray("1999") << QByteArray("Nice");
    QTest::newRow("v2.3 UTF-16 with BOM")
        << id3v2Tag(3, frame23("TIT2", utf16(u"标题"_s)) +
                           frame23("TPE1", textData(1, "\xFE\xFF" + bigEndian16(u"歌手"_s))) +
                           frame23("COMM", textData(1, QByteArray("eng\xFF\xFE\0\0", 7) +
                                                           utf16WithBom(u"评论"_s))))
        << titleCn << artistCn << QByteArray() << gbk(u"评论"_s);
    QTest::newRow("v2.3 UTF-16 without BOM is big endian")
        << id3v2Tag(3, frame23("TIT2", textData(1, bigEndian16(u"标题"_s) + QByteArray(2, '\0'))))
        << titleCn << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("v2.4 UTF-8, UTF-16BE, TDRC")
        << id3v2Tag(4,
                    frame24("TIT2", utf8(u"标题"_s)) +
                        frame24("TPE1", textData(2, bigEndian16(u"歌手"_s))) +
                        frame24("TDRC", latin1("2004-05-06T10:20")) +
                        frame24("COMM", textData(3, QByteArray("eng\0", 4) + u"评论"_s.toUtf8())))
        << titleCn << artistCn << QByteArray("2004") << gbk(u"评论"_s);
    QTest::newRow("v2.2 frames") << id3v2Tag(2, frame22("TT2", latin1("T")) +
                                                    frame22("TP1", utf16(u"歌手"_s)) +
                                                    frame22("TYE", latin1("1988")) +
                                                    frame22("COM", tagtest::commentData("", "c")))
                                 << QByteArray("T") << artistCn << QByteArray("1988")
                                 << QByteArray("c");
    QTest::newRow("comment: first with empty description")
        << id3v2Tag(3, frame23("COMM", tagtest::commentData("iTunNORM", "0000")) +
                           frame23("COMM", tagtest::commentData("", "first")) +
                           frame23("COMM", tagtest::commentData("", "second")))
        << QByteArray() << QByteArray() << QByteArray() << QByteArray("first");
    QTest::newRow("comment: failing that, the first")
        << id3v2Tag(3, frame23("COMM", tagtest::commentData("iTunNORM", " 0000 ")) +
                           frame23("COMM", tagtest::commentData("other", "x")))
        << QByteArray() << QByteArray() << QByteArray() << QByteArray("0000");
    QTest::newRow("two title frames: the first counts")
        << id3v2Tag(3, frame23("TIT2", latin1("one")) + frame23("TIT2", latin1("two")))
        << QByteArray("one") << QByteArray() << QByteArray() << QByteArray();
    const QByteArray longText = QByteArray("L").repeated(300);
    QTest::newRow("text of 300 bytes, whole")
        << id3v2Tag(3, frame23("TIT2", latin1(longText)) + frame23("TPE1", latin1("A"))) << longText
        << QByteArray("A") << QByteArray() << QByteArray();
    const QByteArray picture = QByteArray("\0image/png\0\x03\0", 13) + QByteArray(200000, '\x89');
    QTest::newRow("texts behind a large picture")
        << id3v2Tag(3, frame23("APIC", picture) + frame23("TIT2", latin1("After")))
        << QByteArray("After") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("frame over 1 MiB skipped")
        << id3v2Tag(3, frame23("TIT2", latin1(QByteArray((1 << 20) + 10, 'x'))) +
                           frame23("TPE1", latin1("A")))
        << QByteArray() << QByteArray("A") << QByteArray() << QByteArray();
    QTest::newRow("v2.3 extended header")
        << tagWithFlags(3, 0x40,
                        bigEndian32(6) + QByteArray(6, '\0') + frame23("TIT2", latin1("E")))
        << QByteArray("E") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("v2.4 extended header")
        << tagWithFlags(4, 0x40,
                        syncsafe(6) + QByteArray("\x01\0", 2) + frame24("TIT2", latin1("E")))
        << QByteArray("E") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("v2.3 extended flag, frames at 10")
        << tagWithFlags(3, 0x40, frame23("TIT2", latin1("E")) + QByteArray(10, '\0'))
        << QByteArray("E") << QByteArray() << QByteArray() << QByteArray();
    QTest::newRow("v2.4 extended flag, frames at 10")
        << tagWithFlags(4, 0x40, frame24("TIT2", latin1("E")) + frame24("TPE1", latin1("A")))
        << QByteArray("E") << QByteArray("A") << QByteArray() << QByteArray();
    QTest::newRow("v2.3 unsynchronised tag")
        << tagWithFlags(3, 0x80,
                        tagtest::unsynchronised(frame23("TIT2", utf16(u"标题"_s)) +
                                                frame23("TPE1", latin1("\xFF"))))
        << titleCn << QByteArray("\xFF") << QByteArray() << QByteArray();
    QTest::newRow("v2.4 unsynchronised frame with data length")
        << id3v2Tag(
               4, frame24("TIT2", syncsafe(7) + tagtest::unsynchronised(utf16(u"标题"_s)), 0x0003) +
                      frame24("TPE1", latin1("A")))
        << titleCn << QByteArray("A") << QByteArray() << QByteArray();
    QTest::newRow("v2.3 grouped frame")
        << id3v2Tag(3, frame23("TIT2", "\x07" + latin1("G"), 0x0020)) << QByteArray("G")
        << QByteArray() << QByteArray() << QByteArray();
}

void ID3v2ReadTest::readTexts()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, title);
    QFETCH(QByteArray, artist);
    QFETCH(QByteArray, year);
    QFETCH(QByteArray, comment);
    files_.write("a.mp3", tag + silentMpegFrames(2));
    TID3v2 t;
    QVERIFY(t.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(t.Exists());
    QCOMPARE(t.Size(), int32_t(tag.size()));
    QCOMPARE(qb(t.Title), title);
    QCOMPARE(qb(t.Artist), artist);
    QCOMPARE(qb(t.Year), year);
    QCOMPARE(qb(t.Comment), comment);
}

void ID3v2ReadTest::genreRule_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("genre");
    QTest::newRow("reference") << 3 << QByteArray("(17)") << QByteArray("Rock");
    QTest::newRow("reference and name") << 3 << QByteArray("(17)Rock") << QByteArray("Rock");
    QTest::newRow("name wins") << 3 << QByteArray("(13)Pop") << QByteArray("Pop");
    QTest::newRow("space after reference") << 3 << QByteArray("(17) Rock") << QByteArray(" Rock");
    QTest::newRow("two references") << 3 << QByteArray("(17)(13)") << QByteArray("Rock");
    QTest::newRow("unknown number") << 3 << QByteArray("(200)") << QByteArray("(200)");
    QTest::newRow("plain name") << 3 << QByteArray("  Rock ") << QByteArray("Rock");
    QTest::newRow("name ending in ')'")
        << 3 << QByteArray("Rock (live)") << QByteArray("Rock (live)");
    QTest::newRow("escaped parenthesis") << 3 << QByteArray("((Foo)") << QByteArray("(Foo)");
    QTest::newRow("v2.4 bare number") << 4 << QByteArray("17") << QByteArray("Rock");
    QTest::newRow("v2.3 bare number stays") << 3 << QByteArray("17") << QByteArray("17");
    QTest::newRow("remix") << 3 << QByteArray("(RX)") << QByteArray("Remix");
}

void ID3v2ReadTest::genreRule()
{
    QFETCH(int, major);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, genre);
    const QByteArray frame =
        major == 4 ? frame24("TCON", latin1(text)) : frame23("TCON", latin1(text));
    files_.write("g.mp3", id3v2Tag(major, frame));
    TID3v2 t;
    QVERIFY(t.ReadFromFile(files_.native("g.mp3")));
    QCOMPARE(qb(t.Genre), genre);
}

void ID3v2ReadTest::fileStates_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("exists");
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("title");

    const QByteArray audio = silentMpegFrames(2);
    const QByteArray title = frame23("TIT2", latin1("T"));
    QTest::newRow("no tag") << audio << true << false << 0 << 0 << QByteArray();
    QTest::newRow("nine bytes") << QByteArray("ID3\x03\0\0\0\0\0", 9) << false << false << 0 << 0
                                << QByteArray();
    QTest::newRow("size beyond the end")
        << id3v2Header(3, 5000) + title << true << true << 3 << 0 << QByteArray();
    QTest::newRow("size bytes 00 00 02 01")
        << id3v2Header(3, 257) + title + QByteArray(257 - title.size(), '\0') + audio << true
        << true << 3 << 267 << QByteArray("T");
    QTest::newRow("version 5 recognised, not read") << id3v2Tag(5, title) + audio << true << true
                                                    << 5 << 10 + int(title.size()) << QByteArray();
    QTest::newRow("v2.2 marked compressed") << tagWithFlags(2, 0x40, frame22("TT2", latin1("T")))
                                            << true << true << 2 << 18 << QByteArray();
    QTest::newRow("v2.4 footer counted")
        << tagWithFlags(4, 0x10, frame24("TIT2", latin1("T"))) + QByteArray("3DI\x04\0\x10", 6) +
               syncsafe(12) + audio
        << true << true << 4 << 32 << QByteArray("T");
}

void ID3v2ReadTest::fileStates()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, result);
    QFETCH(bool, exists);
    QFETCH(int, version);
    QFETCH(int, size);
    QFETCH(QByteArray, title);
    files_.write("s.mp3", bytes);
    TID3v2 t;
    t.Title = "stale";
    QCOMPARE(t.ReadFromFile(files_.native("s.mp3")), result);
    QCOMPARE(t.Exists(), exists);
    QCOMPARE(int(t.VersionID()), version);
    QCOMPARE(int(t.Size()), size);
    QCOMPARE(qb(t.Title), title);
    QVERIFY(!t.ReadFromFile(files_.native("missing.mp3")));
}

MP3T_TEST_GUILESS_MAIN(ID3v2ReadTest)
#include "ID3v2ReadTest.moc"
