#include "tags/ID3v2.h"
#include "tags/ID3v2FrameList.h"
#include "tags/TagImage.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kAudio = silentMpegFrames(3);

// A JPEG's segments spelled out: start, frame header, one scan, end; then
// bytes after the end marker up to `total`, which a reader ignores.
QByteArray jpeg(quint16 width, quint16 height, int total)
{
    QByteArray frame("\xFF\xC0\x00\x0B\x08", 5);
    frame += char(height >> 8);
    frame += char(height & 0xFF);
    frame += char(width >> 8);
    frame += char(width & 0xFF);
    frame += QByteArray("\x01\x01\x11\x00", 4);
    const QByteArray scan("\xFF\xDA\x00\x08\x01\x01\x00\x00\x3F\x00\x12\x34", 12);
    const QByteArray whole = QByteArray("\xFF\xD8", 2) + frame + scan + QByteArray("\xFF\xD9", 2);
    return whole + QByteArray(total - whole.size(), '\0');
}

QByteArray pictureData(const QByteArray& mime, char type, const QByteArray& image)
{
    return QByteArray(1, '\0') + mime + QByteArray(1, '\0') + type + QByteArray(1, '\0') + image;
}

QString shown(const tags::Text& text)
{
    return text.unicode ? QString::fromStdString(text.bytes) : QString::fromLatin1(text.bytes);
}

std::string saveEdits(const std::string& path, const tags::FrameEdits& edits)
{
    auto change = tags::beginChange(path);
    const auto head = TID3v2::RenderFrameEdits(change->before(), edits);
    if (!head)
        return "refused";
    change->setHead(*head);
    return tags::writeStaged(*change).written() ? "" : "failed";
}

} // namespace

class FrameListTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void listsEveryFrameInOrder();
    void pictureSummaries_data();
    void pictureSummaries();
    void builders_data();
    void builders();
    void buildersRefuse();
    void editsKeepEveryOtherFrame();
    void editsOfAFileWithoutTag();
    void removedFieldsLeaveNoFrame();
    void editsNamingNoFrameAreRefused();

private:
    tagtest::Files files_;
};

void FrameListTest::listsEveryFrameInOrder()
{
    const QByteArray unknown = QByteArray("\x01\x02\x00\x03", 4);
    const QByteArray frames =
        frame24("TIT2", textData(3, u"童话"_s.toUtf8())) +
        frame24("TXXX", textData(0, QByteArray("key\0value", 9))) +
        frame24("COMM", commentData("desc", "text", "chi")) + frame24("WOAR", "http://a.example/") +
        frame24("ZZZZ", unknown) +
        frame24("APIC", pictureData("image/jpeg", 3, jpeg(800, 800, 217 * 1024))) +
        frame24("TPE1", textData(0, QByteArray("a\0b", 3)));
    files_.write("l.mp3", id3v2Tag(4, frames, 20) + kAudio);
    const auto list = tags::listFrames(*tags::readTagImage(files_.native("l.mp3")));
    QCOMPARE(list.size(), std::size_t(7));
    QStringList ids;
    for (std::size_t i = 0; i < list.size(); ++i) {
        QCOMPARE(list[i].index, i);
        ids << QString::fromStdString(list[i].id);
    }
    QCOMPARE(ids, QStringList({"TIT2", "TXXX", "COMM", "WOAR", "ZZZZ", "APIC", "TPE1"}));
    QCOMPARE(QString::fromStdString(list[0].name), u"标题"_s);
    QCOMPARE(shown(list[0].text), u"童话"_s);
    QCOMPARE(shown(list[1].description), u"key"_s);
    QCOMPARE(shown(list[1].text), u"value"_s);
    QCOMPARE(list[2].language, std::string("chi"));
    QCOMPARE(shown(list[2].description), u"desc"_s);
    QCOMPARE(shown(list[2].text), u"text"_s);
    QCOMPARE(QString::fromStdString(list[3].name), u"艺术家链接"_s);
    QCOMPARE(shown(list[3].text), u"http://a.example/"_s);
    QVERIFY(!list[4].shown);
    QVERIFY(list[4].name.empty());
    QCOMPARE(qb(list[4].data), unknown);
    QCOMPARE(list[4].size, quint64(unknown.size()));
    QCOMPARE(shown(list[5].text), u"封面, JPEG 800×800, 217 KB"_s);
    QCOMPARE(shown(list[6].text), u"a / b"_s);
    QVERIFY(list[6].data.empty());
}

void FrameListTest::pictureSummaries_data()
{
    QTest::addColumn<QByteArray>("mime");
    QTest::addColumn<QByteArray>("image");
    QTest::addColumn<QString>("summary");
    QTest::newRow("JPEG") << QByteArray("image/jpeg") << jpeg(640, 480, 2000)
                          << u"JPEG 640×480, 2 KB"_s;
    QTest::newRow("cut JPEG: no size")
        << QByteArray("image/jpeg") << jpeg(640, 480, 2000).left(12) << u"JPEG 12 B"_s;
    QTest::newRow("megabytes") << QByteArray("image/jpeg") << jpeg(1, 2, 3 << 19)
                               << u"JPEG 1×2, 1.5 MB"_s;
    QTest::newRow("unknown format")
        << QByteArray("image/gif") << QByteArray("GIF89a") << u"image/gif 6 B"_s;
}

void FrameListTest::pictureSummaries()
{
    QFETCH(QByteArray, mime);
    QFETCH(QByteArray, image);
    QFETCH(QString, summary);
    QCOMPARE(QString::fromStdString(tags::pictureSummary(mime.toStdString(), image.toStdString())),
             summary);
}

void FrameListTest::builders_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("text, legacy") << u"TIT3 legacy"_s << frame23("TIT3", latin1("sub"));
    QTest::newRow("text, Chinese")
        << u"TIT3 unicode"_s << frame23("TIT3", "\x01" + utf16WithBom(u"副标题"_s));
    QTest::newRow("TXXX") << u"TXXX"_s
                          << frame23("TXXX", "\x01" + utf16WithBom(u"描述"_s) +
                                                 QByteArray(2, '\0') + utf16WithBom(u"值"_s));
    QTest::newRow("COMM") << u"COMM"_s << frame23("COMM", commentData("d", "t", "chi"));
    QTest::newRow("WOAR") << u"WOAR"_s << frame23("WOAR", "http://x.example/");
    QTest::newRow("WXXX") << u"WXXX"_s
                          << frame23("WXXX", QByteArray("\0home\0http://h.example/", 23));
    QTest::newRow("WXXX, Chinese")
        << u"WXXX unicode"_s
        << frame23("WXXX",
                   "\x01" + utf16WithBom(u"主页"_s) + QByteArray(2, '\0') + "http://h.example/");
}

void FrameListTest::builders()
{
    QFETCH(QString, kind);
    QFETCH(QByteArray, frame);
    using namespace tags::id3v2;
    std::optional<Frame> built;
    if (kind == u"TIT3 legacy"_s)
        built = newTextFrame("TIT3", tags::legacyText("sub"));
    else if (kind == u"TIT3 unicode"_s)
        built = newTextFrame("TIT3", unicode(u"副标题"_s));
    else if (kind == u"TXXX"_s)
        built = newUserTextFrame(unicode(u"描述"_s), unicode(u"值"_s));
    else if (kind == u"COMM"_s)
        built = newCommentFrame("chi", tags::legacyText("d"), tags::legacyText("t"));
    else if (kind == u"WOAR"_s)
        built = newUrlFrame("WOAR", "http://x.example/");
    else if (kind == u"WXXX"_s)
        built = newUserUrlFrame(tags::legacyText("home"), "http://h.example/");
    else
        built = newUserUrlFrame(unicode(u"主页"_s), "http://h.example/");
    QVERIFY(built);
    QCOMPARE(qb(serialized(*built)), frame);
}

void FrameListTest::buildersRefuse()
{
    using namespace tags::id3v2;
    QVERIFY(!newTextFrame("TXXX", tags::legacyText("x")));
    QVERIFY(!newTextFrame("COMM", tags::legacyText("x")));
    QVERIFY(!newTextFrame("Tit2", tags::legacyText("x")));
    QVERIFY(!newTextFrame("TIT2", tags::legacyText(std::string("a\0b", 3))));
    QVERIFY(!newUrlFrame("WXXX", "http://x/"));
    QVERIFY(!newUrlFrame("TIT2", "http://x/"));
    QVERIFY(!newUrlFrame("WOAR", "http://例子/"));
    QVERIFY(!newUserTextFrame(tags::legacyText("\xB8\xE8"), unicode(u"童话"_s)));
    QVERIFY(!newCommentFrame("eng", {}, tags::unicodeText("\xFF\xFE")));
}

void FrameListTest::editsKeepEveryOtherFrame()
{
    const QByteArray cover = frame23("APIC", pictureData("image/jpeg", 3, jpeg(10, 10, 5000)));
    const QByteArray unknown = frame23("ZZZZ", QByteArray("\x00\x01\x02", 3));
    const QByteArray priv = frame23("PRIV", QByteArray("owner\0\x05", 7), 0x8000);
    const QByteArray title = frame23("TIT2", latin1("Title"));
    const QByteArray stray = frame23("TPE3", latin1("stray"));
    const QByteArray comment = frame23("COMM", commentData("", "old"));
    files_.write("e.mp3", id3v2Tag(3, title + cover + stray + unknown + comment + priv, 100) +
                              kAudio + id3v1Trailer("v1"));
    const std::string path = files_.native("e.mp3");
    const auto list = tags::listFrames(*tags::readTagImage(path));
    QCOMPARE(list.size(), std::size_t(6));

    tags::FrameEdits edits;
    edits.removed = {2};
    edits.replaced = {{4, *tags::id3v2::newCommentFrame("eng", {}, tags::legacyText("new"))}};
    edits.added = {*tags::id3v2::newUrlFrame("WOAR", "http://a/"),
                   *tags::id3v2::newUserTextFrame({}, tags::legacyText("v"))};
    QCOMPARE(saveEdits(path, edits), std::string());

    const QByteArray saved = files_.read("e.mp3");
    const QList<QByteArray> frames = framesOf(saved);
    QCOMPARE(frames.at(0), title);
    QCOMPARE(frames.at(1), frame23("COMM", commentData("", "new")));
    QVERIFY(frames.contains(cover));
    QVERIFY(frames.contains(unknown));
    QVERIFY(frames.contains(priv));
    QVERIFY(!frames.contains(stray));
    QVERIFY(frames.contains(frame23("WOAR", "http://a/")));
    QCOMPARE(afterTag(saved), kAudio + id3v1Trailer("v1"));

    TagLib::MPEG::File file(path.c_str());
    const TagLib::PropertyMap p = file.ID3v2Tag()->properties();
    QCOMPARE(QString::fromStdString(p["TITLE"].toString().to8Bit(true)), u"Title"_s);
    QCOMPARE(QString::fromStdString(p["COMMENT"].toString().to8Bit(true)), u"new"_s);
    QVERIFY(!p.contains("CONDUCTOR"));
    QCOMPARE(QString::fromStdString(p["ARTISTWEBPAGE"].toString().to8Bit(true)), u"http://a/"_s);
    QCOMPARE(file.ID3v2Tag()->frameListMap()["APIC"].size(), 1u);
}

void FrameListTest::editsOfAFileWithoutTag()
{
    files_.write("n.mp3", kAudio);
    tags::FrameEdits edits;
    edits.added = {*tags::id3v2::newTextFrame("TPE2", unicode(u"群星"_s))};
    QCOMPARE(saveEdits(files_.native("n.mp3"), edits), std::string());
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("n.mp3")));
    QCOMPARE(tag.AlbumArtist, unicode(u"群星"_s));
    QCOMPARE(framesOf(files_.read("n.mp3")).size(), 1);
    QCOMPARE(afterTag(files_.read("n.mp3")), kAudio);
}

// A field's frame removed is gone, not written empty: the year of a v2.4
// tag too, with no date parts left behind.
void FrameListTest::removedFieldsLeaveNoFrame()
{
    const QByteArray frames =
        frame24("TIT2", latin1("Title")) + frame24("TDRC", latin1("2003-05-06T10:20")) +
        frame24("TPE1", latin1("Band")) + frame24("COMM", commentData("", "comment"));
    files_.write("r.mp3", id3v2Tag(4, frames, 64) + kAudio);
    const std::string path = files_.native("r.mp3");
    tags::FrameEdits edits;
    edits.removed = {0, 1, 3};
    QCOMPARE(saveEdits(path, edits), std::string());

    TagLib::MPEG::File file(path.c_str());
    const auto list = file.ID3v2Tag()->frameList();
    QCOMPARE(list.size(), 1u);
    QCOMPARE(QByteArray(list.front()->frameID().data(), 4), "TPE1"_ba);
    QCOMPARE(QString::fromStdString(file.ID3v2Tag()->artist().to8Bit(true)), u"Band"_s);
}

void FrameListTest::editsNamingNoFrameAreRefused()
{
    const QByteArray file = id3v2Tag(3, frame23("TIT2", latin1("T")), 10) + kAudio;
    files_.write("x.mp3", file);
    tags::FrameEdits edits;
    edits.removed = {1};
    QCOMPARE(saveEdits(files_.native("x.mp3"), edits), std::string("refused"));
    edits.removed.clear();
    edits.replaced = {{5, *tags::id3v2::newTextFrame("TIT2", tags::legacyText("x"))}};
    QCOMPARE(saveEdits(files_.native("x.mp3"), edits), std::string("refused"));
    QCOMPARE(files_.read("x.mp3"), file);
}

MP3T_TEST_GUILESS_MAIN(FrameListTest)
#include "FrameListTest.moc"
