#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

TagLib::String tl(const QString& s)
{
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}
QString qs(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

const QByteArray kPicture = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(5000, '\x42');

// Writes, with TagLib, a tag of Chinese texts, a picture, a track number and
// an ID3v1 trailer to a file of silent audio.
void writeWithTagLib(const std::string& path, int version, TagLib::String::Type encoding)
{
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(encoding);
    TagLib::MPEG::File file(path.c_str());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(true);
    tag->setTitle(tl(u"标题"_s));
    tag->setArtist(tl(u"歌手"_s));
    tag->setAlbum(tl(u"专辑"_s));
    tag->setComment(tl(u"评论"_s));
    tag->setGenre("Rock");
    tag->setYear(2004);
    tag->setTrack(7);
    auto* picture = new TagLib::ID3v2::AttachedPictureFrame; // the tag owns its frames
    picture->setMimeType("image/png");
    picture->setType(TagLib::ID3v2::AttachedPictureFrame::FrontCover);
    picture->setPicture(TagLib::ByteVector(kPicture.constData(), uint(kPicture.size())));
    tag->addFrame(picture);
    TagLib::ID3v1::Tag* v1 = file.ID3v1Tag(true);
    v1->setTitle("v1 title");
    v1->setYear(2004);
    v1->setTrack(7);
    v1->setGenre("Rock");
    file.save(TagLib::MPEG::File::ID3v1 | TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
              version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::Latin1);
}

QByteArray pictureOf(TagLib::ID3v2::Tag* tag)
{
    const TagLib::ID3v2::FrameList frames = tag->frameListMap()["APIC"];
    if (frames.isEmpty())
        return {};
    const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(frames.front());
    const TagLib::ByteVector data = picture ? picture->picture() : TagLib::ByteVector();
    return QByteArray(data.data(), int(data.size()));
}

void addRows()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("encoding");
    QTest::newRow("v2.3 UTF-16") << 3 << int(TagLib::String::UTF16);
    QTest::newRow("v2.4 UTF-8") << 4 << int(TagLib::String::UTF8);
    QTest::newRow("v2.4 UTF-16") << 4 << int(TagLib::String::UTF16);
}

} // namespace

class TagLibInteropTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsWhatTagLibWrites_data() { addRows(); }
    void readsWhatTagLibWrites();
    void tagLibReadsWhatWeWrite_data() { addRows(); }
    void tagLibReadsWhatWeWrite();
    void tagLibReadsUnicodeWeWrite_data() { addRows(); }
    void tagLibReadsUnicodeWeWrite();
    void tagLibReadsV22FramesWeCarried();
    void tagLibReadsGenreFromV24_data();
    void tagLibReadsGenreFromV24();

private:
    tagtest::Files files_;
};

void TagLibInteropTest::readsWhatTagLibWrites()
{
    QFETCH(int, version);
    QFETCH(int, encoding);
    files_.write("a.mp3", silentMpegFrames(4));
    writeWithTagLib(files_.native("a.mp3"), version, TagLib::String::Type(encoding));

    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(tag.Exists());
    QCOMPARE(int(tag.VersionID()), version);
    QCOMPARE(tag.Title, unicode(u"标题"_s));
    QCOMPARE(tag.Artist, unicode(u"歌手"_s));
    QCOMPARE(tag.Album, unicode(u"专辑"_s));
    QCOMPARE(tag.Comment, unicode(u"评论"_s));
    QCOMPARE(tag.Year.bytes, std::string("2004"));
    QCOMPARE(tag.Genre.bytes, std::string("Rock"));

    TID3v1 v1;
    QVERIFY(v1.ReadFromFile(files_.native("a.mp3")));
    QVERIFY(v1.Exists());
    QCOMPARE(v1.Title(), std::string("v1 title"));
    QCOMPARE(v1.Track(), uint8_t(7));
    QCOMPARE(v1.Genre(), std::string("Rock"));
    QCOMPARE(v1.Year(), std::string("2004"));
}

void TagLibInteropTest::tagLibReadsWhatWeWrite()
{
    QFETCH(int, version);
    QFETCH(int, encoding);
    files_.write("b.mp3", silentMpegFrames(4));
    writeWithTagLib(files_.native("b.mp3"), version, TagLib::String::Type(encoding));
    const QByteArray before = files_.read("b.mp3");

    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("b.mp3")));
    const int oldSize = tag.Size();
    // Changed texts of ASCII only are written in Latin-1; the artist stays as
    // it was read.
    tag.Title = tags::unicodeText("New Title");
    tag.Album = tags::unicodeText("New Album");
    tag.Year = tags::unicodeText("1999");
    tag.Genre = tags::unicodeText("Jazz");
    tag.Comment = tags::unicodeText("hello");
    QVERIFY(tag.SaveToFile(files_.native("b.mp3")));
    QCOMPARE(tagtest::afterTag(files_.read("b.mp3")), before.mid(oldSize));

    TagLib::MPEG::File file(files_.native("b.mp3").c_str());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    QVERIFY(v2 && file.hasID3v2Tag());
    QCOMPARE(int(v2->header()->majorVersion()), 3);
    QCOMPARE(qs(v2->title()), u"New Title"_s);
    QCOMPARE(qs(v2->artist()), u"歌手"_s);
    QCOMPARE(qs(v2->album()), u"New Album"_s);
    QCOMPARE(qs(v2->comment()), u"hello"_s);
    QCOMPARE(qs(v2->genre()), u"Jazz"_s);
    QCOMPARE(v2->year(), 1999u);
    QCOMPARE(v2->track(), 7u);
    QCOMPARE(pictureOf(v2), kPicture);
    QVERIFY(file.hasID3v1Tag());
    QCOMPARE(qs(file.ID3v1Tag()->title()), u"v1 title"_s);
}

void TagLibInteropTest::tagLibReadsUnicodeWeWrite()
{
    QFETCH(int, version);
    QFETCH(int, encoding);
    files_.write("u.mp3", silentMpegFrames(4));
    writeWithTagLib(files_.native("u.mp3"), version, TagLib::String::Type(encoding));
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("u.mp3")));
    tag.Title = unicode(u"童话"_s);
    tag.Comment = unicode(u"童话的评论"_s);
    QVERIFY(tag.SaveToFile(files_.native("u.mp3")));
    QCOMPARE(framesOf(files_.read("u.mp3")).first(),
             frame23("TIT2", "\x01" + utf16WithBom(u"童话"_s)));

    TagLib::MPEG::File file(files_.native("u.mp3").c_str());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    QVERIFY(v2 && file.hasID3v2Tag());
    QCOMPARE(int(v2->header()->majorVersion()), 3);
    QCOMPARE(qs(v2->title()), u"童话"_s);
    QCOMPARE(qs(v2->comment()), u"童话的评论"_s);
    QCOMPARE(qs(v2->artist()), u"歌手"_s);
    QCOMPARE(pictureOf(v2), kPicture);
}

void TagLibInteropTest::tagLibReadsV22FramesWeCarried()
{
    // TagLib writes no v2.2; these are the sort and compilation frames of iTunes.
    const QList<std::pair<const char*, const char*>> frames{
        {"TSP", "ARTISTSORT"},      {"TSA", "ALBUMSORT"},    {"TST", "TITLESORT"},
        {"TS2", "ALBUMARTISTSORT"}, {"TSC", "COMPOSERSORT"}, {"TCP", "COMPILATION"},
    };
    QByteArray tag = frame22("TT2", latin1("Title"));
    for (const auto& [id, key] : frames)
        tag += frame22(id, latin1(id + QByteArray(" value")));
    files_.write("c.mp3", id3v2Tag(2, tag, 16) + silentMpegFrames(4));
    TID3v2 ours;
    QVERIFY(ours.ReadFromFile(files_.native("c.mp3")));
    ours.Album = tags::unicodeText("Album");
    QVERIFY(ours.SaveToFile(files_.native("c.mp3")));

    TagLib::MPEG::File file(files_.native("c.mp3").c_str());
    QVERIFY(file.hasID3v2Tag());
    QCOMPARE(int(file.ID3v2Tag()->header()->majorVersion()), 3);
    const TagLib::PropertyMap properties = file.ID3v2Tag()->properties();
    QCOMPARE(qs(properties["TITLE"].toString()), u"Title"_s);
    QCOMPARE(qs(properties["ALBUM"].toString()), u"Album"_s);
    for (const auto& [id, key] : frames)
        QCOMPARE(qs(properties[key].toString()), QString::fromLatin1(id) + u" value"_s);
}

void TagLibInteropTest::tagLibReadsGenreFromV24_data()
{
    QTest::addColumn<QString>("written");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("encoding");
    QTest::newRow("name") << u"Électro"_s << u"Électro"_s << int(TagLib::String::UTF16);
    QTest::newRow("genre number") << u"17"_s << u"Rock"_s << int(TagLib::String::Latin1);
}

void TagLibInteropTest::tagLibReadsGenreFromV24()
{
    QFETCH(QString, written);
    QFETCH(QString, read);
    QFETCH(int, encoding);
    files_.write("g.mp3", silentMpegFrames(4));
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::UTF8);
    {
        TagLib::MPEG::File file(files_.native("g.mp3").c_str());
        file.ID3v2Tag(true)->setGenre(tl(written));
        file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v4);
    }
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::Latin1);
    TID3v2 ours;
    QVERIFY(ours.ReadFromFile(files_.native("g.mp3")));
    ours.Title = tags::unicodeText("T");
    QVERIFY(ours.SaveToFile(files_.native("g.mp3")));

    TagLib::MPEG::File file(files_.native("g.mp3").c_str());
    TagLib::ID3v2::Tag* v2 = file.ID3v2Tag();
    QCOMPARE(int(v2->header()->majorVersion()), 3);
    QCOMPARE(qs(v2->genre()), read);
    // TagLib reports the encoding it was told to default to, not the stored one.
    const QByteArray tcon = framesOf(files_.read("g.mp3")).at(5);
    QVERIFY(tcon.startsWith("TCON"));
    QCOMPARE(int(tcon.at(10)), encoding);
}

MP3T_TEST_GUILESS_MAIN(TagLibInteropTest)
#include "TagLibInteropTest.moc"
