// The fields beyond the list's six, and frames by their IDs, written through
// the batch change and read back by the priority, with TagLib reading what we
// write as an independent reader.

#include "operations/FrameFields.h"
#include "operations/TagEditing.h"
#include "operations/TagWrites.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <taglib/commentsframe.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

using namespace Qt::StringLiterals;
using namespace testsupport;
using operations::Field;
using operations::Priority;

namespace {

QString qs(const TagLib::String& s)
{
    return QString::fromStdString(s.to8Bit(true));
}

// The text of the first frame of the ID, as TagLib reads it.
QString tagLibText(const QString& path, const char* id)
{
    TagLib::MPEG::File file(nativePath(path).c_str());
    TagLib::ID3v2::Tag* tag = file.ID3v2Tag(false);
    if (!tag)
        return u"<no tag>"_s;
    const TagLib::ID3v2::FrameList frames = tag->frameListMap()[id];
    return frames.isEmpty() ? u"<none>"_s : qs(frames.front()->toString());
}

int tagLibV1Track(const QString& path)
{
    TagLib::MPEG::File file(nativePath(path).c_str());
    TagLib::ID3v1::Tag* tag = file.ID3v1Tag(false);
    return tag ? int(tag->track()) : -1;
}

QByteArray kFile()
{
    return id3v2Tag(3, frame23("TIT2", textData(0, "Song")) + frame23("TPE1", textData(0, "Band")),
                    32) +
           silentMpegFrames() + id3v1Trailer("Song", "Band", "Album", "2004", "a comment");
}

QByteArray big5(const QString& text)
{
    QStringEncoder encode("Big5");
    return encode(text);
}

} // namespace

class FieldEditingTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    TID3v1 v1_;
    TID3v2 v2_;

    QString add(const QString& name, const QByteArray& bytes)
    {
        writeBytes(dir_.filePath(name), bytes);
        return dir_.filePath(name);
    }
    bool change(const QString& path, const operations::FieldValues& values,
                Priority priority = Priority::PreferV2, const operations::TextRules& rules = {})
    {
        const auto prepared = operations::changeFields(v1_, v2_, priority, path, values, rules);
        if (!prepared.change)
            qWarning("no change: %s", qPrintable(prepared.reason));
        return prepared.change &&
               operations::writeOne(nullptr, operations::StepKind::FieldChange, *prepared.change)
                   .succeeded;
    }

private Q_SLOTS:
    // Each field goes into its frame, TagLib reads it there, and the list
    // reads it back by the priority.
    void newFieldsWrittenAndReadBack()
    {
        const QString path = add(u"a.mp3"_s, kFile());
        operations::FieldValues values;
        values.track = u" 3/12 "_s;
        values.disc = u"1/2"_s;
        values.albumArtist = u"群星"_s;
        values.composer = u"周杰伦"_s;
        values.lyrics = u"[00:01.00]窗外的麻雀\n[00:05.00]在电线杆上多嘴"_s;
        values.year = u"2005"_s;
        values.comment = u"评论"_s;
        QVERIFY(change(path, values));

        QCOMPARE(tagLibText(path, "TRCK"), u"3/12"_s);
        QCOMPARE(tagLibText(path, "TPOS"), u"1/2"_s);
        QCOMPARE(tagLibText(path, "TPE2"), u"群星"_s);
        QCOMPARE(tagLibText(path, "TCOM"), u"周杰伦"_s);
        // TagLib reads a version 2.3 year as "TDRC".
        QCOMPARE(tagLibText(path, "TDRC"), u"2005"_s);
        QCOMPARE(tagLibText(path, "TIT2"), u"Song"_s);
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            const auto frames = file.ID3v2Tag()->frameListMap()["USLT"];
            QCOMPARE(frames.size(), 1u);
            const auto* uslt =
                dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frames.front());
            QVERIFY(uslt);
            QCOMPARE(qs(uslt->text()), *values.lyrics);
            QCOMPARE(qs(file.ID3v2Tag()->comment()), u"评论"_s);
        }
        QCOMPARE(tagLibV1Track(path), 3);

        const auto shown = operations::readShownTags(v1_, v2_, Priority::PreferV2, path);
        QCOMPARE(shown.value(Field::Track), u"3/12"_s);
        QCOMPARE(shown.value(Field::Disc), u"1/2"_s);
        QCOMPARE(shown.value(Field::AlbumArtist), u"群星"_s);
        QCOMPARE(shown.value(Field::Composer), u"周杰伦"_s);
        QCOMPARE(shown.value(Field::Lyrics), *values.lyrics);
        QCOMPARE(shown.value(Field::Year), u"2005"_s);
        QCOMPARE(shown.value(Field::Title), u"Song"_s);

        // ID3v1 holds the track alone of these.
        const auto v1 = operations::readShownTags(v1_, v2_, Priority::V1Only, path);
        QCOMPARE(v1.value(Field::Track), u"3"_s);
        QCOMPARE(v1.value(Field::Disc), QString());
        QCOMPARE(v1.value(Field::AlbumArtist), QString());
        QCOMPARE(v1.value(Field::Year), u"2005"_s);
    }

    // The track byte of ID3v1.1: set for 1..255, cleared for anything else,
    // and only where ID3v1 is written.
    void v1TrackByte()
    {
        const QString path = add(u"b.mp3"_s, kFile());
        const auto byte126 = [&] {
            return quint8(readBytes(path).right(2).at(0));
        };
        const auto setTrack = [&](const QString& track, Priority priority) {
            operations::FieldValues values;
            values.track = track;
            return change(path, values, priority);
        };
        QVERIFY(setTrack(u"7/12"_s, Priority::PreferV2));
        QCOMPARE(byte126(), quint8(7));
        QCOMPARE(readBytes(path).right(3).at(0), '\0'); // version 1.1
        QCOMPARE(tagLibV1Track(path), 7);
        QVERIFY(setTrack(u"300"_s, Priority::PreferV2));
        QCOMPARE(byte126(), quint8(0));
        QCOMPARE(tagLibText(path, "TRCK"), u"300"_s);
        QVERIFY(setTrack(u"9"_s, Priority::V1Only));
        QCOMPARE(byte126(), quint8(9));
        QCOMPARE(tagLibText(path, "TRCK"), u"300"_s);
        QVERIFY(setTrack(u""_s, Priority::V1Only));
        QCOMPARE(byte126(), quint8(0));
        QVERIFY(setTrack(u"4"_s, Priority::V2Only));
        QCOMPARE(byte126(), quint8(0));
        QCOMPARE(tagLibText(path, "TRCK"), u"4"_s);

        // A new ID3v1 tag made for another field takes ID3v2's track.
        const QString fresh =
            add(u"c.mp3"_s, id3v2Tag(3, frame23("TRCK", textData(0, "5/9"))) + silentMpegFrames());
        operations::FieldValues title;
        title.title = u"x"_s;
        QVERIFY(change(fresh, title));
        QCOMPARE(tagLibV1Track(fresh), 5);
    }

    // The GBK profile writes the new fields as GBK bytes; the Unicode one
    // turns a legacy Big5 album artist into Unicode when another field is set,
    // so that it reads the same afterwards.
    void encodingsOfTheNewFields()
    {
        const QString path = add(u"d.mp3"_s, kFile());
        operations::FieldValues values;
        values.composer = u"作曲家"_s;
        QVERIFY(change(path, values, Priority::V2Only, {operations::WriteEncoding::Gbk}));
        QVERIFY(readBytes(path).contains("TCOM"_ba));
        QVERIFY(readBytes(path).contains(textData(0, gbk(u"作曲家"_s))));

        const QString legacy =
            add(u"e.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, big5(u"月亮代表我的心"_s))) +
                                            frame23("TPE2", textData(0, big5(u"鄧麗君"_s)))) +
                                silentMpegFrames());
        operations::FieldValues disc;
        disc.disc = u"2"_s;
        QVERIFY(change(legacy, disc, Priority::V2Only));
        QCOMPARE(tagLibText(legacy, "TPE2"), u"鄧麗君"_s);
        QCOMPARE(tagLibText(legacy, "TPOS"), u"2"_s);
        const auto shown = operations::readShownTags(v1_, v2_, Priority::V2Only, legacy);
        QCOMPARE(shown.value(Field::AlbumArtist), u"鄧麗君"_s);

        // The same for a save of the property page.
        const QString page =
            add(u"e2.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, big5(u"月亮代表我的心"_s))) +
                                             frame23("TCOM", textData(0, big5(u"翁清溪"_s)))) +
                                 silentMpegFrames());
        operations::PropertyValues values2;
        values2.title = u"新"_s;
        QVERIFY(operations::saveProperties(v1_, v2_, Priority::V2Only, page, values2).succeeded);
        QCOMPARE(tagLibText(page, "TCOM"), u"翁清溪"_s);
    }

    // Frames by ID: set, replaced, removed, every other frame kept as it was.
    void framesByTheirIds()
    {
        const QByteArray unknown = frame23("XYZW", "\x01\x02\x03"_ba);
        const QString path =
            add(u"f.mp3"_s, id3v2Tag(3,
                                     frame23("TIT2", textData(0, "Song")) + unknown +
                                         frame23("TXXX", textData(0, "mood"_ba + '\0' + "calm")),
                                     64) +
                                silentMpegFrames());
        operations::FieldValues values;
        values.frames = {{u"TXXX:描述"_s, u"文字"_s},
                         {u"WOAR"_s, u"https://example.org/a"_s},
                         {u"TXXX:mood"_s, u""_s},
                         {u"TPE4"_s, u"混音者"_s}};
        QVERIFY(change(path, values, Priority::V2Only));
        QVERIFY(readBytes(path).contains(unknown));
        {
            TagLib::MPEG::File file(nativePath(path).c_str());
            TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
            auto* txxx = TagLib::ID3v2::UserTextIdentificationFrame::find(
                tag, TagLib::String("描述", TagLib::String::UTF8));
            QVERIFY(txxx);
            QCOMPARE(qs(txxx->fieldList().back()), u"文字"_s);
            QVERIFY(!TagLib::ID3v2::UserTextIdentificationFrame::find(tag, "mood"));
            const auto woar = tag->frameListMap()["WOAR"];
            QCOMPARE(woar.size(), 1u);
            QCOMPARE(qs(woar.front()->toString()), u"https://example.org/a"_s);
        }
        QCOMPARE(tagLibText(path, "TPE4"), u"混音者"_s);
        QCOMPARE(tagLibText(path, "TIT2"), u"Song"_s);

        const auto rows = operations::readTagRows(v1_, v2_, path);
        QVERIFY(rows);
        QCOMPARE(operations::frameText(*rows, *operations::frameKeyOf(u"TXXX:描述")), u"文字"_s);
        QCOMPARE(operations::frameText(*rows, *operations::frameKeyOf(u"WOAR")),
                 u"https://example.org/a"_s);

        // A value a frame cannot hold fails the file, which stays as it was.
        const QByteArray before = readBytes(path);
        operations::FieldValues bad;
        bad.frames = {{u"WOAR"_s, u"网址"_s}};
        QVERIFY(!operations::changeFields(v1_, v2_, Priority::V2Only, path, bad).change);
        QCOMPARE(readBytes(path), before);
    }

    // Lyrics imported replace the frame without a description, in language
    // "XXX"; another lyrics frame stays.
    void importedLyricsFrame()
    {
        const QByteArray other = frame23("USLT", "\x00"
                                                 "engkaraoke\x00sing"_ba);
        const QString path = add(u"g.mp3"_s, id3v2Tag(3, other + frame23("USLT", "\x00"
                                                                                 "chi\x00old"_ba)) +
                                                 silentMpegFrames());
        operations::FieldValues values;
        values.lyrics = u"[00:01]新"_s;
        values.lyricsAsImported = true;
        QVERIFY(change(path, values, Priority::V2Only));
        QVERIFY(readBytes(path).contains(other));
        TagLib::MPEG::File file(nativePath(path).c_str());
        const auto frames = file.ID3v2Tag()->frameListMap()["USLT"];
        QCOMPARE(frames.size(), 2u);
        const auto* lyrics = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frames.back());
        QVERIFY(lyrics);
        QCOMPARE(QByteArray(lyrics->language().data(), 3), "XXX"_ba);
        QCOMPARE(qs(lyrics->description()), QString());
        QCOMPARE(qs(lyrics->text()), u"[00:01]新"_s);
    }

    // Every frame as a row: the one we cannot show with its bytes, the
    // ID3v1 fields and the APEv2 items as rows of their own.
    void rowsOfEveryTag()
    {
        const auto le32 = [](quint32 v) {
            QByteArray b(4, '\0');
            for (int i = 0; i < 4; ++i)
                b[i] = char((v >> (8 * i)) & 0xFF);
            return b;
        };
        const QByteArray item = le32(8) + le32(0) + "REPLAYGAIN_TRACK_GAIN" + '\0' + "-6.20 dB";
        const QByteArray ape = item + "APETAGEX" + le32(2000) + le32(quint32(item.size() + 32)) +
                               le32(1) + le32(0) + QByteArray(8, '\0');
        const QString path =
            add(u"h.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, gbk(u"晴天"_s))) +
                                            frame23("XYZW", "\x01\x02\xFE"_ba)) +
                                silentMpegFrames() + ape +
                                id3v1Trailer(gbk(u"晴天"_s), {}, {}, {}, {}, 4));
        const auto rows = operations::readTagRows(v1_, v2_, path);
        QVERIFY(rows);
        QCOMPARE(rows->size(), std::size_t(5));
        QCOMPARE((*rows)[0].id, u"TIT2"_s);
        QCOMPARE((*rows)[0].text, u"晴天"_s);
        QCOMPARE((*rows)[1].id, u"XYZW"_s);
        QVERIFY(!(*rows)[1].shown);
        QCOMPARE((*rows)[1].data, "\x01\x02\xFE"_ba);
        QCOMPARE((*rows)[2].tag, u"ID3v1"_s);
        QCOMPARE((*rows)[2].text, u"晴天"_s);
        QCOMPARE((*rows)[3].id, u"track"_s);
        QCOMPARE((*rows)[3].text, u"4"_s);
        QCOMPARE((*rows)[4].tag, u"APEv2"_s);
        QCOMPARE((*rows)[4].id, u"REPLAYGAIN_TRACK_GAIN"_s);
        QCOMPARE((*rows)[4].text, u"-6.20 dB"_s);
    }
};

MP3T_TEST_GUILESS_MAIN(FieldEditingTest)
#include "FieldEditingTest.moc"
