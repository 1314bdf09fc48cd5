// The legacy texts of a tag: listed for the code-page detection, and
// converted to Unicode.
#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

#include <sys/stat.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kAudio = silentMpegFrames(3);
const QByteArray kTrailer = id3v1Trailer("v1 title", {}, {}, {}, {}, 3, 17);
// A picture whose description is legacy: pictures are no texts of the tag.
const QByteArray kPicture =
    QByteArray("\0image/png\0\x03", 12) + gbk(u"封面"_s) + '\0' + QByteArray(3000, '\x89');
const QStringList kWords{u"童话"_s, u"光良"_s, u"评论"_s, u"描述"_s, u"歌词"_s, u"键"_s, u"值"_s};

// GBK to UTF-8 for the words of these tests.
std::string fromGbk(std::string_view bytes)
{
    for (const QString& word : kWords) {
        if (gbk(word) == QByteArray(bytes.data(), qsizetype(bytes.size())))
            return word.toUtf8().toStdString();
    }
    return "unknown word";
}

QByteArray g(const QString& s)
{
    return gbk(s);
}
QByteArray zero(int n = 1)
{
    return QByteArray(n, '\0');
}
QByteArray utf16(const QString& s)
{
    return textData(1, utf16WithBom(s));
}
QByteArray lyricsData(const QByteArray& description, const QByteArray& text)
{
    return commentData(description, text);
}

QByteArrayList listed(const TID3v2& tag)
{
    QByteArrayList out;
    for (const tags::LegacyFrameText& t : tag.LegacyTexts())
        out << qb(t.frameId) + '=' + qb(t.bytes);
    return out;
}

QByteArray frameWithId(const QByteArray& file, const char* id)
{
    for (const QByteArray& frame : framesOf(file)) {
        if (frame.startsWith(id))
            return frame;
    }
    return {};
}

TagLib::String tl(const QString& s)
{
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}
QString qs(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// A tag of every kind of listed frame, legacy and Unicode, with a picture.
QByteArray mixedTag(int major)
{
    const auto frame = [&](const char* id, const QByteArray& data) {
        return major == 4 ? frame24(id, data) : frame23(id, data);
    };
    // v2.4 has UTF-8, and programs that write GBK bytes under it.
    const QByteArray title = major == 4 ? textData(3, g(u"童话"_s)) : latin1(g(u"童话"_s));
    const QByteArray artist = major == 4 ? utf8(u"光良"_s) : utf16(u"光良"_s);
    return id3v2Tag(major,
                    frame("TIT2", title) + frame("TPE1", artist) + frame("APIC", kPicture) +
                        frame("TXXX", latin1(g(u"键"_s) + zero() + g(u"值"_s))) +
                        frame("COMM", commentData(g(u"描述"_s), g(u"评论"_s))) +
                        frame("TCON", latin1("(17)")) + frame("USLT", lyricsData({}, g(u"歌词"_s))),
                    32);
}

} // namespace

class LegacyTextsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsLegacyTexts_data();
    void listsLegacyTexts();
    void convertsLegacyToUnicode_data();
    void convertsLegacyToUnicode();
    void leavesTagWithoutLegacyTextAlone_data();
    void leavesTagWithoutLegacyTextAlone();
    void refusesWhatItCannotConvert_data();
    void refusesWhatItCannotConvert();

private:
    Files files_;
};

void LegacyTextsTest::listsLegacyTexts_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArrayList>("texts");
    QTest::newRow("v2.3, every kind of frame")
        << id3v2Tag(3, frame23("TIT2", latin1(g(u"童话"_s))) + frame23("TPE1", utf16(u"光良"_s)) +
                           frame23("APIC", kPicture) +
                           frame23("TXXX", latin1(g(u"键"_s) + zero() + g(u"值"_s))) +
                           frame23("COMM", commentData(g(u"描述"_s), g(u"评论"_s))) +
                           frame23("USLT", lyricsData({}, g(u"歌词"_s))) +
                           frame23("TCON", latin1("(17)")) + frame23("TYER", latin1({})) +
                           frame23("WXXX", QByteArray("\0link\0http://x", 15)) +
                           frame23("COMM", textData(1, "eng" + utf16WithBom({}) + zero(2) +
                                                           utf16WithBom(u"评论"_s))) +
                           frame23("PRIV", QByteArray("owner\0\xB5\xC4", 8)))
        << QByteArrayList{"TIT2=" + g(u"童话"_s),
                          "TXXX=" + g(u"键"_s),
                          "TXXX=" + g(u"值"_s),
                          "COMM=" + g(u"描述"_s),
                          "COMM=" + g(u"评论"_s),
                          "USLT=" + g(u"歌词"_s),
                          "TCON=(17)"};
    QTest::newRow("v2.4, UTF-8 declared over GBK bytes")
        << id3v2Tag(4, frame24("TIT2", textData(3, g(u"童话"_s))) +
                           frame24("TPE1", utf8(u"光良"_s)) + frame24("TDRC", latin1("2004")))
        << QByteArrayList{"TIT2=" + g(u"童话"_s), "TDRC=2004"};
    QTest::newRow("v2.2, under v2.3 IDs")
        << id3v2Tag(2, frame22("TT2", latin1(g(u"童话"_s))) +
                           frame22("COM", commentData({}, g(u"评论"_s))))
        << QByteArrayList{"TIT2=" + g(u"童话"_s), "COMM=" + g(u"评论"_s)};
    QTest::newRow("text frame without an encoding byte")
        << id3v2Tag(3, frame23("TIT2", g(u"童话"_s))) << QByteArrayList{"TIT2=" + g(u"童话"_s)};
    QTest::newRow("grouped frame")
        << id3v2Tag(3, frame23("TIT2", "\x07" + latin1(g(u"童话"_s)), 0x0020))
        << QByteArrayList{"TIT2=" + g(u"童话"_s)};
    QTest::newRow("compressed frame and frame over 1 MiB not read")
        << id3v2Tag(3, frame23("TIT2", bigEndian32(4) + "xxxx", 0x0080) +
                           frame23("TXXX", latin1(QByteArray((1 << 20) + 10, 'x'))) +
                           frame23("TALB", latin1("A")))
        << QByteArrayList{"TALB=A"};
}

void LegacyTextsTest::listsLegacyTexts()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArrayList, texts);
    files_.write("a.mp3", tag + kAudio);
    files_.write("none.mp3", kAudio);
    TID3v2 read;
    QVERIFY(read.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(listed(read), texts);
    QVERIFY(read.ReadFromFile(files_.native("none.mp3")));
    QVERIFY(read.LegacyTexts().empty());
}

void LegacyTextsTest::convertsLegacyToUnicode_data()
{
    QTest::addColumn<int>("major");
    QTest::newRow("v2.3") << 3;
    QTest::newRow("v2.4") << 4;
}

void LegacyTextsTest::convertsLegacyToUnicode()
{
    QFETCH(int, major);
    files_.write("c.mp3", mixedTag(major) + kAudio + kTrailer);
    bool converted = false;
    QVERIFY(TID3v2::ConvertLegacyToUnicode(files_.native("c.mp3"), fromGbk, &converted));
    QVERIFY(converted);

    const QByteArray saved = files_.read("c.mp3");
    QCOMPARE(afterTag(saved), kAudio + kTrailer);
    const auto bom = [](const QString& s) {
        return utf16WithBom(s);
    };
    QCOMPARE(frameWithId(saved, "TIT2"), frame23("TIT2", utf16(u"童话"_s)));
    QCOMPARE(frameWithId(saved, "TPE1"), frame23("TPE1", utf16(u"光良"_s)));
    QCOMPARE(frameWithId(saved, "APIC"), frame23("APIC", kPicture));
    QCOMPARE(frameWithId(saved, "TXXX"),
             frame23("TXXX", "\x01" + bom(u"键"_s) + zero(2) + bom(u"值"_s)));
    QCOMPARE(frameWithId(saved, "COMM"),
             frame23("COMM", "\x01"
                             "eng" +
                                 bom(u"描述"_s) + zero(2) + bom(u"评论"_s)));
    QCOMPARE(frameWithId(saved, "USLT"), frame23("USLT", "\x01"
                                                         "eng" +
                                                             bom({}) + zero(2) + bom(u"歌词"_s)));
    QCOMPARE(frameWithId(saved, "TCON"), frame23("TCON", latin1("(17)")));

    TID3v2 ours;
    QVERIFY(ours.ReadFromFile(files_.native("c.mp3")));
    QCOMPARE(listed(ours), QByteArrayList{"TCON=(17)"});
    QCOMPARE(ours.Title, unicode(u"童话"_s));

    TagLib::MPEG::File file(files_.native("c.mp3").c_str());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    QVERIFY(v2 && file.hasID3v2Tag());
    QCOMPARE(int(v2->header()->majorVersion()), 3);
    QCOMPARE(qs(v2->title()), u"童话"_s);
    QCOMPARE(qs(v2->artist()), u"光良"_s);
    QCOMPARE(qs(v2->comment()), u"评论"_s);
    QCOMPARE(qs(v2->genre()), u"Rock"_s);
    const TagLib::PropertyMap properties = v2->properties();
    QCOMPARE(qs(properties[tl(u"键"_s)].toString()), u"值"_s);
    QCOMPARE(qs(properties["LYRICS"].toString()), u"歌词"_s);
}

void LegacyTextsTest::leavesTagWithoutLegacyTextAlone_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::newRow("Unicode texts and a picture")
        << id3v2Tag(3, frame23("TIT2", utf16(u"童话"_s)) + frame23("APIC", kPicture) +
                           frame23("COMM", textData(1, "eng" + utf16WithBom({}) + zero(2) +
                                                           utf16WithBom(u"评论"_s)))) +
               kAudio;
    QTest::newRow("v2.4, legacy texts of ASCII only")
        << id3v2Tag(4, frame24("TIT2", utf8(u"童话"_s)) + frame24("TCON", latin1("Rock")) +
                           frame24("TXXX", latin1(QByteArray("key\0value", 9))) +
                           frame24("TIT3", "Without encoding byte")) +
               kAudio;
    QTest::newRow("no tag") << kAudio + kTrailer;
}

void LegacyTextsTest::leavesTagWithoutLegacyTextAlone()
{
    QFETCH(QByteArray, file);
    Files files;
    files.write("u.mp3", file);
    int calls = 0;
    const auto count = [&](std::string_view bytes) {
        ++calls;
        return std::string(bytes);
    };
    bool converted = true;
    QVERIFY(TID3v2::ConvertLegacyToUnicode(files.native("u.mp3"), count, &converted));
    QVERIFY(!converted);
    QCOMPARE(calls, 0);
    QCOMPARE(files.read("u.mp3"), file);
    QCOMPARE(files.names(), QStringList{u"u.mp3"_s});
}

void LegacyTextsTest::refusesWhatItCannotConvert_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QByteArray>("conversion");
    QTest::addColumn<bool>("readOnly");
    const QByteArray legacy = mixedTag(3) + kAudio;
    QTest::newRow("conversion gives no UTF-8") << legacy << QByteArray("\xC3(") << false;
    QTest::newRow("conversion gives a NUL") << legacy << QByteArray("a\0b", 3) << false;
    QTest::newRow("read-only file") << legacy << QByteArray() << true;
    QTest::newRow("frame version 2.3 lacks")
        << id3v2Tag(2, frame22("TT2", latin1(g(u"童话"_s))) +
                           frame22("CRM", QByteArray("owner\0x", 7))) +
               kAudio
        << QByteArray() << false;
}

void LegacyTextsTest::refusesWhatItCannotConvert()
{
    QFETCH(QByteArray, file);
    QFETCH(QByteArray, conversion);
    QFETCH(bool, readOnly);
    Files files;
    files.write("r.mp3", file);
    const std::string path = files.native("r.mp3");
    if (readOnly)
        ::chmod(path.c_str(), 0444);
    const auto convert = [&](std::string_view bytes) {
        return conversion.isNull() ? fromGbk(bytes) : conversion.toStdString();
    };
    bool converted = true;
    const bool result = TID3v2::ConvertLegacyToUnicode(path, convert, &converted);
    ::chmod(path.c_str(), 0644);
    QVERIFY(!result);
    QVERIFY(!converted);
    QCOMPARE(files.read("r.mp3"), file);
    QCOMPARE(files.names(), QStringList{u"r.mp3"_s});
}

MP3T_TEST_GUILESS_MAIN(LegacyTextsTest)
#include "LegacyTextsTest.moc"
