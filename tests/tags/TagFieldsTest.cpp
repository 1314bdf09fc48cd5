#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/NumberPair.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/tpropertymap.h>
#include <taglib/unsynchronizedlyricsframe.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kAudio = silentMpegFrames(3);

TagLib::String tl(const QString& s)
{
    return TagLib::String(s.toStdString(), TagLib::String::UTF8);
}
QString qs(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// Lyrics data: encoding byte, language, description and text in that encoding.
QByteArray lyricsData(quint8 encoding, const QByteArray& language, const QString& description,
                      const QString& text)
{
    const auto encoded = [&](const QString& s) -> QByteArray {
        switch (encoding) {
        case 1:
            return utf16WithBom(s);
        case 2: {
            QByteArray be;
            for (const QChar c : s)
                be += char(c.unicode() >> 8), be += char(c.unicode() & 0xFF);
            return be;
        }
        case 3:
            return s.toUtf8();
        default:
            return s.toLatin1();
        }
    };
    const QByteArray terminator(encoding == 1 || encoding == 2 ? 2 : 1, '\0');
    return char(encoding) + language + encoded(description) + terminator + encoded(text);
}

} // namespace

class TagFieldsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void numberPairs_data();
    void numberPairs();
    void v1TrackByte_data();
    void v1TrackByte();
    void v1TrackReadByTagLib();
    void newFieldsRoundTrip_data();
    void newFieldsRoundTrip();
    void readsWhatTagLibWrites_data();
    void readsWhatTagLibWrites();
    void lyricsInEveryEncoding_data();
    void lyricsInEveryEncoding();
    void unchangedFieldsKeepTheirFrames();
    void changedTrackReplacesItsFrame();
    void emptiedFieldRemovesItsFrame();
    void changedLyricsReplaceTheShownFrame();

private:
    tagtest::Files files_;
};

void TagFieldsTest::numberPairs_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("number"); // 0: nullopt
    QTest::addColumn<int>("total");  // 0: none
    QTest::newRow("number") << u"7"_s << 7 << 0;
    QTest::newRow("with total") << u"7/12"_s << 7 << 12;
    QTest::newRow("leading zeros") << u"07/012"_s << 7 << 12;
    QTest::newRow("spaces") << u" 3 / 9 "_s << 3 << 9;
    QTest::newRow("empty") << u""_s << 0 << 0;
    QTest::newRow("blank") << u"  "_s << 0 << 0;
    QTest::newRow("zero") << u"0"_s << 0 << 0;
    QTest::newRow("zero total") << u"3/0"_s << 0 << 0;
    QTest::newRow("missing total") << u"3/"_s << 0 << 0;
    QTest::newRow("missing number") << u"/3"_s << 0 << 0;
    QTest::newRow("letters") << u"3a"_s << 0 << 0;
    QTest::newRow("sign") << u"-3"_s << 0 << 0;
    QTest::newRow("two slashes") << u"1/2/3"_s << 0 << 0;
    QTest::newRow("ten digits") << u"4294967296"_s << 0 << 0;
    QTest::newRow("nine digits") << u"999999999"_s << 999999999 << 0;
}

void TagFieldsTest::numberPairs()
{
    QFETCH(QString, text);
    QFETCH(int, number);
    QFETCH(int, total);
    const auto pair = tags::parseNumberPair(text.toStdString());
    QCOMPARE(pair.has_value(), number != 0);
    if (!pair)
        return;
    QCOMPARE(int(pair->number), number);
    QCOMPARE(pair->total.has_value(), total != 0);
    if (total)
        QCOMPARE(int(*pair->total), total);
    QCOMPARE(tags::parseNumberPair(tags::formatNumberPair(*pair)), pair);
}

void TagFieldsTest::v1TrackByte_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("track");
    QTest::newRow("one") << u"1"_s << 1;
    QTest::newRow("with total") << u"12/14"_s << 12;
    QTest::newRow("255") << u"255"_s << 255;
    QTest::newRow("256 is none") << u"256"_s << 0;
    QTest::newRow("garbage is none") << u"a"_s << 0;
}

void TagFieldsTest::v1TrackByte()
{
    QFETCH(QString, text);
    QFETCH(int, track);
    QCOMPARE(int(tags::id3v1TrackOf(text.toStdString())), track);
    files_.write("a.mp3", kAudio);
    TID3v1 tag;
    tag.SetComment(std::string(30, 'c'));
    tag.SetTrack(tags::id3v1TrackOf(text.toStdString()));
    QVERIFY(tag.SaveToFile(files_.native("a.mp3")));
    const QByteArray trailer = files_.read("a.mp3").right(128);
    if (track == 0) {
        QCOMPARE(trailer.mid(97, 30), QByteArray(30, 'c'));
    } else {
        QCOMPARE(trailer.mid(97, 28), QByteArray(28, 'c'));
        QCOMPARE(trailer.at(125), '\0');
        QCOMPARE(int(quint8(trailer.at(126))), track);
    }
    TID3v1 back;
    QVERIFY(back.ReadFromFile(files_.native("a.mp3")));
    QCOMPARE(int(back.Track()), track);
    QCOMPARE(int(back.VersionID()), track ? 2 : 1);
}

void TagFieldsTest::v1TrackReadByTagLib()
{
    files_.write("t.mp3", kAudio);
    TID3v1 tag;
    tag.SetTitle("t");
    tag.SetTrack(9);
    QVERIFY(tag.SaveToFile(files_.native("t.mp3")));
    {
        TagLib::MPEG::File file(files_.native("t.mp3").c_str());
        QVERIFY(file.hasID3v1Tag());
        QCOMPARE(file.ID3v1Tag()->track(), 9u);
        // And the other way round: TagLib's number read by us.
        file.ID3v1Tag()->setTrack(200);
        QVERIFY(file.save(TagLib::MPEG::File::ID3v1, TagLib::File::StripNone));
    }
    TID3v1 back;
    QVERIFY(back.ReadFromFile(files_.native("t.mp3")));
    QCOMPARE(int(back.Track()), 200);
}

void TagFieldsTest::newFieldsRoundTrip_data()
{
    QTest::addColumn<bool>("unicode");
    QTest::addColumn<bool>("hadTag");
    QTest::newRow("Chinese, new tag") << true << false;
    QTest::newRow("Chinese, over a tag") << true << true;
    QTest::newRow("legacy, over a tag") << false << true;
}

void TagFieldsTest::newFieldsRoundTrip()
{
    QFETCH(bool, unicode);
    QFETCH(bool, hadTag);
    const QByteArray old = id3v2Tag(3,
                                    frame23("TIT2", latin1("T")) + frame23("TPE2", latin1("x")) +
                                        frame23("USLT", lyricsData(0, "eng", {}, u"old"_s)),
                                    30);
    files_.write("r.mp3", (hadTag ? old : QByteArray()) + kAudio);
    const auto text = [&](const QString& s) {
        return unicode ? tagtest::unicode(s) : tags::legacyText(s.toLatin1().toStdString());
    };
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("r.mp3")));
    tag.Track = tags::legacyText("3/12");
    tag.Disc = tags::legacyText("1/2");
    tag.AlbumArtist = text(unicode ? u"群星"_s : u"Various"_s);
    tag.Composer = text(unicode ? u"作曲家"_s : u"Bach"_s);
    tag.Lyrics = text(unicode ? u"[00:01.00]第一行\n[00:02.00]第二行"_s : u"[00:01]la"_s);
    QVERIFY(tag.SaveToFile(files_.native("r.mp3")));

    TID3v2 back;
    QVERIFY(back.ReadFromFile(files_.native("r.mp3")));
    QCOMPARE(back.Track, tags::legacyText("3/12"));
    QCOMPARE(back.Disc, tags::legacyText("1/2"));
    QCOMPARE(back.AlbumArtist, tag.AlbumArtist);
    QCOMPARE(back.Composer, tag.Composer);
    QCOMPARE(back.Lyrics, tag.Lyrics);
    QCOMPARE(back.LyricsLanguage, hadTag ? std::string("eng") : std::string("XXX"));

    TagLib::MPEG::File file(files_.native("r.mp3").c_str());
    QVERIFY(file.hasID3v2Tag());
    const TagLib::PropertyMap p = file.ID3v2Tag()->properties();
    QCOMPARE(qs(p["TRACKNUMBER"].toString()), u"3/12"_s);
    QCOMPARE(qs(p["DISCNUMBER"].toString()), u"1/2"_s);
    QCOMPARE(qs(p["ALBUMARTIST"].toString()), QString::fromUtf8(tag.AlbumArtist.bytes));
    QCOMPARE(qs(p["COMPOSER"].toString()), QString::fromUtf8(tag.Composer.bytes));
    QCOMPARE(qs(p["LYRICS"].toString()), QString::fromUtf8(tag.Lyrics.bytes));
    QCOMPARE(file.ID3v2Tag()->frameListMap()["USLT"].size(), 1u);
}

void TagFieldsTest::readsWhatTagLibWrites_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("encoding");
    QTest::newRow("v2.3 UTF-16") << 3 << int(TagLib::String::UTF16);
    QTest::newRow("v2.4 UTF-8") << 4 << int(TagLib::String::UTF8);
    QTest::newRow("v2.4 UTF-16BE") << 4 << int(TagLib::String::UTF16BE);
}

void TagFieldsTest::readsWhatTagLibWrites()
{
    QFETCH(int, version);
    QFETCH(int, encoding);
    files_.write("w.mp3", kAudio);
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::Type(encoding));
    {
        TagLib::MPEG::File file(files_.native("w.mp3").c_str());
        TagLib::PropertyMap p;
        p["TITLE"] = tl(u"标题"_s);
        p["TRACKNUMBER"] = tl(u"5/10"_s);
        p["DISCNUMBER"] = tl(u"2"_s);
        p["ALBUMARTIST"] = tl(u"专辑歌手"_s);
        p["COMPOSER"] = tl(u"作曲者"_s);
        p["LYRICS"] = tl(u"歌词\n第二行"_s);
        file.ID3v2Tag(true)->setProperties(p);
        file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers,
                  version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4);
    }
    TagLib::ID3v2::FrameFactory::instance()->setDefaultTextEncoding(TagLib::String::Latin1);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("w.mp3")));
    QCOMPARE(tag.Track.bytes, std::string("5/10"));
    QCOMPARE(tag.Disc.bytes, std::string("2"));
    QCOMPARE(tag.AlbumArtist, unicode(u"专辑歌手"_s));
    QCOMPARE(tag.Composer, unicode(u"作曲者"_s));
    QCOMPARE(tag.Lyrics, unicode(u"歌词\n第二行"_s));
}

void TagFieldsTest::lyricsInEveryEncoding_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<int>("encoding");
    QTest::newRow("v2.3 ISO-8859-1") << 3 << 0;
    QTest::newRow("v2.3 UTF-16") << 3 << 1;
    QTest::newRow("v2.4 UTF-16BE") << 4 << 2;
    QTest::newRow("v2.4 UTF-8") << 4 << 3;
    QTest::newRow("v2.2 ULT UTF-16") << 2 << 1;
}

void TagFieldsTest::lyricsInEveryEncoding()
{
    QFETCH(int, version);
    QFETCH(int, encoding);
    const QString text = encoding == 0 ? u"[00:01]caf\u00e9"_s : u"[00:01]童话"_s;
    const QString description = encoding == 0 ? u"d"_s : u"描述"_s;
    // A described frame first: the one without a description is the lyrics.
    const QByteArray other = lyricsData(quint8(encoding), "chi", description, u"other"_s);
    const QByteArray shown = lyricsData(quint8(encoding), "zho", {}, text);
    const QByteArray frames = version == 2   ? frame22("ULT", other) + frame22("ULT", shown)
                              : version == 3 ? frame23("USLT", other) + frame23("USLT", shown)
                                             : frame24("USLT", other) + frame24("USLT", shown);
    files_.write("l.mp3", id3v2Tag(version, frames, 10) + kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("l.mp3")));
    const tags::Text expected =
        encoding == 0 ? tags::legacyText(text.toLatin1().toStdString()) : unicode(text);
    QCOMPARE(tag.Lyrics, expected);
    QCOMPARE(tag.LyricsLanguage, std::string("zho"));
    QVERIFY(tag.LyricsDescription.empty());

    // Saved unchanged, both frames stay and still read the same.
    tag.Title = tags::legacyText("t");
    QVERIFY(tag.SaveToFile(files_.native("l.mp3")));
    TID3v2 back;
    QVERIFY(back.ReadFromFile(files_.native("l.mp3")));
    QCOMPARE(back.Lyrics, expected);
    TagLib::MPEG::File file(files_.native("l.mp3").c_str());
    QCOMPARE(file.ID3v2Tag()->frameListMap()["USLT"].size(), 2u);
}

void TagFieldsTest::unchangedFieldsKeepTheirFrames()
{
    const QList<QByteArray> frames{
        frame23("TIT2", latin1("Title")),
        frame23("TPE1", latin1("Artist")),
        frame23("TALB", latin1("Album")),
        frame23("TRCK", latin1("05")),
        frame23("TYER", latin1("2001")),
        frame23("TCON", latin1("Rock")),
        frame23("COMM", commentData("", "c")),
        frame23("TCOM", textData(1, utf16WithBom(u"作曲"_s))),
        frame23("TPOS", latin1("1/2")),
        frame23("APIC", QByteArray("\0image/png\0\x03\0png", 16)),
        frame23("TPE2", latin1("AA")),
        frame23("USLT", lyricsData(1, "XXX", {}, u"词"_s)),
    };
    QByteArray all;
    for (const QByteArray& f : frames)
        all += f;
    const QByteArray file = id3v2Tag(3, all, 50) + kAudio;
    files_.write("u.mp3", file);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("u.mp3")));
    QVERIFY(tag.SaveToFile(files_.native("u.mp3")));
    QCOMPARE(files_.read("u.mp3"), file);
}

void TagFieldsTest::changedTrackReplacesItsFrame()
{
    const QByteArray other = frame23("PRIV", QByteArray("o\0\x01", 3));
    files_.write(
        "t.mp3",
        id3v2Tag(3, frame23("TIT2", latin1("T")) + other + frame23("TRCK", latin1("3")), 40) +
            kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("t.mp3")));
    tag.Track = tags::legacyText("4/12");
    QVERIFY(tag.SaveToFile(files_.native("t.mp3")));
    const QList<QByteArray> saved = framesOf(files_.read("t.mp3"));
    QCOMPARE(saved.at(3), frame23("TRCK", latin1("4/12")));
    QCOMPARE(saved.count(frame23("TRCK", latin1("3"))), 0);
    QCOMPARE(saved.last(), other);
}

void TagFieldsTest::emptiedFieldRemovesItsFrame()
{
    const QByteArray other = frame23("PRIV", QByteArray("o\0\x01", 3));
    files_.write("e.mp3",
                 id3v2Tag(3,
                          frame23("TPE2", latin1("AA")) + other + frame23("TCOM", latin1("C")) +
                              frame23("USLT", lyricsData(0, "eng", {}, u"l"_s)),
                          40) +
                     kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("e.mp3")));
    tag.AlbumArtist = {};
    tag.Lyrics = {};
    QVERIFY(tag.SaveToFile(files_.native("e.mp3")));
    const QList<QByteArray> saved = framesOf(files_.read("e.mp3"));
    // The seven frames every tag has, then the others as they were.
    QCOMPARE(saved.size(), 9);
    QCOMPARE(saved.at(7), other);
    QCOMPARE(saved.at(8), frame23("TCOM", latin1("C")));
    TID3v2 back;
    QVERIFY(back.ReadFromFile(files_.native("e.mp3")));
    QVERIFY(back.AlbumArtist.empty());
    QVERIFY(back.Lyrics.empty());
    QCOMPARE(back.Composer, tags::legacyText("C"));
}

void TagFieldsTest::changedLyricsReplaceTheShownFrame()
{
    const QByteArray described = frame23("USLT", lyricsData(0, "eng", u"karaoke"_s, u"k"_s));
    files_.write("c.mp3", id3v2Tag(3, described, 40) + kAudio);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("c.mp3")));
    QCOMPARE(tag.Lyrics, tags::legacyText("k"));
    QCOMPARE(tag.LyricsDescription, tags::legacyText("karaoke"));
    tag.Lyrics = unicode(u"新词"_s);
    QVERIFY(tag.SaveToFile(files_.native("c.mp3")));
    const QList<QByteArray> saved = framesOf(files_.read("c.mp3"));
    QCOMPARE(saved.size(), 8);
    QCOMPARE(saved.at(7), frame23("USLT", "\x01"
                                          "eng" +
                                              utf16WithBom(u"karaoke"_s) + QByteArray(2, '\0') +
                                              utf16WithBom(u"新词"_s)));
    TID3v2 back;
    QVERIFY(back.ReadFromFile(files_.native("c.mp3")));
    QCOMPARE(back.Lyrics, unicode(u"新词"_s));
}

MP3T_TEST_GUILESS_MAIN(TagFieldsTest)
#include "TagFieldsTest.moc"
