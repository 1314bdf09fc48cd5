#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QFile>
#include <QTest>

#include <algorithm>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

QByteArray zero(int n = 1)
{
    return QByteArray(n, '\0');
}

const QByteArray kAudio = silentMpegFrames(3);
const QByteArray kTrailer = id3v1Trailer("v1 title", {}, {}, {}, {}, 3, 17);
const QByteArray kPicture =
    QByteArray("\0image/png\0\x03", 12) + "cover" + zero() + QByteArray(3000, '\x89');

// Read, change what `change` changes, save.
template <class Change> bool readChangeSave(const std::string& path, Change change)
{
    TID3v2 tag;
    if (!tag.ReadFromFile(path))
        return false;
    change(tag);
    return tag.SaveToFile(path);
}

} // namespace

class ID3v2SaveTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void writesNewTagWithRoomToGrow();
    void newTagTakesTheOldRoomWhenItFits();
    void writesTextsByTheirKind_data();
    void writesTextsByTheirKind();
    void refusesUnicodeThatIsNotUtf8();
    void replacesOldTag_data();
    void replacesOldTag();
    void keepsEveryOtherFrame();
    void convertsV24Tag();
    void everyStringOfAListGetsItsMark();
    void convertsV22Tag();
    void convertsEveryV22Frame_data();
    void convertsEveryV22Frame();
    void refusesWhatItCannotCarry_data();
    void refusesWhatItCannotCarry();
    void dropsJunkInPadding_data();
    void dropsJunkInPadding();
    void extendedFlagWithoutExtendedHeader_data();
    void extendedFlagWithoutExtendedHeader();
    void genreFromV24InV23Encoding_data();
    void genreFromV24InV23Encoding();
    void describedCommentStays();
    void writesLongTextWhole();
    void repeatedSavesAreStable();
    void inPlaceWriteSendsOnlyTheBytesThatDiffer();
    void keepsPermissionsAndReplacesLeftover();
    void readOnlyGivesFalse_data();
    void readOnlyGivesFalse();
    void fullDiskGivesFalse();
    void systemErrorsThrow();
    void followsSymbolicLink();

private:
    Files files_;
};

void ID3v2SaveTest::writesNewTagWithRoomToGrow()
{
    files_.write("a.mp3", kAudio);
    TID3v2 tag;
    tag.Title = tags::unicodeText("abc");
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    // 84 bytes of frames and 2048 of padding: 2132 = 0x10 * 128 + 0x54.
    const QByteArray expected =
        QByteArray::fromHex("49443303000000001054") +
        frame23("TIT2", QByteArray::fromHex("00616263")) + frame23("TPE1", zero()) +
        frame23("TALB", zero()) + frame23("TRCK", zero()) + frame23("TYER", zero()) +
        frame23("TCON", zero()) + frame23("COMM", QByteArray::fromHex("00656E6700")) + zero(2048);
    QCOMPARE(files_.read("a.mp3"), expected + kAudio);
}

void ID3v2SaveTest::newTagTakesTheOldRoomWhenItFits()
{
    const QByteArray oldTag = id3v2Tag(3, frame23("TIT2", latin1("old")) + zero(200));
    files_.write("a.mp3", oldTag + kAudio + kTrailer);
    const auto image = tags::readTagImage(files_.native("a.mp3"));
    QVERIFY(image);
    QCOMPARE(qb(image->head), oldTag);
    QCOMPARE(qb(image->tail), kTrailer);
    TID3v2 tag;
    tag.ReadFromFile(files_.native("a.mp3"));
    tag.Title = unicode(u"a longer title, still in the room"_s);
    const auto head = tag.RenderHead(*image);
    QVERIFY(head);
    QCOMPARE(qsizetype(head->size()), oldTag.size());
    QCOMPARE(framesOf(qb(*head) + kAudio).first(),
             frame23("TIT2", latin1("a longer title, still in the room")));

    // One that does not fit gets the padding for the next edits.
    tag.Title = unicode(QString(300, u'x'));
    const auto grown = tag.RenderHead(*image);
    QVERIFY(grown);
    QVERIFY(grown->size() > std::size_t(oldTag.size()));
    QVERIFY(qb(*grown).endsWith(zero(2048)));
}

void ID3v2SaveTest::writesTextsByTheirKind_data()
{
    QTest::addColumn<QByteArray>("id");
    QTest::addColumn<tags::Text>("text");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<tags::Text>("reread"); // when it is not `text`
    const auto row = [](const char* name, const char* id, const tags::Text& text,
                        const QByteArray& frame, const tags::Text& reread = {}) {
        QTest::newRow(name) << QByteArray(id) << text << frame << reread;
    };
    const auto utf16 = [](const QString& s) {
        return "\x01" + utf16WithBom(s);
    };
    row("the Unicode text as read keeps its frame", "TIT2", unicode(u"童话"_s),
        frame23("TIT2", textData(1, utf16WithBom(u"童话"_s) + zero(2))));
    row("Unicode: UTF-16LE with BOM", "TIT2", unicode(u"童话故事"_s),
        frame23("TIT2", utf16(u"童话故事"_s)));
    row("Unicode beyond U+FFFF: a surrogate pair", "TIT2", unicode(u"𝄞"_s),
        frame23("TIT2", QByteArray::fromHex("01FFFE34D81EDD")));
    // Latin-1 reads as legacy: ASCII is the same in every code page.
    row("Unicode of ASCII only: Latin-1", "TIT2", unicode(u"abc"_s), frame23("TIT2", latin1("abc")),
        legacy("abc"));
    row("legacy: the bytes under 0x00", "TIT2", legacy(gbk(u"童话"_s)),
        frame23("TIT2", latin1(gbk(u"童话"_s))));
    row("legacy bytes equal to the Unicode text's are a change", "TIT2", legacy(u"童话"_s.toUtf8()),
        frame23("TIT2", latin1(u"童话"_s.toUtf8())));
    row("Unicode comment: empty UTF-16 description", "COMM", unicode(u"童话"_s),
        frame23("COMM", "\x01" + QByteArray("eng\xFF\xFE\0\0", 7) + utf16WithBom(u"童话"_s)));
    row("legacy comment", "COMM", legacy(gbk(u"童话"_s)),
        frame23("COMM", commentData("", gbk(u"童话"_s))));
}

void ID3v2SaveTest::writesTextsByTheirKind()
{
    QFETCH(QByteArray, id);
    QFETCH(tags::Text, text);
    QFETCH(QByteArray, frame);
    QFETCH(tags::Text, reread);
    const QByteArray oldTitle = frame23("TIT2", textData(1, utf16WithBom(u"童话"_s) + zero(2)));
    files_.write("a.mp3", id3v2Tag(3, oldTitle, 20) + kAudio);
    const auto set = [&](TID3v2& t) {
        (id == "COMM" ? t.Comment : t.Title) = text;
    };
    QVERIFY(readChangeSave(files_.native("a.mp3"), set));
    const QByteArray saved = files_.read("a.mp3");
    const QList<QByteArray> frames = framesOf(saved);
    const auto written = std::find_if(frames.begin(), frames.end(),
                                      [&](const QByteArray& f) { return f.startsWith(id); });
    QVERIFY(written != frames.end());
    QCOMPARE(*written, frame);
    TID3v2 again;
    QVERIFY(again.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(id == "COMM" ? again.Comment : again.Title, reread.empty() ? text : reread);
    QVERIFY(readChangeSave(files_.native("a.mp3"), set));
    QCOMPARE(files_.read("a.mp3"), saved);
}

void ID3v2SaveTest::refusesUnicodeThatIsNotUtf8()
{
    Files files;
    const QByteArray old = id3v2Tag(3, frame23("TIT2", latin1("Old"))) + kAudio;
    files.write("a.mp3", old);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files.native("a.mp3")));
    tag.Comment = tags::unicodeText(gbk(u"童话"_s).toStdString());
    QVERIFY(!tag.SaveToFile(files.native("a.mp3")));
    QCOMPARE(files.read("a.mp3"), old);
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void ID3v2SaveTest::replacesOldTag_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("rest");
    const QByteArray body = kAudio + kTrailer;
    QTest::newRow("no tag") << body << body;
    QTest::newRow("v2.3") << id3v2Tag(3, frame23("TIT2", latin1("x")), 100) + body << body;
    QTest::newRow("v2.4") << id3v2Tag(4, frame24("TIT2", latin1("x"))) + body << body;
    const QByteArray beyond = id3v2Header(3, 99999) + frame23("TIT2", latin1("x")) + body;
    QTest::newRow("size beyond the end stays behind") << beyond << beyond;
    QTest::newRow("three bytes") << QByteArray("ID3") << QByteArray("ID3");
}

void ID3v2SaveTest::replacesOldTag()
{
    QFETCH(QByteArray, old);
    QFETCH(QByteArray, rest);
    files_.write("a.mp3", old);
    TID3v2 tag;
    tag.Title = tags::unicodeText("New");
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QByteArray saved = files_.read("a.mp3");
    QVERIFY(saved.startsWith("ID3\x03"));
    QCOMPARE(afterTag(saved), rest);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Title, legacy("New"));
}

void ID3v2SaveTest::keepsEveryOtherFrame()
{
    const QByteArray title = frame23("TIT2", latin1("Old"));
    const QByteArray artist = frame23("TPE1", textData(1, utf16WithBom(u"歌手"_s)));
    const QByteArray track = frame23("TRCK", latin1("5/12"));
    const QByteArray comment = frame23("COMM", commentData("", "c"));
    const QList<QByteArray> others{
        frame23("APIC", kPicture),
        frame23("TXXX", latin1(QByteArray("key\0value", 9))),
        frame23("PRIV", QByteArray("owner\0\x01\x02", 8)),
        frame23("COMM", commentData("iTunNORM", " 00000A")),
        frame23("COMM", commentData("", "zweite", "deu")),
        frame23("UFID", QByteArray("http://x\0id", 11), 0x8000),
    };
    files_.write("a.mp3", id3v2Tag(3,
                                   others[0] + title + others[1] + artist + others[2] + track +
                                       others[3] + comment + others[4] + others[5],
                                   64) +
                              kAudio + kTrailer);
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("New album"); }));
    const QByteArray saved = files_.read("a.mp3");
    QCOMPARE(framesOf(saved),
             QList<QByteArray>({title, artist, frame23("TALB", latin1("New album")), track,
                                frame23("TYER", zero()), frame23("TCON", zero()), comment}) +
                 others);
    QCOMPARE(afterTag(saved), kAudio + kTrailer);
}

void ID3v2SaveTest::convertsV24Tag()
{
    const QByteArray apic = QByteArray("\x03image/png\0\x03", 12) + u"封面"_s.toUtf8() + zero() +
                            QByteArray(100, '\x89');
    files_.write("a.mp3",
                 id3v2Tag(4, frame24("TIT2", utf8(u"标题"_s)) +
                                 frame24("TPE1", textData(2, QByteArray::fromHex("6B4C624B"))) +
                                 frame24("TDRC", latin1("2004-05-06T10:20")) +
                                 frame24("APIC", apic) +
                                 frame24("TXXX", utf8(u"键"_s + QChar(0) + u"值"_s), 0x4000) +
                                 frame24("TCON", latin1("17")) + frame24("TSOP", utf8(u"排序"_s))) +
                     kAudio);
    TID3v2 before;
    QVERIFY(before.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("A"); }));

    const QByteArray saved = files_.read("a.mp3");
    const QByteArray bomLE("\xFF\xFE");
    const auto le = [&](const QString& s) {
        return bomLE + utf16WithBom(s).mid(2);
    };
    const QByteArray apic23 =
        QByteArray("\x01image/png\0\x03", 12) + le(u"封面"_s) + zero(2) + QByteArray(100, '\x89');
    QCOMPARE(framesOf(saved),
             QList<QByteArray>({
                 frame23("TIT2", textData(1, le(u"标题"_s))),
                 frame23("TPE1", textData(1, QByteArray::fromHex("FEFF6B4C624B"))),
                 frame23("TALB", latin1("A")),
                 frame23("TRCK", zero()),
                 frame23("TYER", latin1("2004")),
                 frame23("TCON", latin1("(17)")),
                 frame23("COMM", QByteArray("\0eng\0", 5)),
                 frame23("TDAT", latin1("0605")),
                 frame23("TIME", latin1("1020")),
                 frame23("APIC", apic23),
                 frame23("TXXX", textData(1, le(u"键"_s) + zero(2) + le(u"值"_s)), 0x8000),
                 frame23("TSOP", textData(1, le(u"排序"_s))),
             }));
    TID3v2 after;
    QVERIFY(after.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(after.Title, before.Title);
    QCOMPARE(after.Artist, before.Artist);
    QCOMPARE(after.Year, legacy("2004"));
    QCOMPARE(after.Genre, legacy("Rock"));
}

void ID3v2SaveTest::everyStringOfAListGetsItsMark()
{
    // A v2.4 year of two strings in UTF-8 becomes a v2.3 "TYER" in UTF-16,
    // where a string without its mark would read as big endian.
    files_.write("a.mp3", id3v2Tag(4, frame24("TDRC", utf8(u"é"_s + QChar(0) + u"ab"_s))) + kAudio);
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("A"); }));
    const auto le = [](const QString& s) {
        return QByteArray("\xFF\xFE", 2) + utf16WithBom(s).mid(2);
    };
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QVERIFY(frames.contains(frame23("TYER", textData(1, le(u"é"_s) + zero(2) + le(u"ab"_s)))));
    TID3v2 after;
    QVERIFY(after.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(after.Year, unicode(u"é"_s + QChar(0) + u"ab"_s));

    // The same for a comment of two strings, after its empty description.
    QVERIFY(readChangeSave(files_.native("a.mp3"), [](TID3v2& t) {
        t.Comment = tags::unicodeText(std::string("\xC3\xA9\0ab", 5));
    }));
    QVERIFY(framesOf(files_.read("a.mp3"))
                .contains(frame23("COMM", "\x01" + QByteArray("eng\xFF\xFE\0\0", 7) + le(u"é"_s) +
                                              zero(2) + le(u"ab"_s))));
    QVERIFY(after.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(after.Comment, unicode(u"é"_s + QChar(0) + u"ab"_s));
}

void ID3v2SaveTest::convertsV22Tag()
{
    files_.write("a.mp3", id3v2Tag(2, frame22("TT2", latin1("T")) +
                                          frame22("PIC", QByteArray("\0JPG\x03\0", 6) + "jpeg") +
                                          frame22("TXX", latin1(QByteArray("k\0v", 3)))) +
                              kAudio);
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("A"); }));
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QCOMPARE(frames.size(), 9);
    QCOMPARE(frames[0], frame23("TIT2", latin1("T")));
    QCOMPARE(frames[7], frame23("APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + "jpeg"));
    QCOMPARE(frames[8], frame23("TXXX", latin1(QByteArray("k\0v", 3))));
}

void ID3v2SaveTest::convertsEveryV22Frame_data()
{
    QTest::addColumn<QByteArray>("v22");
    QTest::addColumn<QByteArray>("v23");
    const auto row = [](const char* v22Id, const char* v23Id, const QByteArray& data) {
        QTest::newRow(v22Id) << frame22(v22Id, data) << frame23(v23Id, data);
    };
    row("TCP", "TCMP", latin1("1"));
    row("TS2", "TSO2", latin1("Band, The"));
    row("TSA", "TSOA", latin1("Album, The"));
    row("TSC", "TSOC", latin1("Bach, J.S."));
    row("TSP", "TSOP", textData(1, utf16WithBom(u"Beatles, The"_s)));
    row("TST", "TSOT", latin1("Title, The"));
    row("PCS", "PCST", QByteArray("\0\0\0\x01", 4));
    row("TID", "TGID", latin1("podcast-id"));
    row("TDS", "TDES", latin1("A description"));
    row("TCT", "TCAT", latin1("Technology"));
    row("TKW", "TKWD", latin1("news,tech"));
    row("TDR", "TDRL", latin1("2010-01-02"));
    row("WFD", "WFED", latin1("http://feed"));
    row("GP1", "GRP1", latin1("Grouping"));
    row("MVN", "MVNM", latin1("Allegro"));
    row("MVI", "MVIN", latin1("1/4"));
    QTest::newRow("LNK names the linked frame in four letters")
        << frame22("LNK", QByteArray("TT2http://x\0id", 14))
        << frame23("LINK", QByteArray("TIT2http://x\0id", 15));
    QTest::newRow("PIC given by URL")
        << frame22("PIC", QByteArray("\0-->\x03\0", 6) + "http://x/cover.png")
        << frame23("APIC", QByteArray("\0-->\0\x03\0", 7) + "http://x/cover.png");
}

void ID3v2SaveTest::convertsEveryV22Frame()
{
    QFETCH(QByteArray, v22);
    QFETCH(QByteArray, v23);
    files_.write("a.mp3", id3v2Tag(2, frame22("TT2", latin1("T")) + v22, 20) + kAudio);
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("A"); }));
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QCOMPARE(frames.size(), 8);
    QCOMPARE(frames[7], v23);
}

void ID3v2SaveTest::refusesWhatItCannotCarry_data()
{
    QTest::addColumn<QByteArray>("old");
    const QByteArray title22 = frame22("TT2", latin1("T"));
    const QByteArray title = frame23("TIT2", latin1("T"));
    const QByteArray album = frame23("TALB", latin1("Kept"));
    const QByteArray artist = frame23("TPE1", latin1("Artist"));
    QTest::newRow("v2.2 frame no later version has")
        << id3v2Tag(2, title22 + frame22("CRM", QByteArray("owner\0x", 7)));
    QTest::newRow("v2.2 frame of unknown ID") << id3v2Tag(2, title22 + frame22("XYZ", "data"));
    QTest::newRow("v2.2 link to a frame no later version has")
        << id3v2Tag(2, title22 + frame22("LNK", QByteArray("CRMhttp://x\0", 12)));
    QTest::newRow("v2.2 marked compressed")
        << id3v2Header(2, quint32(title22.size()), 0x40) + title22;
    QTest::newRow("version 5") << id3v2Tag(5, title + album);
    QTest::newRow("frame cut by the tag's end")
        << id3v2Header(3, quint32(title.size() + artist.size() - 2)) + title + artist;
    QTest::newRow("frames behind a damaged header")
        << id3v2Tag(3, title + "TP\xFF" + artist.mid(3) + album, 20);
    QTest::newRow("frame in the padding") << id3v2Tag(3, title + QByteArray(8, '\0') + album, 20);
    QTest::newRow("v2.4 data length cut short")
        << id3v2Tag(4, frame24("TIT2", latin1("T")) + frame24("TPE1", "\x01\x02", 0x0001));
    const QByteArray brokenExtended = QByteArray("\xFF\xFF\xFF\xF0", 4) + QByteArray(6, '\0');
    QTest::newRow("broken extended header before frames")
        << id3v2Header(3, quint32(brokenExtended.size() + album.size()), 0x40) + brokenExtended +
               album;
}

void ID3v2SaveTest::refusesWhatItCannotCarry()
{
    QFETCH(QByteArray, old);
    Files files;
    files.write("a.mp3", old + kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files.native("a.mp3")));
    tag.Title = tags::unicodeText("New");
    QVERIFY(!tag.SaveToFile(files.native("a.mp3")));
    QCOMPARE(files.read("a.mp3"), old + kAudio);
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void ID3v2SaveTest::dropsJunkInPadding_data()
{
    QTest::addColumn<QByteArray>("old");
    const QByteArray frames = frame23("TIT2", latin1("T")) + frame23("TALB", latin1("Kept"));
    QTest::newRow("stray bytes in the padding")
        << id3v2Tag(3, frames + zero(20) + "\x01\x02 MP3ext V3.3.19(ansi)" + zero(10));
    QTest::newRow("encoder name in the padding")
        << id3v2Tag(3, frames + zero(10) + "LAME3.99r" + zero(10));
    QTest::newRow("0xFF for padding") << id3v2Tag(3, frames + QByteArray(30, '\xFF'));
    QTest::newRow("end of an old text in the padding")
        << id3v2Tag(3, frames + zero(4) + "ong title of an old tag" + zero(40));
    QTest::newRow("v2.4, a tagger's name after the frames")
        << id3v2Tag(4, frame24("TIT2", latin1("T")) + frame24("TALB", latin1("Kept")) +
                           "Tagged by me" + zero(20));
    const QByteArray brokenExtended = QByteArray("\xFF\xFF\xFF\xF0", 4) + zero(16);
    QTest::newRow("broken extended header, nothing behind")
        << id3v2Header(3, quint32(brokenExtended.size()), 0x40) + brokenExtended;
}

void ID3v2SaveTest::dropsJunkInPadding()
{
    QFETCH(QByteArray, old);
    Files files;
    files.write("a.mp3", old + kAudio);
    TID3v2 before;
    QVERIFY(before.ReadFromFile(files.native("a.mp3")));
    QVERIFY(readChangeSave(files.native("a.mp3"),
                           [](TID3v2& t) { t.Artist = tags::unicodeText("New"); }));
    const QByteArray saved = files.read("a.mp3");
    QCOMPARE(afterTag(saved), kAudio);
    TID3v2 after;
    QVERIFY(after.ReadFromFile(files.native("a.mp3")));
    QCOMPARE(after.Title, before.Title);
    QCOMPARE(after.Album, before.Album);
    QCOMPARE(after.Artist, legacy("New"));
    QCOMPARE(framesOf(saved).size(), 7);
}

void ID3v2SaveTest::extendedFlagWithoutExtendedHeader_data()
{
    QTest::addColumn<int>("major");
    QTest::newRow("v2.3") << 3;
    QTest::newRow("v2.4") << 4;
}

void ID3v2SaveTest::extendedFlagWithoutExtendedHeader()
{
    QFETCH(int, major);
    const QByteArray apic = QByteArray("\0image/png\0\x03\0", 13) + "png";
    const auto frame = major == 3 ? frame23 : frame24;
    const QByteArray frames = frame("TIT2", latin1("T"), 0) + frame("APIC", apic, 0) + zero(10);
    files_.write("a.mp3", id3v2Header(major, quint32(frames.size()), 0x40) + frames + kAudio);
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Album = tags::unicodeText("A"); }));
    const QByteArray saved = files_.read("a.mp3");
    const QList<QByteArray> kept = framesOf(saved);
    QCOMPARE(kept.size(), 8);
    QCOMPARE(kept[0], frame23("TIT2", latin1("T")));
    QCOMPARE(kept[7], frame23("APIC", apic));
    QCOMPARE(afterTag(saved), kAudio);
}

void ID3v2SaveTest::genreFromV24InV23Encoding_data()
{
    QTest::addColumn<QByteArray>("tcon");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("UTF-8 name") << frame24("TCON", utf8(u"Électro"_s))
                                << frame23("TCON", textData(1, utf16WithBom(u"Électro"_s)));
    QTest::newRow("UTF-16BE name")
        << frame24("TCON", textData(2, QByteArray("\0R\0o\0c\0k", 8)))
        << frame23("TCON", textData(1, QByteArray("\xFE\xFF\0R\0o\0c\0k", 10)));
    QTest::newRow("UTF-8 declared over GBK bytes: legacy")
        << frame24("TCON", textData(3, gbk(u"摇滚"_s))) << frame23("TCON", latin1(gbk(u"摇滚"_s)));
    QTest::newRow("UTF-8 bare number")
        << frame24("TCON", utf8(u"17"_s)) << frame23("TCON", latin1("(17)"));
    QTest::newRow("grouped bare number") << frame24("TCON", "\x05" + latin1("17"), 0x0040)
                                         << frame23("TCON", "\x05" + latin1("(17)"), 0x0020);
}

void ID3v2SaveTest::genreFromV24InV23Encoding()
{
    QFETCH(QByteArray, tcon);
    QFETCH(QByteArray, expected);
    files_.write("a.mp3", id3v2Tag(4, tcon) + kAudio);
    TID3v2 before;
    QVERIFY(before.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(readChangeSave(files_.native("a.mp3"),
                           [](TID3v2& t) { t.Title = tags::unicodeText("T"); }));
    QCOMPARE(framesOf(files_.read("a.mp3"))[5], expected);
    TID3v2 after;
    QVERIFY(after.ReadFromFile(files_.native("a.mp3")));
    // A genre number is ASCII: in Latin-1 it reads the same.
    QCOMPARE(after.Genre.bytes, before.Genre.bytes);
}

void ID3v2SaveTest::describedCommentStays()
{
    const QByteArray described = frame23("COMM", commentData("iTunNORM", "0000"));
    files_.write("a.mp3", id3v2Tag(3, described) + kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, legacy("0000"));

    tag.Title = tags::unicodeText("T");
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    QCOMPARE(framesOf(files_.read("a.mp3")).count(described), 1);
    QCOMPARE(framesOf(files_.read("a.mp3")).size(), 7);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, legacy("0000"));

    tag.Comment = tags::unicodeText("mine");
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QCOMPARE(frames[6], frame23("COMM", commentData("", "mine")));
    QCOMPARE(frames[7], described);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, legacy("mine"));
}

void ID3v2SaveTest::writesLongTextWhole()
{
    files_.write("a.mp3", kAudio);
    const std::string longText(300, 'L');
    TID3v2 tag;
    tag.Title = tags::legacyText(longText);
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    QCOMPARE(framesOf(files_.read("a.mp3")).first(), frame23("TIT2", latin1(qb(longText))));
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Title, tags::legacyText(longText));
}

void ID3v2SaveTest::repeatedSavesAreStable()
{
    files_.write("a.mp3", id3v2Tag(4, frame24("TPE1", utf8(u"歌手"_s)) + frame24("APIC", kPicture) +
                                          frame24("COMM", commentData("d", "x"))) +
                              kAudio + kTrailer);
    const auto edit = [](TID3v2& t) {
        t.Title = unicode(u"同一首 Same"_s);
    };
    QVERIFY(readChangeSave(files_.native("a.mp3"), edit));
    const QByteArray first = files_.read("a.mp3");
    QVERIFY(readChangeSave(files_.native("a.mp3"), edit));
    QCOMPARE(files_.read("a.mp3"), first);
}

namespace {

// The bytes this process has handed to write calls so far.
qint64 bytesWritten()
{
    QFile io(u"/proc/self/io"_s);
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("wchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

void ID3v2SaveTest::inPlaceWriteSendsOnlyTheBytesThatDiffer()
{
    // A retitling in place of a tag whose cover lies after the title.
    const QByteArray cover = frame23("APIC", kPicture + QByteArray(200 * 1024, '\x5a'));
    const QByteArray before = id3v2Tag(3, frame23("TIT2", latin1("Title A")) + cover, 100);
    const QByteArray after = id3v2Tag(3, frame23("TIT2", latin1("Title B")) + cover, 100);
    files_.write("a.mp3", before + kAudio + kTrailer);
    auto change = tags::beginChange(files_.native("a.mp3"));
    QVERIFY(change);
    change->setHead(after.toStdString());
    QVERIFY(change->inPlace());
    const qint64 start = bytesWritten();
    QVERIFY(start >= 0);
    QVERIFY(tags::writeInPlace(*change).written());
    QVERIFY2(bytesWritten() - start < 4096, "the unchanged cover was written again");
    QCOMPARE(files_.read("a.mp3"), after + kAudio + kTrailer);
}

void ID3v2SaveTest::keepsPermissionsAndReplacesLeftover()
{
    Files files;
    const QString path = files.write("a.mp3", kAudio);
    ::chmod(path.toLocal8Bit().constData(), 0604);
    files.write("a.mp3.tdexbak", "left over by an earlier attempt");
    TID3v2 tag;
    tag.Title = tags::unicodeText("T");
    QVERIFY(tag.SaveToFile(files.native("a.mp3")));
    struct stat st {};
    ::stat(files.native("a.mp3").c_str(), &st);
    QCOMPARE(st.st_mode & 07777, mode_t(0604));
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void ID3v2SaveTest::readOnlyGivesFalse_data()
{
    QTest::addColumn<bool>("folder");
    QTest::newRow("file without write bits") << false;
    QTest::newRow("folder without write bits") << true;
}

void ID3v2SaveTest::readOnlyGivesFalse()
{
    QFETCH(bool, folder);
    Files files;
    const QByteArray old = id3v2Tag(3, frame23("TIT2", latin1("Old"))) + kAudio;
    files.write("a.mp3", old);
    const std::string target = folder ? files.native({}) : files.native("a.mp3");
    struct stat st {};
    ::stat(target.c_str(), &st);
    ::chmod(target.c_str(), st.st_mode & ~mode_t(0222));
    TID3v2 tag;
    tag.Title = tags::unicodeText("New");
    const bool saved = tag.SaveToFile(files.native("a.mp3"));
    ::chmod(target.c_str(), st.st_mode);
    QVERIFY(!saved);
    QCOMPARE(files.read("a.mp3"), old);
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void ID3v2SaveTest::fullDiskGivesFalse()
{
    Files files;
    // A failed save leaves no ".tdexbak" behind: the original is intact, and a
    // half-written copy beside it would only confuse.
    const QByteArray old = id3v2Tag(3, frame23("TIT2", latin1("Old"))) + silentMpegFrames(40);
    files.write("a.mp3", old);
    TID3v2 tag;
    tag.Title = tags::unicodeText("New");
    bool saved = true;
    {
        FileSizeLimit limit(4096);
        saved = tag.SaveToFile(files.native("a.mp3"));
    }
    QVERIFY(!saved);
    QCOMPARE(files.read("a.mp3"), old);
    QCOMPARE(files.names(), QStringList{u"a.mp3"_s});
}

void ID3v2SaveTest::systemErrorsThrow()
{
    Files files;
    TID3v2 tag;
    QVERIFY_THROWS_EXCEPTION(std::system_error, tag.SaveToFile(files.native("missing.mp3")));
    QVERIFY(files.names().isEmpty());

    // The copy's name is taken by a folder that cannot be removed.
    const QByteArray old = id3v2Tag(3, frame23("TIT2", latin1("Old"))) + kAudio;
    files.write("a.mp3", old);
    QDir(files.path({})).mkpath(u"a.mp3.tdexbak/inside"_s);
    QVERIFY_THROWS_EXCEPTION(std::system_error, tag.SaveToFile(files.native("a.mp3")));
    QCOMPARE(files.read("a.mp3"), old);
    QDir(files.path(u"a.mp3.tdexbak"_s)).removeRecursively();
}

void ID3v2SaveTest::followsSymbolicLink()
{
    files_.write("real.mp3", kAudio);
    QVERIFY(QFile::link(files_.path(u"real.mp3"_s), files_.path(u"link.mp3"_s)));
    TID3v2 tag;
    tag.Title = tags::unicodeText("T");
    QVERIFY(tag.SaveToFile(files_.native("link.mp3")));
    QVERIFY(QFileInfo(files_.path(u"link.mp3"_s)).isSymLink());
    QVERIFY(tag.ReadFromFile(files_.native("real.mp3")));
    QCOMPARE(tag.Title, legacy("T"));
    QCOMPARE(afterTag(files_.read("real.mp3")), kAudio);
}

MP3T_TEST_GUILESS_MAIN(ID3v2SaveTest)
#include "ID3v2SaveTest.moc"
