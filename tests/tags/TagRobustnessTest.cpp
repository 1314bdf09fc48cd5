#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QTest>

#include <random>
#include <sys/stat.h>
#include <system_error>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kEnd("END-OF-AUDIO");

QByteArray randomBytes(std::mt19937& rng, int n)
{
    QByteArray b(n, '\0');
    for (char& c : b)
        c = char(rng() & 0xFF);
    return b;
}

// A tag of random frames, some of them valid, in a random version; sometimes
// damaged by flipped bytes or cut short.
QByteArray randomTag(std::mt19937& rng)
{
    static const char* const ids[] = {"TIT2", "TPE1", "TALB", "TRCK", "TYER", "TCON",
                                      "COMM", "TDRC", "APIC", "TXXX", "PRIV", "WXXX"};
    static const char* const ids22[] = {"TT2", "TP1", "TAL", "TCO", "COM", "PIC", "TXX", "XYZ"};
    const int major = 2 + int(rng() % 3);
    QByteArray frames;
    for (int n = int(rng() % 8); n > 0; --n) {
        QByteArray data(1, char(rng() % 5)); // an encoding byte, sometimes a wrong one
        data += randomBytes(rng, int(rng() % 40));
        if (rng() % 4 == 0)
            data += QByteArray("\0\0", 2) + randomBytes(rng, 6);
        const quint16 flags = rng() % 4 == 0 ? quint16(rng()) : 0;
        if (major == 2)
            frames += frame22(ids22[rng() % 8], data);
        else if (major == 3)
            frames += frame23(ids[rng() % 12], data, flags);
        else
            frames += frame24(ids[rng() % 12], data, flags);
    }
    const quint8 flagChoices[] = {0, 0, 0x80, 0x40, 0x10, quint8(rng())};
    const quint8 flags = flagChoices[rng() % 6];
    QByteArray body = flags & 0x80 ? unsynchronised(frames) : frames;
    body += QByteArray(int(rng() % 16), '\0');
    QByteArray tag = id3v2Header(major, quint32(body.size()), flags) + body;
    for (int flips = rng() % 3 == 0 ? int(rng() % 4) : 0; flips > 0; --flips)
        tag[int(rng() % quint32(tag.size()))] = char(rng());
    if (rng() % 6 == 0)
        tag.truncate(int(rng() % quint32(tag.size())));
    return tag;
}

enum class Save { Done, Refused };

struct Texts {
    tags::Text title, artist, album, year, genre, comment;
    bool operator==(const Texts&) const = default;
};
Texts textsOf(const TID3v2& t)
{
    return {t.Title, t.Artist, t.Album, t.Year, t.Genre, t.Comment};
}

// Everything a read gives of each version, to compare two reads whole.
bool sameRead(const TID3v2& a, const TID3v2& b)
{
    return a.Exists() == b.Exists() && a.VersionID() == b.VersionID() && a.Size() == b.Size() &&
           textsOf(a) == textsOf(b) && a.Track == b.Track && a.Disc == b.Disc &&
           a.AlbumArtist == b.AlbumArtist && a.Composer == b.Composer && a.Lyrics == b.Lyrics &&
           a.LyricsLanguage == b.LyricsLanguage && a.LyricsDescription == b.LyricsDescription &&
           a.LegacyTexts() == b.LegacyTexts();
}
bool sameRead(const TID3v1& a, const TID3v1& b)
{
    return a.Rendered() == b.Rendered() && a.Exists() == b.Exists();
}

} // namespace

Q_DECLARE_METATYPE(Save)

class TagRobustnessTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void hostileFiles_data();
    void hostileFiles();
    void randomTags();
    void imageReadsAsFile();
    void unconvertibleTextSurvivesSave();
    void notRegularFiles();

private:
    // Reads, saves and reads again: never a crash, and what was read is what
    // the saved file gives; or the save is refused and the file unchanged.
    Save checkReadSaveRead(const QByteArray& bytes);
    Files files_;
};

void TagRobustnessTest::hostileFiles_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("readable");
    QTest::addColumn<QByteArray>("title");
    QTest::addColumn<Save>("save");

    const QByteArray title = frame23("TIT2", latin1("T"));
    QTest::newRow("truncatedHeader")
        << QByteArray("ID3\x03\0", 5) << false << QByteArray() << Save::Done;
    QTest::newRow("sizeBeyondEnd")
        << id3v2Header(3, 4000) + title << true << QByteArray() << Save::Done;
    QTest::newRow("sizeBytesAllOnes") << QByteArray("ID3\x03\0\0\xFF\xFF\xFF\xFF", 10) + title
                                      << true << QByteArray() << Save::Done;
    QTest::newRow("frameSizeAllOnes")
        << id3v2Tag(3, title + "TPE1" + QByteArray(4, '\xFF') + QByteArray(2, '\0') + "x", 20)
        << true << QByteArray("T") << Save::Refused;
    QTest::newRow("frameBeyondTag") << id3v2Tag(3, title + frame23("TPE1", latin1("A")).left(14))
                                    << true << QByteArray("T") << Save::Done;
    QTest::newRow("frameHeaderCutByTagEnd")
        << id3v2Tag(3, title + "TPE") << true << QByteArray("T") << Save::Refused;
    QTest::newRow("unsyncAtEnd") << id3v2Header(3, quint32(title.size() + 1), 0x80) + title + "\xFF"
                                 << true << QByteArray("T") << Save::Done;
    QTest::newRow("v22HugeFrameSize") << id3v2Tag(2, QByteArray("TT2\xFF\xFF\xFF", 6) + "x") << true
                                      << QByteArray() << Save::Refused;
    QTest::newRow("v24FrameSizeNotSyncsafe")
        << id3v2Tag(4, QByteArray("TIT2\x80\x80\x80\x80\0\0", 10) + "x") << true << QByteArray()
        << Save::Refused;
    QTest::newRow("v23ExtendedHeaderHuge")
        << id3v2Header(3, 20, 0x40) + QByteArray("\xFF\xFF\xFF\xF0", 4) + QByteArray(16, '\0')
        << true << QByteArray() << Save::Done;
    QTest::newRow("v24ExtendedHeaderTooSmall")
        << id3v2Header(4, 20, 0x40) + syncsafe(2) + QByteArray(16, '\0') << true << QByteArray()
        << Save::Done;
    QTest::newRow("dataLengthCutShort") << id3v2Tag(4, frame24("TIT2", "\x01\x02", 0x0001)) << true
                                        << QByteArray() << Save::Refused;
    QTest::newRow("compressedWithoutLength")
        << id3v2Tag(4, frame24("TIT2", latin1("T"), 0x0008) + frame24("TPE1", latin1("A"))) << true
        << QByteArray() << Save::Refused;
    QTest::newRow("emptyFrames") << id3v2Tag(3, frame23("TIT2", {}) + frame23("COMM", {}) +
                                                    frame23("COMM", "\0e"))
                                 << true << QByteArray() << Save::Done;
    QTest::newRow("utf16OddAndUnpaired")
        << id3v2Tag(3, frame23("TIT2", QByteArray("\x01\xFF\xFE\x00\xD8\x41\x00\x42", 8))) << true
        << QByteArray("A") << Save::Done;
    QTest::newRow("invalidUtf8") << id3v2Tag(4, frame24("TIT2", "\x03\xC3(abc\xE4\xB8")) << true
                                 << QByteArray("\xC3(abc\xE4\xB8") << Save::Done;
    QTest::newRow("v22ShortPicture")
        << id3v2Tag(2, frame22("PIC", "\0J")) << true << QByteArray() << Save::Refused;
    std::mt19937 rng(7);
    QTest::newRow("randomAfterID3")
        << "ID3" + randomBytes(rng, 600) << true << QByteArray() << Save::Done;
}

void TagRobustnessTest::hostileFiles()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, readable);
    QFETCH(QByteArray, title);
    QFETCH(Save, save);
    files_.write("h.mp3", bytes);
    TID3v2 tag;
    QCOMPARE(tag.ReadFromFile(files_.native("h.mp3")), readable);
    if (QByteArray(QTest::currentDataTag()) != "randomAfterID3")
        QCOMPARE(qb(tag.Title.bytes), title);
    QCOMPARE(checkReadSaveRead(bytes + kEnd), save);
}

Save TagRobustnessTest::checkReadSaveRead(const QByteArray& bytes)
{
    files_.write("r.mp3", bytes);
    const std::string path = files_.native("r.mp3");
    TID3v2 tag;
    tag.ReadFromFile(path);
    const Texts read = textsOf(tag);
    if (!tag.SaveToFile(path)) {
        // A save that would lose a frame leaves the file as it was.
        [&] {
            QCOMPARE(files_.read("r.mp3"), bytes);
            QCOMPARE(files_.names().filter(u".tdexbak"_s), QStringList());
        }();
        return Save::Refused;
    }
    [&] {
        const QByteArray saved = files_.read("r.mp3");
        QVERIFY(saved.endsWith(bytes.right(qMin<qsizetype>(bytes.size(), 12))));
        TID3v2 again;
        QVERIFY(again.ReadFromFile(path));
        QCOMPARE(again.VersionID(), uint8_t(3));
        QVERIFY(textsOf(again) == read);
        QVERIFY(again.SaveToFile(path));
        QCOMPARE(files_.read("r.mp3"), saved);
    }();
    return Save::Done;
}

void TagRobustnessTest::randomTags()
{
    std::mt19937 rng(20240501);
    int done = 0;
    for (int i = 0; i < 400; ++i) {
        const QByteArray tag = randomTag(rng);
        if (checkReadSaveRead(tag + silentMpegFrames(1) + kEnd) == Save::Done)
            ++done;
        if (QTest::currentTestFailed()) {
            qWarning("random tag %d: %s", i, tag.toHex().constData());
            return;
        }
    }
    // Refusals are for tags that hold what cannot be carried, not for most.
    QVERIFY2(done > 200, qPrintable(QString::number(done)));
}

// A change reads the file once, its tags from that image: whatever the
// bytes, what the image gives is what reading the file gives.
void TagRobustnessTest::imageReadsAsFile()
{
    std::mt19937 rng(99);
    const QByteArray trailer = id3v1Trailer("T", "A", "B", "2001", "C", 7, 12);
    // An APEv2 tag (footer only) whose last 128 bytes begin with "TAG".
    const auto le32 = [](quint32 v) {
        return QByteArray(1, char(v)) + char(v >> 8) + char(v >> 16) + char(v >> 24);
    };
    const QByteArray value = "TAG" + QByteArray(93, 'x');
    const QByteArray item = le32(quint32(value.size())) + le32(0) + "Comment" + '\0' + value;
    const QByteArray ape = item + "APETAGEX" + le32(2000) + le32(quint32(item.size() + 32)) +
                           le32(1) + le32(0) + QByteArray(8, '\0');
    int fromImage = 0;
    int v1FromImage = 0;
    for (int i = 0; i < 300; ++i) {
        QByteArray bytes = randomTag(rng) + silentMpegFrames(1);
        if (i % 3 == 1)
            bytes += trailer;
        else if (i % 3 == 2)
            bytes += ape + (i % 2 ? trailer : QByteArray());
        files_.write("i.mp3", bytes);
        const std::string path = files_.native("i.mp3");
        const auto image = tags::readTagImage(path);
        QVERIFY(image);
        TID3v2 file2, image2;
        TID3v1 file1, image1;
        file2.ReadFromFile(path);
        file1.ReadFromFile(path);
        if (image2.ReadFromImage(*image)) {
            ++fromImage;
            QVERIFY2(sameRead(file2, image2), bytes.left(64).toHex().constData());
        }
        if (image1.ReadFromImage(*image)) {
            ++v1FromImage;
            QVERIFY2(sameRead(file1, image1), bytes.right(160).toHex().constData());
        } else {
            QVERIFY(!file1.Exists() || bytes.size() < 128 + 10);
        }
    }
    QVERIFY2(fromImage > 150, qPrintable(QString::number(fromImage)));
    // With a trailer or without, the image tells it for all but odd files.
    QVERIFY2(v1FromImage > 250, qPrintable(QString::number(v1FromImage)));
}

void TagRobustnessTest::unconvertibleTextSurvivesSave()
{
    // An unpaired surrogate is no character; the frame must not be lost or
    // changed when another field is saved.
    const QByteArray title = frame23("TIT2", QByteArray("\x01\xFF\xFE\x00\xD8\x41\x00", 7));
    files_.write("u.mp3", id3v2Tag(3, title) + kEnd);
    TID3v2 tag;
    QVERIFY(tag.ReadFromFile(files_.native("u.mp3")));
    QCOMPARE(tag.Title, unicode(u"A"_s));
    tag.Album = tags::unicodeText("B");
    QVERIFY(tag.SaveToFile(files_.native("u.mp3")));
    QCOMPARE(framesOf(files_.read("u.mp3")).first(), title);
}

void TagRobustnessTest::notRegularFiles()
{
    // A pipe must not block the reader, a folder is no file.
    Files files;
    QVERIFY(::mkfifo(files.native("pipe.mp3").c_str(), 0644) == 0);
    QDir(files.path({})).mkdir(u"folder.mp3"_s);
    for (const char* name : {"pipe.mp3", "folder.mp3"}) {
        TID3v1 v1;
        TID3v2 v2;
        QVERIFY(!v1.ReadFromFile(files.native(name)));
        QVERIFY(!v1.SaveToFile(files.native(name)));
        QVERIFY(!v2.ReadFromFile(files.native(name)));
        QVERIFY_THROWS_EXCEPTION(std::system_error, v2.SaveToFile(files.native(name)));
    }
    QCOMPARE(files.names().size(), 2);
}

MP3T_TEST_GUILESS_MAIN(TagRobustnessTest)
#include "TagRobustnessTest.moc"
