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
    QTest::addColumn<tags::Text>("title");
    QTest::addColumn<tags::Text>("artist");
    QTest::addColumn<tags::Text>("year");
    QTest::addColumn<tags::Text>("comment");

    const tags::Text none;
    const tags::Text titleCn = unicode(u"标题"_s);
    const tags::Text artistCn = unicode(u"歌手"_s);
    QTest::newRow("v2.3 Latin-1, trimmed")
        << id3v2Tag(3,
                    frame23("TIT2", latin1(QByteArray(" Title \0", 8))) +
                        frame23("TPE1", latin1("Artist")) + frame23("TYER", latin1("1999")) +
                        frame23("COMM", tagtest::commentData("", " Nice")),
                    20)
        << legacy("Title") << legacy("Artist") << legacy("1999") << legacy("Nice");
    QTest::newRow("v2.3 GBK bytes declared ISO-8859-1")
        << id3v2Tag(3, frame23("TIT2", latin1(gbk(u"标题"_s))) +
                           frame23("COMM", tagtest::commentData("", gbk(u"评论"_s))))
        << legacy(gbk(u"标题"_s)) << none << none << legacy(gbk(u"评论"_s));
    QTest::newRow("v2.3 UTF-16 with BOM, LE and BE")
        << id3v2Tag(3, frame23("TIT2", utf16(u"标题"_s)) +
                           frame23("TPE1", textData(1, "\xFE\xFF" + bigEndian16(u"歌手"_s))) +
                           frame23("COMM", textData(1, QByteArray("eng\xFF\xFE\0\0", 7) +
                                                           utf16WithBom(u"评论"_s))))
        << titleCn << artistCn << none << unicode(u"评论"_s);
    QTest::newRow("v2.3 UTF-16 without BOM is big endian")
        << id3v2Tag(3, frame23("TIT2", textData(1, bigEndian16(u"标题"_s) + QByteArray(2, '\0'))))
        << titleCn << none << none << none;
    QTest::newRow("v2.3 UTF-16 surrogate pair, trimmed")
        << id3v2Tag(3, frame23("TIT2", utf16(u" 𝄞 "_s))) << unicode(u"𝄞"_s) << none << none << none;
    QTest::newRow("v2.3 UTF-16 lone surrogates and odd last byte left out")
        << id3v2Tag(3, frame23("TIT2", textData(1, QByteArray("\xFF\xFE\x00\xD8\x41\x00\x00"
                                                              "\xDC\x42\x00\x43",
                                                              11))))
        << unicode(u"AB"_s) << none << none << none;
    QTest::newRow("v2.4 UTF-8, UTF-16BE, TDRC")
        << id3v2Tag(4,
                    frame24("TIT2", utf8(u"标题"_s)) +
                        frame24("TPE1", textData(2, bigEndian16(u"歌手"_s))) +
                        frame24("TDRC", latin1("2004-05-06T10:20")) +
                        frame24("COMM", textData(3, QByteArray("eng\0", 4) + u"评论"_s.toUtf8())))
        << titleCn << artistCn << legacy("2004") << unicode(u"评论"_s);
    QTest::newRow("v2.4 UTF-8 with BOM, year of four characters")
        << id3v2Tag(4, frame24("TIT2", textData(3, "\xEF\xBB\xBF" + u"标题"_s.toUtf8())) +
                           frame24("TDRC", utf8(u"２００４年"_s)))
        << titleCn << none << unicode(u"２００４"_s) << none;
    QTest::newRow("v2.4 UTF-8 declared, GBK bytes")
        << id3v2Tag(4, frame24("TIT2", textData(3, gbk(u"标题"_s))) +
                           frame24("COMM", textData(3, QByteArray("eng\0", 4) + gbk(u"评论"_s))))
        << legacy(gbk(u"标题"_s)) << none << none << legacy(gbk(u"评论"_s));
    QTest::newRow("v2.2 frames") << id3v2Tag(2, frame22("TT2", latin1("T")) +
                                                    frame22("TP1", utf16(u"歌手"_s)) +
                                                    frame22("TYE", latin1("1988")) +
                                                    frame22("COM", tagtest::commentData("", "c")))
                                 << legacy("T") << artistCn << legacy("1988") << legacy("c");
    QTest::newRow("comment: first with empty description")
        << id3v2Tag(3, frame23("COMM", tagtest::commentData("iTunNORM", "0000")) +
                           frame23("COMM", tagtest::commentData("", "first")) +
                           frame23("COMM", tagtest::commentData("", "second")))
        << none << none << none << legacy("first");
    QTest::newRow("comment: failing that, the first")
        << id3v2Tag(3, frame23("COMM", tagtest::commentData("iTunNORM", " 0000 ")) +
                           frame23("COMM", tagtest::commentData("other", "x")))
        << none << none << none << legacy("0000");
    QTest::newRow("two title frames: the first counts")
        << id3v2Tag(3, frame23("TIT2", latin1("one")) + frame23("TIT2", latin1("two")))
        << legacy("one") << none << none << none;
    const QByteArray longText = QByteArray("L").repeated(300);
    QTest::newRow("text of 300 bytes, whole")
        << id3v2Tag(3, frame23("TIT2", latin1(longText)) + frame23("TPE1", latin1("A")))
        << legacy(longText) << legacy("A") << none << none;
    const QByteArray picture = QByteArray("\0image/png\0\x03\0", 13) + QByteArray(200000, '\x89');
    QTest::newRow("texts behind a large picture")
        << id3v2Tag(3, frame23("APIC", picture) + frame23("TIT2", latin1("After")))
        << legacy("After") << none << none << none;
    QTest::newRow("frame over 1 MiB skipped")
        << id3v2Tag(3, frame23("TIT2", latin1(QByteArray((1 << 20) + 10, 'x'))) +
                           frame23("TPE1", latin1("A")))
        << none << legacy("A") << none << none;
    QTest::newRow("v2.3 extended header")
        << tagWithFlags(3, 0x40,
                        bigEndian32(6) + QByteArray(6, '\0') + frame23("TIT2", latin1("E")))
        << legacy("E") << none << none << none;
    QTest::newRow("v2.4 extended header")
        << tagWithFlags(4, 0x40,
                        syncsafe(6) + QByteArray("\x01\0", 2) + frame24("TIT2", latin1("E")))
        << legacy("E") << none << none << none;
    QTest::newRow("v2.3 extended flag, frames at 10")
        << tagWithFlags(3, 0x40, frame23("TIT2", latin1("E")) + QByteArray(10, '\0')) << legacy("E")
        << none << none << none;
    QTest::newRow("v2.4 extended flag, frames at 10")
        << tagWithFlags(4, 0x40, frame24("TIT2", latin1("E")) + frame24("TPE1", latin1("A")))
        << legacy("E") << legacy("A") << none << none;
    QTest::newRow("v2.3 unsynchronised tag")
        << tagWithFlags(3, 0x80,
                        tagtest::unsynchronised(frame23("TIT2", utf16(u"标题"_s)) +
                                                frame23("TPE1", latin1("\xFF"))))
        << titleCn << legacy("\xFF") << none << none;
    QTest::newRow("v2.4 unsynchronised frame with data length")
        << id3v2Tag(
               4, frame24("TIT2", syncsafe(7) + tagtest::unsynchronised(utf16(u"标题"_s)), 0x0003) +
                      frame24("TPE1", latin1("A")))
        << titleCn << legacy("A") << none << none;
    QTest::newRow("v2.3 grouped frame")
        << id3v2Tag(3, frame23("TIT2", "\x07" + latin1("G"), 0x0020)) << legacy("G") << none << none
        << none;
}

void ID3v2ReadTest::readTexts()
{
    QFETCH(QByteArray, tag);
    QFETCH(tags::Text, title);
    QFETCH(tags::Text, artist);
    QFETCH(tags::Text, year);
    QFETCH(tags::Text, comment);
    files_.write("a.mp3", tag + silentMpegFrames(2));
    TID3v2 t;
    QVERIFY(t.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(t.Exists());
    QCOMPARE(t.Size(), int32_t(tag.size()));
    QCOMPARE(t.Title, title);
    QCOMPARE(t.Artist, artist);
    QCOMPARE(t.Year, year);
    QCOMPARE(t.Comment, comment);
    // What is no character is left out, never replaced by U+FFFD.
    for (const tags::Text* text : {&t.Title, &t.Artist, &t.Year, &t.Comment})
        QVERIFY(!qb(text->bytes).contains("\xEF\xBF\xBD"));
}

void ID3v2ReadTest::genreRule_data()
{
    QTest::addColumn<int>("major");
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QByteArray>("genre");
    QTest::addColumn<bool>("unicode");
    const auto row = [](const char* name, int major, const QByteArray& text, const char* genre) {
        QTest::newRow(name) << major << text << QByteArray(genre) << false;
        QTest::addRow("%s, Unicode", name) << major << text << QByteArray(genre) << true;
    };
    row("reference", 3, "(17)", "Rock");
    row("reference and name", 3, "(17)Rock", "Rock");
    row("name wins", 3, "(13)Pop", "Pop");
    row("space after reference", 3, "(17) Rock", " Rock");
    row("two references", 3, "(17)(13)", "Rock");
    row("unknown number", 3, "(200)", "(200)");
    row("plain name", 3, "  Rock ", "Rock");
    row("name ending in ')'", 3, "Rock (live)", "Rock (live)");
    row("escaped parenthesis", 3, "((Foo)", "(Foo)");
    row("v2.4 bare number", 4, "17", "Rock");
    row("v2.3 bare number stays", 3, "17", "17");
    row("remix", 3, "(RX)", "Remix");
}

void ID3v2ReadTest::genreRule()
{
    QFETCH(int, major);
    QFETCH(QByteArray, text);
    QFETCH(QByteArray, genre);
    QFETCH(bool, unicode);
    // UTF-16 in v2.3, UTF-8 in v2.4.
    const QByteArray data = !unicode     ? latin1(text)
                            : major == 4 ? textData(3, text)
                                         : utf16(QString::fromLatin1(text));
    const QByteArray frame = major == 4 ? frame24("TCON", data) : frame23("TCON", data);
    files_.write("g.mp3", id3v2Tag(major, frame));
    TID3v2 t;
    QVERIFY(t.ReadFromFile(files_.native("g.mp3")));
    QCOMPARE(t.Genre, (tags::Text{genre.toStdString(), unicode}));
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
    t.Title = tagtest::legacy("stale");
    QCOMPARE(t.ReadFromFile(files_.native("s.mp3")), result);
    QCOMPARE(t.Exists(), exists);
    QCOMPARE(int(t.VersionID()), version);
    QCOMPARE(int(t.Size()), size);
    QCOMPARE(t.Title, tagtest::legacy(title));
    QVERIFY(!t.ReadFromFile(files_.native("missing.mp3")));
}

MP3T_TEST_GUILESS_MAIN(ID3v2ReadTest)
#include "ID3v2ReadTest.moc"
