// What the window's tag commands do to one file: which versions a save
// writes, what the batch change and the copies keep and set.

#include "operations/CoverEditing.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "operations/TagWrites.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <array>
#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace testsupport;
using operations::CopyDirection;

namespace {

struct Read {
    TID3v1 v1;
    TID3v2 v2;
    explicit Read(const QString& path)
    {
        v1.ReadFromFile(nativePath(path));
        v2.ReadFromFile(nativePath(path));
    }
};

QByteArray big5(const QString& text)
{
    QStringEncoder encoder("Big5");
    return encoder.encode(text);
}

QByteArray v2Tag(const QByteArray& title, const QByteArray& genre = {})
{
    QByteArray frames = frame23("TIT2", textData(0, title));
    if (!genre.isEmpty())
        frames += frame23("TCON", textData(0, genre));
    return id3v2Tag(3, frames, 16);
}

} // namespace

// Writes a batch's change of one file as the window does, without a journal.
bool written(const operations::FieldChange& prepared)
{
    return prepared.change &&
           operations::writeOne(nullptr, operations::StepKind::FieldChange, *prepared.change)
               .succeeded;
}

class TagOperationsTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    TID3v1 v1_;
    TID3v2 v2_;

    QString file(const QString& name, const QByteArray& bytes)
    {
        const QString path = dir_.filePath(name);
        writeBytes(path, bytes);
        return path;
    }

private Q_SLOTS:
    // ID3v2 gets Unicode, or GBK bytes in the GBK profile; ID3v1 of a file
    // without legacy texts the preferred code page, GBK.
    void saveWritesTheVersionsOfThePriority_data()
    {
        QTest::addColumn<int>("showId");
        QTest::addColumn<bool>("gbkProfile");
        QTest::addColumn<bool>("v1Written");
        QTest::addColumn<bool>("v2Written");
        QTest::newRow("ID3v1 only") << 0 << false << true << false;
        QTest::newRow("ID3v2 only") << 1 << false << false << true;
        QTest::newRow("prefer ID3v2") << 2 << false << true << true;
        QTest::newRow("prefer ID3v2, GBK profile") << 2 << true << true << true;
    }
    void saveWritesTheVersionsOfThePriority()
    {
        QFETCH(int, showId);
        QFETCH(bool, gbkProfile);
        QFETCH(bool, v1Written);
        QFETCH(bool, v2Written);
        const QString path = file(u"a.mp3"_s, silentMpegFrames());
        operations::PropertyValues page;
        page.title = u"第一首"_s;
        page.genreText = u"Rock"_s;
        page.genreIndex = 17;
        operations::TextRules rules;
        rules.encoding =
            gbkProfile ? operations::WriteEncoding::Gbk : operations::WriteEncoding::Unicode;
        operations::saveProperties(v1_, v2_, *operations::priorityOf(showId), path, page, rules);
        const Read read(path);
        QCOMPARE(read.v1.Exists(), v1Written);
        QCOMPARE(read.v2.Exists(), v2Written);
        if (v1Written) {
            QCOMPARE(read.v1.Title(), gbk(u"第一首"_s).toStdString());
            QCOMPARE(read.v1.GenreID(), 17);
        }
        if (v2Written) {
            QCOMPARE(read.v2.Title, gbkProfile ? tags::legacyText(gbk(u"第一首"_s).toStdString())
                                               : tags::unicodeText("第一首"));
            // Pure ASCII keeps encoding byte 0 in both.
            QVERIFY(readBytes(path).contains(frame23("TCON", textData(0, "Rock"))));
        }
    }

    // The page shows no track number: saving keeps the file's own, even when
    // the tag object last held another file.
    void saveKeepsTheFilesTrackNumber()
    {
        const QString other =
            file(u"other.mp3"_s, silentMpegFrames() + id3v1Trailer("x", {}, {}, {}, {}, 9));
        const QString path = file(u"b.mp3"_s, v2Tag("B") + silentMpegFrames() +
                                                  id3v1Trailer("b", {}, {}, {}, {}, 3));
        v1_.ReadFromFile(nativePath(other));
        operations::PropertyValues page;
        page.title = u"New"_s;
        page.genreText = u"Not a genre"_s;
        operations::saveProperties(v1_, v2_, operations::Priority::PreferV2, path, page);
        const Read read(path);
        QCOMPARE(read.v1.Track(), 3);
        QCOMPARE(read.v1.GenreID(), 255);
        QCOMPARE(read.v2.Genre.bytes, std::string("Not a genre"));
    }

    void longTitleWholeInV2CutInV1()
    {
        const QString path = file(u"c.mp3"_s, silentMpegFrames());
        operations::PropertyValues page;
        page.title = QString(40, u'x');
        operations::saveProperties(v1_, v2_, operations::Priority::PreferV2, path, page);
        const Read read(path);
        QCOMPARE(read.v2.Title.bytes, std::string(40, 'x'));
        QCOMPARE(read.v1.Title(), std::string(30, 'x'));
    }

    void changeFieldsSetsOnlyWhatIsGiven()
    {
        const QString path =
            file(u"d.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, "Old")) +
                                             frame23("TPE1", textData(0, "Band"))) +
                                 silentMpegFrames());
        operations::FieldValues values;
        values.album = u"专辑"_s;
        const auto outcome =
            operations::changeFields(v1_, v2_, operations::Priority::V2Only, path, values);
        QVERIFY(outcome.written && written(outcome));
        const Read read(path);
        QCOMPARE(read.v2.Title.bytes, std::string("Old"));
        QCOMPARE(read.v2.Artist.bytes, std::string("Band"));
        QCOMPARE(read.v2.Album, tags::unicodeText("专辑"));
        QVERIFY(!read.v1.Exists());
    }

    void changeFieldsWithNothingSetWritesNothing()
    {
        const QByteArray bytes = silentMpegFrames();
        const QString path = file(u"e.mp3"_s, bytes);
        const auto outcome =
            operations::changeFields(v1_, v2_, operations::Priority::PreferV2, path, {});
        QVERIFY(!outcome.written);
        QCOMPARE(readBytes(path), bytes);
    }

    // Both versions go in one write: in a folder the program may not write
    // into, the ID3v2 rewrite (which needs a new file beside the old one)
    // fails, and the ID3v1 trailer is not written either.
    void preferV2FailsWhenTheV2WriteFails()
    {
        QDir(dir_.path()).mkdir(u"locked"_s);
        const QString folder = dir_.filePath(u"locked"_s);
        const QString path = folder + u"/f.mp3"_s;
        writeBytes(path, silentMpegFrames() + id3v1Trailer("old"));
        ::chmod(QFile::encodeName(folder).constData(), 0555);
        operations::FieldValues values;
        values.title = u"new"_s;
        const auto outcome =
            operations::changeFields(v1_, v2_, operations::Priority::PreferV2, path, values);
        const bool succeeded = written(outcome);
        ::chmod(QFile::encodeName(folder).constData(), 0755);
        QVERIFY(outcome.written);
        QVERIFY(!succeeded);
        const Read read(path);
        QCOMPARE(read.v1.Title(), std::string("old"));
        QVERIFY(!read.v2.Exists());
    }

    void titleFromFileName_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("title");
        QTest::newRow("Chinese") << u"第一首.mp3"_s << u"第一首"_s;
        QTest::newRow("dots inside") << u"a.b.mp3"_s << u"a.b"_s;
        QTest::newRow("capitals") << u"Song.MP3"_s << u"Song"_s;
        QTest::newRow("shorter than an extension") << u"ab"_s << QString();
    }
    void titleFromFileName()
    {
        QFETCH(QString, caption);
        QFETCH(QString, title);
        QCOMPARE(operations::titleFromFileName(caption), title);
    }

    void copyKeepsOrOverwritesTheTarget_data()
    {
        QTest::addColumn<bool>("toV2");
        QTest::addColumn<bool>("overwrite");
        QTest::addColumn<bool>("succeeded");
        QTest::addColumn<QString>("message");
        QTest::newRow("v1 to v2, keep")
            << true << false << false << u"由于ID3v2已经存在,取消复制."_s;
        QTest::newRow("v1 to v2, overwrite")
            << true << true << true << u"将ID3v1复制到ID3v2成功."_s;
        QTest::newRow("v2 to v1, keep")
            << false << false << false << u"由于ID3v1已经存在,取消复制."_s;
        QTest::newRow("v2 to v1, overwrite")
            << false << true << true << u"将ID3v2复制到ID3v1成功."_s;
    }
    void copyKeepsOrOverwritesTheTarget()
    {
        QFETCH(bool, toV2);
        QFETCH(bool, overwrite);
        QFETCH(bool, succeeded);
        QFETCH(QString, message);
        const QByteArray bytes = v2Tag("Two") + silentMpegFrames() + id3v1Trailer("One");
        const QString path = file(u"g.mp3"_s, bytes);
        const auto outcome = operations::copyTag(
            v1_, v2_, toV2 ? CopyDirection::V1ToV2 : CopyDirection::V2ToV1, overwrite, path);
        QCOMPARE(outcome.succeeded, succeeded);
        QCOMPARE(outcome.message, message);
        const Read read(path);
        const std::string expected = overwrite ? (toV2 ? "One" : "Two") : "";
        if (!overwrite)
            QCOMPARE(readBytes(path), bytes);
        else if (toV2)
            QCOMPARE(read.v2.Title.bytes, expected);
        else
            QCOMPARE(read.v1.Title(), expected);
    }

    void copyWithoutSourceTagLeavesTheFile()
    {
        const QByteArray bytes = silentMpegFrames();
        const QString path = file(u"h.mp3"_s, bytes);
        for (const auto direction : {CopyDirection::V1ToV2, CopyDirection::V2ToV1}) {
            const auto outcome = operations::copyTag(v1_, v2_, direction, true, path);
            QVERIFY(!outcome.succeeded);
            QVERIFY(outcome.message.isEmpty());
        }
        QCOMPARE(readBytes(path), bytes);
    }

    void copyGenres_data()
    {
        QTest::addColumn<QByteArray>("v2Genre");
        QTest::addColumn<int>("v1Genre");
        QTest::newRow("a name") << QByteArray("Rock") << 17;
        QTest::newRow("another letter case") << QByteArray("rOCK") << 17;
        QTest::newRow("a trailing blank inside the frame is trimmed") << QByteArray("Pop ") << 13;
        QTest::newRow("not a name") << QByteArray("Rocks") << 255;
        QTest::newRow("none") << QByteArray() << 255;
    }
    void copyGenres()
    {
        QFETCH(QByteArray, v2Genre);
        QFETCH(int, v1Genre);
        const QString path = file(u"i.mp3"_s, v2Tag("T", v2Genre) + silentMpegFrames());
        operations::copyTag(v1_, v2_, CopyDirection::V2ToV1, true, path);
        QCOMPARE(int(Read(path).v1.GenreID()), v1Genre);
    }

    void copyToV1KeepsTrackCutsTitleAndYear()
    {
        const QByteArray tag = id3v2Tag(3, frame23("TIT2", textData(0, QByteArray(40, 't'))) +
                                               frame23("TYER", textData(0, "19999")));
        const QString path =
            file(u"j.mp3"_s, tag + silentMpegFrames() + id3v1Trailer("old", {}, {}, {}, {}, 7, 3));
        QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V2ToV1, true, path).succeeded);
        const Read read(path);
        QCOMPARE(read.v1.Track(), 7);
        QCOMPARE(read.v1.Title(), std::string(30, 't'));
        QCOMPARE(read.v1.Year(), std::string("1999"));
        QCOMPARE(read.v1.GenreID(), 255);
    }

    // A field the command leaves as the file shows it keeps its Unicode
    // frame; a changed one is written as the rules say (Unicode by default).
    void unicodeFieldsLeftAsShownKeepTheirFrames_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("saving the page") << 0;
        QTest::newRow("the batch change") << 1;
        QTest::newRow("copying ID3v1 to ID3v2") << 2;
    }
    void unicodeFieldsLeftAsShownKeepTheirFrames()
    {
        QFETCH(int, command);
        const QByteArray title = frame23("TIT2", textData(1, utf16WithBom(u"标题"_s)));
        const QString path = file(u"m.mp3"_s, id3v2Tag(3, title, 16) + silentMpegFrames() +
                                                  id3v1Trailer(gbk(u"标题"_s), {}, gbk(u"专辑"_s)));
        if (command == 0) {
            operations::PropertyValues page;
            page.title = u"标题"_s;
            page.album = u"专辑"_s;
            QVERIFY(operations::saveProperties(v1_, v2_, operations::Priority::V2Only, path, page)
                        .succeeded);
        } else if (command == 1) {
            operations::FieldValues values;
            values.title = u"标题"_s;
            values.album = u"专辑"_s;
            QVERIFY(written(
                operations::changeFields(v1_, v2_, operations::Priority::V2Only, path, values)));
        } else {
            QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V1ToV2, true, path).succeeded);
        }
        QVERIFY(readBytes(path).contains(title));
        const Read read(path);
        QCOMPARE(read.v2.Album, tags::unicodeText("专辑"));
    }

    // Each file's legacy texts are read in its own code page: a Big5 file's
    // frames become Unicode, the untouched one as it was shown, its ID3v1
    // text goes to ID3v2 as the text it is, and ID3v1 stays Big5.
    void legacyTextsAreReadInTheFilesCodePage()
    {
        const QByteArray title = frame23("TIT2", textData(0, big5(u"月亮代表我的心"_s)));
        const QByteArray tag = id3v2Tag(3, title + frame23("TPE1", textData(0, big5(u"鄧麗君"_s))));
        const QString path =
            file(u"o.mp3"_s, tag + silentMpegFrames() +
                                 id3v1Trailer(big5(u"甜蜜蜜"_s), {}, big5(u"淡淡幽情"_s)));
        const auto shown =
            operations::readShownTags(v1_, v2_, operations::Priority::PreferV2, path);
        QCOMPARE(shown.fields[0], u"月亮代表我的心"_s);
        QCOMPARE(shown.fields[1], u"鄧麗君"_s);
        operations::PropertyValues page;
        page.title = u"月亮代表我的心"_s;
        page.artist = u"邓丽君"_s;
        page.album = u"淡淡幽情"_s; // as ID3v1 has it
        QVERIFY(operations::saveProperties(v1_, v2_, operations::Priority::PreferV2, path, page)
                    .succeeded);
        const Read read(path);
        QCOMPARE(read.v2.Title, tags::unicodeText("月亮代表我的心"));
        QCOMPARE(read.v2.Artist, tags::unicodeText("邓丽君"));
        QCOMPARE(read.v2.Album, tags::unicodeText("淡淡幽情"));
        // ID3v1 keeps its code page: the fields the page left alone keep
        // their bytes, and a typed one lacking there is folded.
        QCOMPARE(read.v1.Title(), big5(u"月亮代表我的心"_s).toStdString());
        QCOMPARE(read.v1.Album(), big5(u"淡淡幽情"_s).toStdString());
        QCOMPARE(read.v1.Artist(), big5(u"??君"_s).toStdString());

        const QString v1Only =
            file(u"p.mp3"_s, silentMpegFrames() + id3v1Trailer(big5(u"甜蜜蜜"_s), big5(u"鄧麗君"_s),
                                                               big5(u"淡淡幽情"_s)));
        QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V1ToV2, true, v1Only).succeeded);
        QCOMPARE(Read(v1Only).v2.Title, tags::unicodeText("甜蜜蜜"));
        QCOMPARE(Read(v1Only).v2.Artist, tags::unicodeText("鄧麗君"));
    }

    void copyToV1GivesUnicodeInTheCodePage()
    {
        const QString path =
            file(u"n.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(u"标题"_s)))) +
                                 silentMpegFrames());
        QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V2ToV1, true, path).succeeded);
        QCOMPARE(Read(path).v1.Title(), gbk(u"标题"_s).toStdString());
    }

    void copyToV2GivesTheGenreName()
    {
        const QString path =
            file(u"k.mp3"_s, silentMpegFrames() + id3v1Trailer("t", {}, {}, {}, {}, 4, 147));
        QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V1ToV2, false, path).succeeded);
        QCOMPARE(Read(path).v2.Genre.bytes, std::string("Synthpop"));
        const QString none =
            file(u"l.mp3"_s, silentMpegFrames() + id3v1Trailer("t", {}, {}, {}, {}, 0, 200));
        QVERIFY(operations::copyTag(v1_, v2_, CopyDirection::V1ToV2, false, none).succeeded);
        QCOMPARE(Read(none).v2.Genre.bytes, std::string());
    }
    // A file with only an ID3v1 tag: the ID3v2 tag an edit creates starts as
    // a copy of it, so no field the edit leaves alone is emptied in either
    // version; by the batch change, the page and a new cover alike.
    void newV2TagStartsFromV1_data()
    {
        QTest::addColumn<int>("command");
        QTest::newRow("the batch change") << 0;
        QTest::newRow("saving the page, prefer ID3v2") << 1;
        QTest::newRow("saving the page, ID3v2 only") << 2;
        QTest::newRow("a new cover") << 3;
    }
    void newV2TagStartsFromV1()
    {
        QFETCH(int, command);
        const QString path = file(
            u"v1only.mp3"_s,
            silentMpegFrames() + id3v1Trailer(gbk(u"甜蜜蜜"_s), gbk(u"邓丽君"_s),
                                              gbk(u"甜蜜蜜专辑"_s), "1979", gbk(u"经典"_s), 5));
        const auto priority =
            command == 2 ? operations::Priority::V2Only : operations::Priority::PreferV2;
        if (command == 0) {
            operations::FieldValues values;
            values.artist = u"新作者"_s;
            QVERIFY(written(operations::changeFields(v1_, v2_, priority, path, values)));
        } else if (command < 3) {
            // The page as the window fills it, one field typed over.
            const auto shown = operations::readShownTags(v1_, v2_, priority, path);
            QCOMPARE(shown.fields[2], u"甜蜜蜜专辑"_s);
            operations::PropertyValues page{shown.fields[0], u"新作者"_s,     shown.fields[2],
                                            shown.fields[3], shown.fields[4], -1,
                                            shown.fields[5]};
            QVERIFY(operations::saveProperties(v1_, v2_, priority, path, page).succeeded);
        } else {
            const QByteArray jpeg("\xFF\xD8\xFF\xE0 picture", 11);
            auto change = operations::setCoverChange(path, {jpeg, u"image/jpeg"_s});
            QVERIFY(change);
            QVERIFY(operations::writeOne(nullptr, operations::StepKind::Cover, *change).succeeded);
        }
        const Read read(path);
        QVERIFY(read.v2.Exists());
        QCOMPARE(read.v2.Title, tags::unicodeText("甜蜜蜜"));
        QCOMPARE(read.v2.Artist, tags::unicodeText(command == 3 ? "邓丽君" : "新作者"));
        QCOMPARE(read.v2.Album, tags::unicodeText("甜蜜蜜专辑"));
        QCOMPARE(read.v2.Year, tags::legacyText("1979"));
        QCOMPARE(read.v2.Comment, tags::unicodeText("经典"));
        QCOMPARE(read.v2.Track, tags::legacyText("5"));
        // ID3v1 keeps what the edit left alone.
        QCOMPARE(read.v1.Title(), gbk(u"甜蜜蜜"_s).toStdString());
        QCOMPARE(read.v1.Album(), gbk(u"甜蜜蜜专辑"_s).toStdString());
        QCOMPARE(read.v1.Comment(), gbk(u"经典"_s).toStdString());
        QCOMPARE(read.v1.Track(), 5);
        const bool v1Written = priority != operations::Priority::V2Only && command != 3;
        QCOMPARE(read.v1.Artist(), gbk(v1Written ? u"新作者"_s : u"邓丽君"_s).toStdString());
    }

    // The same the other way: the ID3v1 tag the batch change makes for a
    // file with only ID3v2 holds its other texts too.
    void newV1TagStartsFromV2()
    {
        const QString path = file(
            u"v2only.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(u"说谎"_s))) +
                                             frame23("TALB", textData(1, utf16WithBom(u"童话"_s))) +
                                             frame23("TCON", textData(0, "Pop"))) +
                                 silentMpegFrames());
        operations::FieldValues values;
        values.artist = u"林宥嘉"_s;
        QVERIFY(written(
            operations::changeFields(v1_, v2_, operations::Priority::PreferV2, path, values)));
        const Read read(path);
        QCOMPARE(read.v1.Title(), gbk(u"说谎"_s).toStdString());
        QCOMPARE(read.v1.Artist(), gbk(u"林宥嘉"_s).toStdString());
        QCOMPARE(read.v1.Album(), gbk(u"童话"_s).toStdString());
        QCOMPARE(read.v1.GenreID(), 13);
    }

    // An ID3v2 tag with empty fields (as a cover made one before): the page
    // shows ID3v1's texts there, and a save of a typed title keeps them in
    // both versions.
    void emptyV2FieldsShowAndKeepV1Texts()
    {
        const QByteArray jpeg("\xFF\xD8\xFF\xE0 picture", 11);
        const QString path = file(
            u"cover.mp3"_s,
            id3v2Tag(3, frame23("TIT2", textData(0, {})) +
                            frame23("APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + jpeg)) +
                silentMpegFrames() +
                id3v1Trailer(gbk(u"甜蜜蜜"_s), gbk(u"邓丽君"_s), gbk(u"甜蜜蜜专辑"_s), "1979"));
        const auto shown =
            operations::readShownTags(v1_, v2_, operations::Priority::PreferV2, path);
        QCOMPARE(shown.fields, (std::array<QString, 6>{u"甜蜜蜜"_s, u"邓丽君"_s, u"甜蜜蜜专辑"_s,
                                                       u"1979"_s, QString(), QString()}));
        operations::PropertyValues page{
            u"新标题"_s, shown.fields[1], shown.fields[2], shown.fields[3], {}, -1, {}};
        QVERIFY(operations::saveProperties(v1_, v2_, operations::Priority::PreferV2, path, page)
                    .succeeded);
        const Read read(path);
        QCOMPARE(read.v2.Title, tags::unicodeText("新标题"));
        QCOMPARE(read.v2.Artist, tags::unicodeText("邓丽君"));
        QCOMPARE(read.v2.Album, tags::unicodeText("甜蜜蜜专辑"));
        QCOMPARE(read.v1.Artist(), gbk(u"邓丽君"_s).toStdString());
        QCOMPARE(read.v1.Album(), gbk(u"甜蜜蜜专辑"_s).toStdString());
    }

    // An edit of part of a Big5 tag keeps what the user saw of the rest:
    // in the Unicode profile every legacy text of the tag becomes Unicode,
    // in the GBK profile GBK, other frames' texts too.
    void editKeepsHowTheRestWasRead_data()
    {
        QTest::addColumn<bool>("gbkProfile");
        QTest::newRow("unicode") << false;
        QTest::newRow("gbk") << true;
    }
    void editKeepsHowTheRestWasRead()
    {
        QFETCH(bool, gbkProfile);
        const QString path =
            file(u"big5.mp3"_s,
                 id3v2Tag(3, frame23("TIT2", textData(0, big5(u"說謊"_s))) +
                                 frame23("TPE1", textData(0, big5(u"林宥嘉"_s))) +
                                 frame23("TALB", textData(0, big5(u"童話"_s))) +
                                 frame23("TXXX", textData(0, "note\0"_ba + big5(u"感謝"_s)))) +
                     silentMpegFrames());
        operations::TextRules rules;
        rules.encoding =
            gbkProfile ? operations::WriteEncoding::Gbk : operations::WriteEncoding::Unicode;
        operations::FieldValues values;
        values.title = u"Lie"_s;
        values.artist = u"Yoga"_s;
        QVERIFY(written(
            operations::changeFields(v1_, v2_, operations::Priority::V2Only, path, values, rules)));
        const Read read(path);
        QCOMPARE(read.v2.Album, gbkProfile ? tags::legacyText(gbk(u"童話"_s).toStdString())
                                           : tags::unicodeText("童話"));
        const QByteArray other = gbkProfile
                                     ? textData(0, "note\0"_ba + gbk(u"感謝"_s))
                                     : textData(1, utf16WithBom(u"note"_s) + QByteArray(2, '\0') +
                                                       utf16WithBom(u"感謝"_s));
        QVERIFY(readBytes(path).contains(frame23("TXXX", other)));
        const auto shown =
            operations::readShownTags(v1_, v2_, operations::Priority::V2Only, path, rules);
        QCOMPARE(shown.fields[2], u"童話"_s);
    }

    // ID3v1 is written in the code page of the file's texts (the preferred
    // one without any), never in GB18030's four-byte forms: what the code
    // page lacks is folded to its base letter, or '?'.
    void v1IsWrittenInItsCodePage_data()
    {
        QTest::addColumn<QByteArray>("oldTitle");
        QTest::addColumn<int>("preferred");
        QTest::addColumn<QByteArray>("artist");
        const auto Gbk = int(platform::LegacyCodePage::Gbk);
        const auto Big5 = int(platform::LegacyCodePage::Big5);
        const auto Cp1252 = int(platform::LegacyCodePage::Cp1252);
        QTest::newRow("GBK file") << gbk(u"童话故事"_s) << Big5 << gbk(u"Bjork 鄧麗君 ?"_s);
        QTest::newRow("Big5 file") << big5(u"月亮代表我的心"_s) << Gbk << big5(u"Bjork 鄧麗君 ?"_s);
        QTest::newRow("Windows-1252 file") << "Caf\xE9 D\xE9"_ba
                                              "but"
                                           << Gbk << "Bj\xF6rk ??? ?"_ba;
        QTest::newRow("ASCII file, GBK preferred") << "abc"_ba << Gbk << gbk(u"Bjork 鄧麗君 ?"_s);
        QTest::newRow("ASCII file, Windows-1252 preferred")
            << "abc"_ba << Cp1252 << "Bj\xF6rk ??? ?"_ba;
    }
    void v1IsWrittenInItsCodePage()
    {
        QFETCH(QByteArray, oldTitle);
        QFETCH(int, preferred);
        QFETCH(QByteArray, artist);
        const QString path = file(u"v1.mp3"_s, silentMpegFrames() + id3v1Trailer(oldTitle));
        operations::TextRules rules;
        rules.preferred = platform::LegacyCodePage(preferred);
        operations::FieldValues values;
        values.artist = u"Björk 鄧麗君 \U00020000"_s;
        QVERIFY(written(
            operations::changeFields(v1_, v2_, operations::Priority::V1Only, path, values, rules)));
        const Read read(path);
        QCOMPARE(QByteArray::fromStdString(read.v1.Artist()), artist);
        QCOMPARE(QByteArray::fromStdString(read.v1.Title()), oldTitle);
    }

    // The GBK profile writes ID3v2 in GBK too, without four-byte forms.
    void gbkProfileWritesGbk()
    {
        const QString path = file(u"g.mp3"_s, silentMpegFrames());
        operations::TextRules rules;
        rules.encoding = operations::WriteEncoding::Gbk;
        operations::FieldValues values;
        values.title = u"Björk \U00020000"_s;
        QVERIFY(written(operations::changeFields(v1_, v2_, operations::Priority::PreferV2, path,
                                                 values, rules)));
        const Read read(path);
        QCOMPARE(read.v2.Title, tags::legacyText("Bjork ?"));
        QCOMPARE(read.v1.Title(), std::string("Bjork ?"));
    }

    // A file that holds neither a tag nor MPEG audio gets no tag from the
    // page or the batch; audio without a tag, or a tag without audio, does.
    void onlyMp3FilesGetTags_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("refused");
        QTest::newRow("a text file") << QByteArray("notes\n").repeated(40) << true;
        QTest::newRow("empty") << QByteArray() << true;
        // Bytes that look like a frame header once, with no frame after it.
        QTest::newRow("a picture") << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF\xFF\xFB\x90\x64", 14) +
                                          QByteArray(1000, '\x11')
                                   << true;
        QTest::newRow("a frame alone") << silentMpegFrames(1) << false;
        QTest::newRow("audio after junk") << QByteArray(300, 'x') + silentMpegFrames() << false;
        QTest::newRow("ID3v1 without audio") << id3v1Trailer("t") << false;
        QTest::newRow("ID3v2 without audio") << v2Tag("t") << false;
    }
    void onlyMp3FilesGetTags()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, refused);
        const QString path = file(u"x.mp3"_s, bytes);
        operations::FieldValues values;
        values.title = u"新"_s;
        const auto change =
            operations::changeFields(v1_, v2_, operations::Priority::PreferV2, path, values);
        QVERIFY(change.written);
        QCOMPARE(change.change.has_value(), !refused);
        QCOMPARE(change.reason, refused ? u"不是MP3文件"_s : QString());
        operations::PropertyValues page;
        page.title = u"新"_s;
        const auto saved =
            operations::saveProperties(v1_, v2_, operations::Priority::PreferV2, path, page);
        QCOMPARE(saved.succeeded, !refused);
        if (refused) {
            QCOMPARE(saved.message, u"不是MP3文件"_s);
            QCOMPARE(readBytes(path), bytes);
        }
    }
};

MP3T_TEST_GUILESS_MAIN(TagOperationsTest)
#include "TagOperationsTest.moc"
