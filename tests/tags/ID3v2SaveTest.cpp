#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

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
    void writesExact104ByteTag();
    void replacesOldTag_data();
    void replacesOldTag();
    void keepsEveryOtherFrame();
    void convertsV24Tag();
    void convertsV22Tag();
    void describedCommentStays();
    void writesLongTextWhole();
    void repeatedSavesAreStable();
    void keepsPermissionsAndReplacesLeftover();
    void readOnlyGivesFalse_data();
    void readOnlyGivesFalse();
    void fullDiskGivesFalse();
    void systemErrorsThrow();
    void followsSymbolicLink();

private:
    Files files_;
};

void ID3v2SaveTest::writesExact104ByteTag()
{
    files_.write("a.mp3", kAudio);
    TID3v2 tag;
    tag.Title = "abc";
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QByteArray expected =
        QByteArray::fromHex("49443303000000000"
                            "05E") +
        frame23("TIT2", QByteArray::fromHex("00616263")) + frame23("TPE1", zero()) +
        frame23("TALB", zero()) + frame23("TRCK", zero()) + frame23("TYER", zero()) +
        frame23("TCON", zero()) + frame23("COMM", QByteArray::fromHex("00656E6700")) + zero(10);
    QCOMPARE(expected.size(), 104);
    QCOMPARE(files_.read("a.mp3"), expected + kAudio);
}

void ID3v2SaveTest::replacesOldTag_data()
{
    QTest::addColumn<QByteArray>("old");
    QTest::addColumn<QByteArray>("rest");
    const QByteArray body = kAudio + kTrailer;
    QTest::newRow("no tag") << body << body;
    QTest::newRow("v2.3") << id3v2Tag(3, frame23("TIT2", latin1("x")), 100) + body << body;
    QTest::newRow("v2.4") << id3v2Tag(4, frame24("TIT2", latin1("x"))) + body << body;
    QTest::newRow("version 5, dropped by its size")
        << id3v2Tag(5, QByteArray(40, 'z')) + body << body;
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
    tag.Title = "New";
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QByteArray saved = files_.read("a.mp3");
    QVERIFY(saved.startsWith("ID3\x03"));
    QCOMPARE(afterTag(saved), rest);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Title, std::string("New"));
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
    QVERIFY(readChangeSave(files_.native("a.mp3"), [](TID3v2& t) { t.Album = "New album"; }));
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
    QVERIFY(readChangeSave(files_.native("a.mp3"), [](TID3v2& t) { t.Album = "A"; }));

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
    QCOMPARE(after.Year, std::string("2004"));
    QCOMPARE(after.Genre, std::string("Rock"));
}

void ID3v2SaveTest::convertsV22Tag()
{
    files_.write("a.mp3", id3v2Tag(2, frame22("TT2", latin1("T")) +
                                          frame22("PIC", QByteArray("\0JPG\x03\0", 6) + "jpeg") +
                                          frame22("CRM", QByteArray("owner\0x", 7)) +
                                          frame22("TXX", latin1(QByteArray("k\0v", 3)))) +
                              kAudio);
    QVERIFY(readChangeSave(files_.native("a.mp3"), [](TID3v2& t) { t.Album = "A"; }));
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QCOMPARE(frames.size(), 9);
    QCOMPARE(frames[0], frame23("TIT2", latin1("T")));
    QCOMPARE(frames[7], frame23("APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + "jpeg"));
    QCOMPARE(frames[8], frame23("TXXX", latin1(QByteArray("k\0v", 3))));
}

void ID3v2SaveTest::describedCommentStays()
{
    const QByteArray described = frame23("COMM", commentData("iTunNORM", "0000"));
    files_.write("a.mp3", id3v2Tag(3, described) + kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, std::string("0000"));

    tag.Title = "T";
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    QCOMPARE(framesOf(files_.read("a.mp3")).count(described), 1);
    QCOMPARE(framesOf(files_.read("a.mp3")).size(), 7);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, std::string("0000"));

    tag.Comment = "mine";
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QList<QByteArray> frames = framesOf(files_.read("a.mp3"));
    QCOMPARE(frames[6], frame23("COMM", commentData("", "mine")));
    QCOMPARE(frames[7], described);
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Comment, std::string("mine"));
}

void ID3v2SaveTest::writesLongTextWhole()
{
    files_.write("a.mp3", kAudio);
    const std::string longText(300, 'L');
    TID3v2 tag;
    tag.Title = longText;
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    QCOMPARE(framesOf(files_.read("a.mp3")).first(), frame23("TIT2", latin1(qb(longText))));
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(tag.Title, longText);
}

void ID3v2SaveTest::repeatedSavesAreStable()
{
    files_.write("a.mp3", id3v2Tag(4, frame24("TPE1", utf8(u"歌手"_s)) + frame24("APIC", kPicture) +
                                          frame24("COMM", commentData("d", "x"))) +
                              kAudio + kTrailer);
    const auto edit = [](TID3v2& t) {
        t.Title = "Same";
    };
    QVERIFY(readChangeSave(files_.native("a.mp3"), edit));
    const QByteArray first = files_.read("a.mp3");
    QVERIFY(readChangeSave(files_.native("a.mp3"), edit));
    QCOMPARE(files_.read("a.mp3"), first);
}

void ID3v2SaveTest::keepsPermissionsAndReplacesLeftover()
{
    Files files;
    const QString path = files.write("a.mp3", kAudio);
    ::chmod(path.toLocal8Bit().constData(), 0604);
    files.write("a.mp3.tdexbak", "left over by an earlier attempt");
    TID3v2 tag;
    tag.Title = "T";
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
    tag.Title = "New";
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
    tag.Title = "New";
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
    tag.Title = "T";
    QVERIFY(tag.SaveToFile(files_.native("link.mp3")));
    QVERIFY(QFileInfo(files_.path(u"link.mp3"_s)).isSymLink());
    QVERIFY(tag.ReadFromFile(files_.native("real.mp3")));
    QCOMPARE(tag.Title, std::string("T"));
    QCOMPARE(afterTag(files_.read("real.mp3")), kAudio);
}

MP3T_TEST_GUILESS_MAIN(ID3v2SaveTest)
#include "ID3v2SaveTest.moc"
