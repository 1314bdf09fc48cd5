// The cover commands on files: the picture file taken by its content and
// size, the change made ready for the batch writer and undone through the
// history, and the cover saved to a file of its own.

#include "operations/CoverEditing.h"
#include "operations/History.h"
#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "tags/ID3v2Pictures.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <memory>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::CoverImage;
using operations::History;
using operations::Journal;
using operations::StepKind;

namespace {

const QByteArray kJpeg = QByteArray("\xFF\xD8\xFF\xE0", 4) + QByteArray(120, '\x11');
const QByteArray kPng = QByteArray("\x89PNG\r\n\x1A\n", 8) + QByteArray(90, '\x22');

// A picture of that format that decodes, made here.
QByteArray realPicture(const char* format)
{
    QImage image(24, 16, QImage::Format_RGB32);
    image.fill(QColor(30, 120, 200));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray apicFrame(quint8 type, const QByteArray& image)
{
    return testsupport::frame23("APIC", "\0image/jpeg\0"_ba + char(type) + '\0' + image);
}

// A tag with a title, a picture and room to spare.
QByteArray tagWithCover(const QByteArray& image, int padding = 400)
{
    return testsupport::id3v2Tag(
        3, testsupport::frame23("TIT2", testsupport::textData(0, "Title")) + apicFrame(3, image),
        padding);
}

QByteArray coverOf(const tags::TagImage& image)
{
    const auto cover = tags::frontCover(image);
    return cover ? QByteArray::fromStdString(cover->data) : QByteArray();
}

} // namespace

class CoverEditingTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Journal> journal_;
    std::unique_ptr<History> history_;

    QString path(const QString& name) const { return dir_->filePath(name); }
    std::string native(const QString& name) const { return path(name).toStdString(); }
    void restart()
    {
        history_.reset();
        journal_.reset();
        journal_ = std::make_unique<Journal>(native(u"state/journal.sqlite"_s));
        history_ = std::make_unique<History>(*journal_);
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        restart();
    }
    void cleanup()
    {
        history_.reset();
        journal_.reset();
    }

    void takesPicturesByContent_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("mime"); // empty: refused
        QTest::addColumn<QString>("error");
        const QString notAPicture = u"不是JPEG或PNG图片"_s;
        const QString damaged = u"图片已损坏或不完整,无法读取"_s;
        const QByteArray jpeg = realPicture("JPEG");
        const QByteArray png = realPicture("PNG");
        QTest::newRow("JPEG named .png") << u"a.png"_s << jpeg << u"image/jpeg"_s << QString();
        QTest::newRow("PNG named .jpg") << u"b.jpg"_s << png << u"image/png"_s << QString();
        QTest::newRow("GIF") << u"c.gif"_s << "GIF89a\x01\x00"_ba << QString() << notAPicture;
        QTest::newRow("text named .jpg")
            << u"d.jpg"_s << "not a picture"_ba << QString() << notAPicture;
        QTest::newRow("PNG signature only")
            << u"e.png"_s << png.left(6) << QString() << notAPicture;
        QTest::newRow("empty") << u"f.jpeg"_s << QByteArray() << QString() << notAPicture;
        // A signature and nothing a decoder can use.
        QTest::newRow("JPEG signature, 11 bytes")
            << u"g.jpg"_s << QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 11) << QString() << damaged;
        QTest::newRow("JPEG, its head only") << u"h.jpg"_s << jpeg.left(40) << QString() << damaged;
        QTest::newRow("PNG cut in its header")
            << u"i.png"_s << png.left(20) << QString() << damaged;
    }
    void takesPicturesByContent()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, mime);
        QFETCH(QString, error);
        QVERIFY(writeFile(native(name), bytes));
        QString why;
        const auto image = operations::readCoverFile(path(name), &why);
        QCOMPARE(image.has_value(), !mime.isEmpty());
        if (image) {
            QCOMPARE(image->mime, mime);
            QCOMPARE(image->data, bytes);
        } else {
            QCOMPARE(why, error);
        }
    }

    void refusesPicturesOver16MiB()
    {
        QByteArray bytes = realPicture("JPEG");
        bytes.resize(operations::kMaxCoverFile, '\0');
        QVERIFY(writeFile(native(u"largest.jpg"_s), bytes));
        QVERIFY(operations::readCoverFile(path(u"largest.jpg"_s)));
        QVERIFY(writeFile(native(u"larger.jpg"_s), bytes + '\0'));
        QString error;
        QVERIFY(!operations::readCoverFile(path(u"larger.jpg"_s), &error));
        QVERIFY2(error.contains(u"16 MB"_s), qPrintable(error));
        QVERIFY(!operations::readCoverFile(path(u"missing.jpg"_s), &error));
        QCOMPARE(error, u"文件不存在"_s);
    }

    void preparesChangesInTheOldRoom()
    {
        const QByteArray head = tagWithCover(kJpeg);
        const QByteArray tail = testsupport::id3v1Trailer("v1");
        QVERIFY(writeFile(native(u"a.mp3"_s), music(head, tail)));

        QString reason;
        const auto set = operations::setCoverChange(path(u"a.mp3"_s), {kPng, u"image/png"_s});
        QVERIFY(set);
        QVERIFY(set->inPlace());
        QCOMPARE(QByteArray::fromStdString(set->after().tail), tail);
        QCOMPARE(coverOf(set->after()), kPng);
        QCOMPARE(tags::frontCover(set->after())->mime, std::string("image/png"));

        const auto removed = operations::removeCoverChange(path(u"a.mp3"_s));
        QVERIFY(removed && removed->inPlace() && removed->changes());
        QVERIFY(!tags::frontCover(removed->after()));

        // Nothing written yet, and a file that is not there says so.
        QCOMPARE(readFile(native(u"a.mp3"_s)), music(head, tail));
        QVERIFY(!operations::removeCoverChange(path(u"gone.mp3"_s), &reason));
        QCOMPARE(reason, u"文件不存在"_s);
    }

    // A new cover replaces the picture of type 3 alone; a removal takes the
    // picture shown (type 3, else the first) and names its type.
    void keepsPicturesOfOtherTypes()
    {
        const QByteArray back = apicFrame(4, kJpeg + "back");
        const QByteArray front = apicFrame(3, kJpeg + "front");
        const QByteArray title = testsupport::frame23("TIT2", testsupport::textData(0, "T"));
        QVERIFY(
            writeFile(native(u"back.mp3"_s), music(testsupport::id3v2Tag(3, title + back, 50))));
        QVERIFY(writeFile(native(u"both.mp3"_s),
                          music(testsupport::id3v2Tag(3, back + title + front, 50))));

        const auto added = operations::setCoverChange(path(u"back.mp3"_s), {kPng, u"image/png"_s});
        QVERIFY(added && added->changes());
        QVERIFY(added->after().head.find((kJpeg + "back").toStdString()) != std::string::npos);
        QCOMPARE(tags::frontCover(added->after())->type, tags::FrontCoverType);
        QCOMPARE(coverOf(added->after()), kPng);

        const auto replaced =
            operations::setCoverChange(path(u"both.mp3"_s), {kPng, u"image/png"_s});
        QVERIFY(replaced);
        const std::string head = replaced->after().head;
        QVERIFY(head.find((kJpeg + "back").toStdString()) != std::string::npos);
        QCOMPARE(head.find((kJpeg + "front").toStdString()), std::string::npos);
        QCOMPARE(coverOf(replaced->after()), kPng);

        const auto removedBack = operations::removeCoverChange(path(u"back.mp3"_s));
        QVERIFY(removedBack && removedBack->changes());
        QCOMPARE(operations::removedPictureName(*removedBack), u"封底"_s);
        QVERIFY(!tags::frontCover(removedBack->after()));
        const auto removedFront = operations::removeCoverChange(path(u"both.mp3"_s));
        QCOMPARE(operations::removedPictureName(*removedFront), u"封面"_s);
        QCOMPARE(tags::frontCover(removedFront->after())->type, std::uint8_t(4));
    }

    void namesPictureTypes()
    {
        QCOMPARE(operations::pictureTypeName(0), u"其他图片"_s);
        QCOMPARE(operations::pictureTypeName(3), u"封面"_s);
        QCOMPARE(operations::pictureTypeName(4), u"封底"_s);
        QCOMPARE(operations::pictureTypeName(20), u"出品方标志"_s);
        QCOMPARE(operations::pictureTypeName(21), u"类型 21"_s);
    }

    // The change goes through the batch writer as a step of its own kind;
    // undo puts the old cover back byte for byte, also after a restart.
    void undoRestoresTheOldCover()
    {
        const QByteArray before = music(tagWithCover(kJpeg, 50));
        QVERIFY(writeFile(native(u"u.mp3"_s), before));
        QVERIFY(writeFile(native(u"v.mp3"_s), before));
        operations::TagWrites writes(journal_.get(), StepKind::Cover);
        for (const QString& name : {u"u.mp3"_s, u"v.mp3"_s}) {
            // A larger picture: one file through a copy, in a step with the other.
            const auto change =
                operations::setCoverChange(path(name), {kPng + kPng, u"image/png"_s});
            QVERIFY(change);
            writes.add(*change);
        }
        writes.write([](std::size_t, const operations::Outcome& outcome) {
            QVERIFY2(outcome.succeeded, qPrintable(outcome.message));
        });
        const QByteArray after = readFile(native(u"u.mp3"_s));
        QVERIFY(after != before);

        restart();
        QCOMPARE(journal_->steps().front().kind, StepKind::Cover);
        const auto undone = history_->undo();
        QCOMPARE(undone.step, u"封面"_s);
        QCOMPARE(undone.turned, 2);
        QCOMPARE(readFile(native(u"u.mp3"_s)), before);
        QCOMPARE(readFile(native(u"v.mp3"_s)), before);
        QCOMPARE(history_->redo().turned, 2);
        QCOMPARE(readFile(native(u"v.mp3"_s)), after);
    }

    void offersAName_data()
    {
        QTest::addColumn<QString>("mp3");
        QTest::addColumn<QString>("mime");
        QTest::addColumn<QString>("name");
        QTest::newRow("JPEG") << u"/m/歌 - 曲.mp3"_s << u"image/jpeg"_s << u"歌 - 曲.jpg"_s;
        QTest::newRow("PNG, upper case") << u"/m/a.MP3"_s << u"image/png"_s << u"a.png"_s;
        QTest::newRow("other MIME type") << u"/m/a.b.mp3"_s << u"image/gif"_s << u"a.b.jpg"_s;
    }
    void offersAName()
    {
        QFETCH(QString, mp3);
        QFETCH(QString, mime);
        QFETCH(QString, name);
        QCOMPARE(operations::coverFileName(mp3, mime), name);
    }

    void exportsTheBytesExactly()
    {
        const QByteArray mp3 = music(tagWithCover(kJpeg));
        QVERIFY(writeFile(native(u"a.mp3"_s), mp3));
        QVERIFY(operations::exportCover(kJpeg, path(u"a.mp3"_s), path(u"a.jpg"_s)).succeeded);
        QCOMPARE(readFile(native(u"a.jpg"_s)), kJpeg);
        // An existing file chosen in the dialog is replaced.
        QVERIFY(operations::exportCover(kPng, path(u"a.mp3"_s), path(u"a.jpg"_s)).succeeded);
        QCOMPARE(readFile(native(u"a.jpg"_s)), kPng);
    }

    void neverExportsOverTheMp3()
    {
        const QByteArray mp3 = music(tagWithCover(kJpeg));
        QVERIFY(writeFile(native(u"a.mp3"_s), mp3));
        QVERIFY(::symlink(native(u"a.mp3"_s).c_str(), native(u"link.jpg"_s).c_str()) == 0);
        for (const QString& target : {u"a.mp3"_s, u"link.jpg"_s}) {
            const auto outcome = operations::exportCover(kJpeg, path(u"a.mp3"_s), path(target));
            QVERIFY(!outcome.succeeded);
            QCOMPARE(outcome.message, u"不能覆盖MP3文件本身"_s);
        }
        QCOMPARE(readFile(native(u"a.mp3"_s)), mp3);
        // A folder in the way is no file to write.
        QVERIFY(QDir(dir_->path()).mkdir(u"folder.jpg"_s));
        QVERIFY(!operations::exportCover(kJpeg, path(u"a.mp3"_s), path(u"folder.jpg"_s)).succeeded);
        const auto noFolder =
            operations::exportCover(kJpeg, path(u"a.mp3"_s), path(u"none/a.jpg"_s));
        QVERIFY(!noFolder.succeeded);
        QCOMPARE(noFolder.message, u"文件或文件夹不存在"_s);
    }
};

MP3T_TEST_GUILESS_MAIN(CoverEditingTest)
#include "CoverEditingTest.moc"
