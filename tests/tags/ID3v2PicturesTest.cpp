// The front cover of a tag: read from every version and text encoding, found
// by its type, safe against sizes a tag may declare; and set, replaced or
// removed with every other frame kept, as TagLib reads it back.

#include "tags/ID3v2Pictures.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "tests/tags/TagTestSupport.h"

#include <QFile>
#include <QTest>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

using namespace testsupport;
using namespace tagtest;
using namespace Qt::StringLiterals;

namespace {

const QByteArray kAudio = silentMpegFrames(3);
const QByteArray kTrailer = id3v1Trailer("v1 title");
// Image bytes that begin with 0x00: a description's terminator must be found
// at its own place, not one byte off.
const QByteArray kImage = QByteArray("\0\0\xFF\xD8\xFF\xE0", 6) + QByteArray(300, '\x5A');
const QByteArray kOtherImage = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(200, '\x21');

QByteArray zero(int n = 1)
{
    return QByteArray(n, '\0');
}

// APIC data: the description comes with its terminator.
QByteArray apic(quint8 encoding, const QByteArray& mime, quint8 type, const QByteArray& description,
                const QByteArray& image)
{
    return QByteArray(1, char(encoding)) + mime + zero() + char(type) + description + image;
}

QByteArray latin1Apic(quint8 type, const QByteArray& image, const QByteArray& description = {})
{
    return apic(0, "image/jpeg", type, description + zero(), image);
}

QByteArray utf16BE(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        out += char(c.unicode() >> 8), out += char(c.unicode() & 0xFF);
    return out;
}

std::optional<tags::Picture> coverOfFile(const Files& files, const QString& name)
{
    return tags::frontCover(files.native(name));
}

std::optional<tags::Picture> coverOfImage(const Files& files, const QString& name)
{
    const auto image = tags::readTagImage(files.native(name));
    return image ? tags::frontCover(*image) : std::nullopt;
}

// The head RenderCoverHead gives the file, written in its place.
bool writeCover(const Files& files, const QString& name, const tags::CoverEdit& edit)
{
    auto change = tags::beginChange(files.native(name));
    if (!change)
        return false;
    const auto head = TID3v2::RenderCoverHead(change->before(), edit);
    if (!head)
        return false;
    change->setHead(*head);
    return tags::writeStaged(*change).written();
}

tags::CoverEdit setTo(const QByteArray& image, const std::string& mime = "image/png")
{
    return {false, mime, image.toStdString()};
}

const tags::CoverEdit kRemove{true, {}, {}};

} // namespace

class ID3v2PicturesTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsEveryVersionAndEncoding_data();
    void readsEveryVersionAndEncoding();
    void choosesTheFrontCover_data();
    void choosesTheFrontCover();
    void readsUnsynchronisedPictures();
    void refusesHostileSizes_data();
    void refusesHostileSizes();
    void reportsPictureTooLargeToRead();
    void editKeepsEveryOtherFrame_data();
    void editKeepsEveryOtherFrame();
    void removingNothingLeavesTheTag();
    void givesAFileWithoutTagOne();
    void writesV24TagAsV23();
    void tagLibReadsTheCoverWeWrite();

private:
    Files files_;
};

void ID3v2PicturesTest::readsEveryVersionAndEncoding_data()
{
    QTest::addColumn<QByteArray>("tag");
    QTest::addColumn<QByteArray>("mime");
    QTest::addColumn<tags::Text>("description");

    const QString cover = u"封面"_s;
    QTest::newRow("v2.2 Latin-1 PNG")
        << id3v2Tag(2, frame22("PIC", "\0PNG\x03"_ba + "Cover" + zero() + kImage), 16)
        << "image/png"_ba << legacy("Cover");
    QTest::newRow("v2.2 UTF-16 JPG")
        << id3v2Tag(2, frame22("PIC", "\x01JPG\x03"_ba + utf16WithBom(u"A"_s) + zero(2) + kImage),
                    16)
        << "image/jpeg"_ba << unicode(u"A"_s);
    QTest::newRow("v2.3 Latin-1") << id3v2Tag(3, frame23("APIC", latin1Apic(3, kImage, "x")), 16)
                                  << "image/jpeg"_ba << legacy("x");
    QTest::newRow("v2.3 UTF-16") << id3v2Tag(3, frame23("APIC", apic(1, "image/jpeg", 3,
                                                                     utf16WithBom(cover) + zero(2),
                                                                     kImage)))
                                 << "image/jpeg"_ba << unicode(cover);
    QTest::newRow("v2.3 grouped") << id3v2Tag(3, frame23("APIC", "\x07"_ba + latin1Apic(3, kImage),
                                                         0x0020))
                                  << "image/jpeg"_ba << legacy({});
    QTest::newRow("v2.4 Latin-1") << id3v2Tag(4, frame24("APIC", latin1Apic(3, kImage)), 16)
                                  << "image/jpeg"_ba << legacy({});
    QTest::newRow("v2.4 UTF-16") << id3v2Tag(4, frame24("APIC", apic(1, "image/png", 3,
                                                                     utf16WithBom(cover) + zero(2),
                                                                     kImage)))
                                 << "image/png"_ba << unicode(cover);
    QTest::newRow("v2.4 UTF-16BE")
        << id3v2Tag(4, frame24("APIC", apic(2, "image/png", 3, utf16BE(cover) + zero(2), kImage)))
        << "image/png"_ba << unicode(cover);
    QTest::newRow("v2.4 UTF-8")
        << id3v2Tag(4, frame24("APIC", apic(3, "image/png", 3, cover.toUtf8() + zero(), kImage)))
        << "image/png"_ba << unicode(cover);
}

void ID3v2PicturesTest::readsEveryVersionAndEncoding()
{
    QFETCH(QByteArray, tag);
    QFETCH(QByteArray, mime);
    QFETCH(tags::Text, description);
    files_.write("a.mp3", tag + kAudio + kTrailer);
    for (const auto& cover : {coverOfFile(files_, "a.mp3"), coverOfImage(files_, "a.mp3")}) {
        QVERIFY(cover);
        QCOMPARE(qb(cover->mime), mime);
        QCOMPARE(int(cover->type), 3);
        QCOMPARE(cover->description, description);
        QCOMPARE(qb(cover->data), kImage);
        QVERIFY(!cover->tooLarge);
    }
}

void ID3v2PicturesTest::choosesTheFrontCover_data()
{
    QTest::addColumn<QByteArray>("frames");
    QTest::addColumn<QByteArray>("expected"); // empty: no picture
    const QByteArray a = "picture A", b = "picture B";
    QTest::newRow("type 3 after another")
        << frame23("APIC", latin1Apic(0, a)) + frame23("APIC", latin1Apic(3, b)) << b;
    QTest::newRow("no type 3: the first")
        << frame23("APIC", latin1Apic(4, a)) + frame23("APIC", latin1Apic(5, b)) << a;
    QTest::newRow("compressed cover skipped")
        << frame23("APIC", "\0\0\0\x10"_ba + latin1Apic(3, a), 0x0080) +
               frame23("APIC", latin1Apic(0, b))
        << b;
    QTest::newRow("encrypted only")
        << frame23("APIC", "\x01"_ba + latin1Apic(3, a), 0x0040) << QByteArray();
    QTest::newRow("text frames only") << frame23("TIT2", latin1("t")) << QByteArray();
}

void ID3v2PicturesTest::choosesTheFrontCover()
{
    QFETCH(QByteArray, frames);
    QFETCH(QByteArray, expected);
    files_.write("c.mp3", id3v2Tag(3, frames, 8) + kAudio);
    const auto cover = coverOfFile(files_, "c.mp3");
    QCOMPARE(cover.has_value(), !expected.isEmpty());
    if (cover)
        QCOMPARE(qb(cover->data), expected);
}

void ID3v2PicturesTest::readsUnsynchronisedPictures()
{
    // Image bytes a writer must unsynchronise: 0xFF before 0xE0 and before 0x00.
    const QByteArray image = QByteArray("\xFF\xD8\xFF\xE0\x00\x10\xFF\x00\xFF", 9);
    const QByteArray frames = frame23("APIC", latin1Apic(3, image));
    const QByteArray whole = unsynchronised(frames);
    files_.write("u3.mp3", id3v2Header(3, quint32(whole.size()), 0x80) + whole + kAudio);
    // v2.4 unsynchronises frame by frame, its size counting the stored bytes.
    const QByteArray data = unsynchronised(latin1Apic(3, image));
    files_.write("u4.mp3", id3v2Tag(4, frame24("APIC", data, 0x0002)) + kAudio);
    for (const QString& name : {u"u3.mp3"_s, u"u4.mp3"_s}) {
        const auto cover = coverOfFile(files_, name);
        QVERIFY2(cover, qPrintable(name));
        QCOMPARE(qb(cover->data), image);
    }
}

void ID3v2PicturesTest::refusesHostileSizes_data()
{
    QTest::addColumn<QByteArray>("file");
    const QByteArray picture = frame23("APIC", latin1Apic(3, kImage));
    // The frame's size reaches into the audio after the tag.
    QByteArray beyond = picture;
    beyond.replace(4, 4, bigEndian32(quint32(kImage.size() + 2000)));
    QTest::newRow("frame beyond the tag") << id3v2Tag(3, beyond) + QByteArray(4000, '\x11');
    QTest::newRow("tag beyond the file") << id3v2Header(3, 100000) + picture;
    QTest::newRow("no end to the MIME type")
        << id3v2Tag(3, frame23("APIC", "\0image/jpeg"_ba)) + kAudio;
    QTest::newRow("MIME type too long")
        << id3v2Tag(3, frame23("APIC", apic(0, QByteArray(300, 'm'), 3, zero(), kImage))) + kAudio;
    QTest::newRow("no picture type") << id3v2Tag(3, frame23("APIC", "\0image/jpeg\0"_ba)) + kAudio;
    QTest::newRow("v2.2 too short") << id3v2Tag(2, frame22("PIC", "\0PN"_ba)) + kAudio;
    QTest::newRow("version 5") << id3v2Header(5, quint32(picture.size())) + picture + kAudio;
}

void ID3v2PicturesTest::refusesHostileSizes()
{
    QFETCH(QByteArray, file);
    files_.write("h.mp3", file);
    QVERIFY(!coverOfFile(files_, "h.mp3"));
    QVERIFY(!coverOfImage(files_, "h.mp3"));
}

void ID3v2PicturesTest::reportsPictureTooLargeToRead()
{
    // A frame of 40 MiB, its bytes a sparse stretch of the file.
    const quint32 size = 40u << 20;
    const QByteArray head = latin1Apic(3, "\xFF\xD8");
    const QByteArray frameHeader = "APIC"_ba + bigEndian32(size) + zero(2);
    const QString path = files_.write("big.mp3", id3v2Header(3, size + 10) + frameHeader + head);
    QFile file(path);
    QVERIFY(file.resize(10 + 10 + qint64(size)));
    const auto cover = coverOfFile(files_, "big.mp3");
    QVERIFY(cover);
    QVERIFY(cover->tooLarge);
    QVERIFY(cover->data.empty());
    QCOMPARE(cover->frameSize, quint64(size));
    QCOMPARE(cover->mime, std::string("image/jpeg"));
    QCOMPARE(int(cover->type), 3);
}

void ID3v2PicturesTest::editKeepsEveryOtherFrame_data()
{
    QTest::addColumn<QList<QByteArray>>("frames");
    QTest::addColumn<bool>("remove");
    QTest::addColumn<QList<QByteArray>>("expected");
    QTest::addColumn<bool>("inPlace");

    // The seven frames of the field set, in the order a save writes them.
    const QList<QByteArray> fields{
        frame23("TIT2", latin1("Title")),
        frame23("TPE1", "\x01" + utf16WithBom(u"歌手"_s)),
        frame23("TALB", zero()),
        frame23("TRCK", latin1("3")),
        frame23("TYER", latin1("1999")),
        frame23("TCON", latin1("(17)")),
        frame23("COMM", commentData({}, "c")),
    };
    const QByteArray back =
        frame23("APIC", apic(1, "image/png", 4, utf16WithBom(u"背"_s) + zero(2), kOtherImage));
    const QByteArray front = frame23("APIC", latin1Apic(3, kImage, "front"));
    const QByteArray priv = frame23("PRIV", "owner\0\x01\x02\x03"_ba);
    const QByteArray unknown = frame23("XYZW", "\xFF\xFE data");
    const QByteArray newCover = frame23("APIC", "\0image/png\0\x03\0"_ba + kOtherImage.left(100));

    QTest::newRow("replaced where it stands")
        << fields + QList{back, front, priv, unknown} << false
        << fields + QList{back, newCover, priv, unknown} << true;
    QTest::newRow("removed") << fields + QList{back, front, priv, unknown} << true
                             << fields + QList{back, priv, unknown} << true;
    // A back cover is no front cover to replace: the new one comes beside it.
    QTest::newRow("back cover kept without a front cover")
        << fields + QList{priv, back, unknown} << false
        << fields + QList{priv, back, unknown, newCover} << false;
    QTest::newRow("first picture removed without a front cover")
        << fields + QList{back, unknown} << true << fields + QList{unknown} << true;
    QTest::newRow("added after the other frames")
        << fields + QList{priv, unknown} << false << fields + QList{priv, unknown, newCover}
        << false;
}

void ID3v2PicturesTest::editKeepsEveryOtherFrame()
{
    QFETCH(QList<QByteArray>, frames);
    QFETCH(bool, remove);
    QFETCH(QList<QByteArray>, expected);
    QFETCH(bool, inPlace);
    const QByteArray tag = id3v2Tag(3, frames.join(), 64);
    files_.write("e.mp3", tag + kAudio + kTrailer);

    QVERIFY(writeCover(files_, "e.mp3", remove ? kRemove : setTo(kOtherImage.left(100))));
    const QByteArray after = files_.read("e.mp3");
    QCOMPARE(framesOf(after), expected);
    QCOMPARE(after.size() - kAudio.size() - kTrailer.size() == tag.size(), inPlace);
    QVERIFY(after.endsWith(kAudio + kTrailer));
}

void ID3v2PicturesTest::removingNothingLeavesTheTag()
{
    // Not even rewritten as v2.3: there was nothing to change.
    const QByteArray tag = id3v2Tag(4, frame24("TIT2", utf8(u"标题"_s)), 10);
    files_.write("n.mp3", tag + kAudio);
    const auto image = tags::readTagImage(files_.native("n.mp3"));
    QVERIFY(image);
    const auto head = TID3v2::RenderCoverHead(*image, kRemove);
    QVERIFY(head);
    QCOMPARE(qb(*head), tag);
}

void ID3v2PicturesTest::givesAFileWithoutTagOne()
{
    files_.write("t.mp3", kAudio + kTrailer);
    files_.write("s.mp3", kAudio + kTrailer);
    QVERIFY(writeCover(files_, "t.mp3", setTo(kImage, "image/jpeg")));
    // The texts as a save of the tag as read writes them: empty.
    QVERIFY(TID3v2().SaveToFile(files_.native("s.mp3")));
    const QList<QByteArray> saved = framesOf(files_.read("s.mp3"));
    const QByteArray after = files_.read("t.mp3");
    QCOMPARE(framesOf(after), saved + QList{frame23("APIC", "\0image/jpeg\0\x03\0"_ba + kImage)});
    QVERIFY(after.endsWith(kAudio + kTrailer));
    const auto cover = coverOfFile(files_, "t.mp3");
    QVERIFY(cover);
    QCOMPARE(qb(cover->data), kImage);
}

void ID3v2PicturesTest::writesV24TagAsV23()
{
    const QByteArray frames =
        frame24("TIT2", utf8(u"标题"_s)) +
        frame24("APIC", apic(3, "image/jpeg", 3, "d"_ba + zero(), kImage)) +
        frame24("APIC", apic(3, "image/png", 8, u"背"_s.toUtf8() + zero(), kOtherImage));
    files_.write("v4.mp3", id3v2Tag(4, frames, 16) + kAudio);
    QVERIFY(writeCover(files_, "v4.mp3", setTo("new picture")));
    const QByteArray after = files_.read("v4.mp3");
    QCOMPARE(after.at(3), '\x03');
    const QList<QByteArray> written = framesOf(after);
    QCOMPARE(written.first(), frame23("TIT2", "\x01" + utf16WithBom(u"标题"_s)));
    // The new cover where the old one stood; the other picture's UTF-8 as
    // v2.3 has it.
    QCOMPARE(written.mid(7),
             (QList{frame23("APIC", "\0image/png\0\x03\0new picture"_ba),
                    frame23("APIC", apic(1, "image/png", 8, utf16WithBom(u"背"_s) + zero(2),
                                         kOtherImage))}));
}

void ID3v2PicturesTest::tagLibReadsTheCoverWeWrite()
{
    files_.write("l.mp3", id3v2Tag(3, frame23("TIT2", latin1("Title")) +
                                          frame23("APIC", latin1Apic(0, kOtherImage))) +
                              kAudio);
    QVERIFY(writeCover(files_, "l.mp3", setTo(kImage, "image/jpeg")));
    // The type-0 picture stays; the front cover is added after it.
    TagLib::MPEG::File file(files_.native("l.mp3").c_str());
    QVERIFY(file.hasID3v2Tag());
    const TagLib::ID3v2::FrameList pictures = file.ID3v2Tag()->frameListMap()["APIC"];
    QCOMPARE(pictures.size(), 2u);
    const auto* other = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.front());
    QVERIFY(other);
    QCOMPARE(int(other->type()), int(TagLib::ID3v2::AttachedPictureFrame::Other));
    const auto* picture = dynamic_cast<TagLib::ID3v2::AttachedPictureFrame*>(pictures.back());
    QVERIFY(picture);
    QCOMPARE(int(picture->type()), int(TagLib::ID3v2::AttachedPictureFrame::FrontCover));
    QCOMPARE(QByteArray::fromStdString(picture->mimeType().to8Bit()), "image/jpeg"_ba);
    QVERIFY(picture->description().isEmpty());
    const TagLib::ByteVector data = picture->picture();
    QCOMPARE(QByteArray(data.data(), int(data.size())), kImage);
    QCOMPARE(QString::fromStdString(file.ID3v2Tag()->title().to8Bit(true)), u"Title"_s);
}

MP3T_TEST_GUILESS_MAIN(ID3v2PicturesTest)
#include "ID3v2PicturesTest.moc"
