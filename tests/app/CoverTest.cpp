// The front cover on the property page: shown for the file the page shows,
// set on one or many files, removed, undone, saved to a file; a picture that
// cannot be shown is a frame with words.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "tags/ID3v2.h"
#include "tags/ID3v2Pictures.h"

#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QRandomGenerator>

using namespace apptest;
using namespace testsupport;

namespace {

QString journalFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s;
}

// A picture of that size in that format, made here.
QByteArray picture(int width, int height, const char* format)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 90));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray mp3(const QByteArray& title, const QByteArray& cover = {},
               const QByteArray& mime = "image/jpeg")
{
    QByteArray frames = frame23("TIT2", textData(0, title));
    if (!cover.isEmpty())
        frames += frame23("APIC", "\0"_ba + mime + "\0\x03\0"_ba + cover);
    return id3v2Tag(3, frames, 64) + silentMpegFrames();
}

QByteArray coverOf(const QString& path)
{
    const auto cover = tags::frontCover(nativePath(path));
    return cover ? QByteArray::fromStdString(cover->data) : QByteArray();
}

QSize shownSize(const QLabel* label)
{
    return label->pixmap().deviceIndependentSize().toSize();
}

QList<bool> menuStates(const TFormMain& w)
{
    return {w.ui.MenuCoverSet->isEnabled(), w.ui.MenuCoverRemove->isEnabled(),
            w.ui.MenuCoverSave->isEnabled()};
}

} // namespace

class CoverTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(journalFolder()).removeRecursively();
    }

    void showsTheCover_data()
    {
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<QByteArray>("mime");
        QTest::addColumn<QSize>("shown"); // within the frame, its sides kept in proportion
        QTest::addColumn<QString>("tip");
        QTest::newRow("JPEG, wide") << picture(200, 100, "JPEG") << "image/jpeg"_ba << QSize(94, 47)
                                    << u"200 x 100 像素\nimage/jpeg"_s;
        QTest::newRow("PNG, tall") << picture(60, 120, "PNG") << "image/png"_ba << QSize(47, 94)
                                   << u"60 x 120 像素\nimage/png"_s;
    }
    void showsTheCover()
    {
        QFETCH(QByteArray, image);
        QFETCH(QByteArray, mime);
        QFETCH(QSize, shown);
        QFETCH(QString, tip);
        MusicFolder music;
        music.add(u"a.mp3"_s, mp3("A", image, mime));
        Program program(music.path());
        const TFormMain& w = program.main();
        QLabel* label = program.find<QLabel>(u"LabelCover"_s);
        QVERIFY(label && label->parentWidget() == w.ui.TabShProp);
        QCOMPARE(menuStates(w), (QList{false, false, false}));

        program.clickRow(0);
        QCOMPARE(shownSize(label), shown);
        QVERIFY2(label->toolTip().startsWith(tip), qPrintable(label->toolTip()));
        QCOMPARE(menuStates(w), (QList{true, true, true}));

        // The page cleared: no cover, and nothing to do.
        program.list()->clearSelection();
        QVERIFY(label->pixmap().isNull());
        QCOMPARE(menuStates(w), (QList{false, false, false}));
    }

    void fileWithoutCoverShowsNone()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, mp3("A", picture(30, 30, "PNG"), "image/png"));
        music.add(u"b.mp3"_s, mp3("B"));
        Program program(music.path());
        const TFormMain& w = program.main();
        program.clickRow(0);
        QVERIFY(!w.ui.LabelCover->pixmap().isNull());
        program.clickRow(1);
        QVERIFY(w.ui.LabelCover->pixmap().isNull());
        QVERIFY(w.ui.LabelCover->text().isEmpty());
        QVERIFY(w.ui.LabelCover->toolTip().isEmpty());
        QCOMPARE(menuStates(w), (QList{true, false, false}));
    }

    void pictureThatCannotBeShownIsAFrameWithWords_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<qint64>("size"); // the file made that long, with zeros
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("canSave");
        QByteArray noise(3000, '\0');
        for (char& c : noise)
            c = char(QRandomGenerator::global()->bounded(256));
        QTest::newRow("bytes that are no picture")
            << mp3("A", noise, "image/jpeg") << qint64(0) << u"无法显示的图片\n2.9 KB"_s << true;
        // A frame of 40 MiB is never read: its bytes are a sparse stretch of the file.
        const quint32 frameSize = 40u << 20;
        const QByteArray frameHead = "APIC"_ba + bigEndian32(frameSize) + QByteArray(2, '\0') +
                                     "\0image/jpeg\0\x03\0\xFF\xD8"_ba;
        QTest::newRow("too large to read")
            << id3v2Header(3, frameSize + 10) + frameHead << qint64(20 + frameSize)
            << u"无法显示的图片\n40.0 MB"_s << false;
    }
    void pictureThatCannotBeShownIsAFrameWithWords()
    {
        QFETCH(QByteArray, file);
        QFETCH(qint64, size);
        QFETCH(QString, text);
        QFETCH(bool, canSave);
        MusicFolder music;
        const QString path = music.add(u"a.mp3"_s, file);
        if (size > 0)
            QVERIFY(QFile(path).resize(size));
        Program program(music.path());
        program.clickRow(0);
        const QLabel* label = program.main().ui.LabelCover;
        QVERIFY(label->pixmap().isNull());
        QCOMPARE(label->text(), text);
        QVERIFY2(label->toolTip().startsWith(u"image/jpeg\n"_s), qPrintable(label->toolTip()));
        QCOMPARE(menuStates(program.main()), (QList{true, true, canSave}));
    }

    // One file: a save like the others, logged and undone; the page shows
    // the new cover, then the old one again.
    void setsAndUndoesOnOneFile()
    {
        MusicFolder music;
        const QByteArray before = mp3("A", picture(200, 100, "JPEG"));
        const QString file = music.add(u"a.mp3"_s, before);
        // A PNG under a JPEG's name: taken for what it is.
        const QByteArray png = picture(40, 80, "PNG");
        const QString chosen = music.add(u"picture.jpg"_s, png);
        Program program(music.path());
        TFormMain& w = program.main();
        w.CoverOpenDlg = [&](QWidget*) {
            return chosen;
        };
        program.clickRow(0);
        w.ui.MenuCoverSet->trigger();

        QCOMPARE(coverOf(file), png);
        QCOMPARE(tags::frontCover(nativePath(file))->mime, std::string("image/png"));
        QVERIFY(program.log().endsWith(file + u"更换封面."_s));
        QCOMPARE(shownSize(w.ui.LabelCover), QSize(47, 94));
        QCOMPARE(w.ui.MenuUndo->statusTip(), u"撤销: 封面"_s);

        w.ui.MenuUndo->trigger();
        QCOMPARE(readBytes(file), before);
        QCOMPARE(w.ui.EditFile->text(), file);
        QCOMPARE(shownSize(w.ui.LabelCover), QSize(94, 47));
    }

    void setsSeveralFilesAsOneStep()
    {
        MusicFolder music;
        const QList<QByteArray> before{mp3("A", picture(20, 20, "PNG"), "image/png"), mp3("B"),
                                       mp3("C", picture(10, 30, "JPEG"))};
        QStringList files;
        for (int i = 0; i < before.size(); ++i)
            files << music.add(QString(QChar(u'a' + i)) + u".mp3"_s, before[i]);
        const QByteArray jpeg = picture(64, 64, "JPEG");
        const QString chosen = music.add(u"cover.jpeg"_s, jpeg);
        Program program(music.path());
        TFormMain& w = program.main();
        w.CoverOpenDlg = [&](QWidget*) {
            return chosen;
        };
        program.clickRow(0);
        program.select({0, 1, 2});
        w.ui.MenuCoverSet->trigger();
        for (const QString& file : files) {
            QCOMPARE(coverOf(file), jpeg);
            QVERIFY(program.log().contains(file + u"更换封面."_s));
        }
        QCOMPARE(w.journal()->steps().size(), std::size_t(1));

        w.ui.MenuUndo->trigger();
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(readBytes(files[i]), before[i]);
    }

    void removesAndUndoes()
    {
        MusicFolder music;
        const QByteArray before = mp3("A", picture(200, 100, "JPEG"));
        const QString file = music.add(u"a.mp3"_s, before);
        music.add(u"b.mp3"_s, mp3("B"));
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        program.select({0, 1});
        w.ui.MenuCoverRemove->trigger();
        QVERIFY(coverOf(file).isEmpty());
        QVERIFY(program.log().contains(file + u"删除封面(封面)."_s));
        QVERIFY(w.ui.LabelCover->pixmap().isNull());
        QCOMPARE(menuStates(w), (QList{true, false, false}));
        TID3v2 tag;
        tag.ReadFromFile(nativePath(file));
        QCOMPARE(tag.Title.bytes, std::string("A"));

        w.ui.MenuUndo->trigger();
        QCOMPARE(readBytes(file), before);
        QCOMPARE(shownSize(w.ui.LabelCover), QSize(94, 47));
    }

    // A file whose only picture is a back cover: a new cover is added beside
    // it; removing the picture shown then takes the back cover and says so.
    void keepsTheBackCover()
    {
        MusicFolder music;
        const QByteArray backCover = picture(30, 20, "JPEG");
        const QByteArray frames = frame23("TIT2", textData(0, "A")) +
                                  frame23("APIC", "\0image/jpeg\0\x04\0"_ba + backCover);
        const QString file = music.add(u"a.mp3"_s, id3v2Tag(3, frames, 64) + silentMpegFrames());
        const QByteArray png = picture(40, 80, "PNG");
        const QString chosen = music.add(u"front.png"_s, png);
        Program program(music.path());
        TFormMain& w = program.main();
        w.CoverOpenDlg = [&](QWidget*) {
            return chosen;
        };
        program.clickRow(0);
        w.ui.MenuCoverSet->trigger();
        QCOMPARE(coverOf(file), png);
        QVERIFY(readBytes(file).contains(backCover));

        w.ui.MenuCoverRemove->trigger();
        QVERIFY(program.log().endsWith(file + u"删除封面(封面)."_s));
        QCOMPARE(coverOf(file), backCover);
        QCOMPARE(shownSize(w.ui.LabelCover), QSize(94, 62));
        w.ui.MenuCoverRemove->trigger();
        QVERIFY(program.log().endsWith(file + u"删除封面(封底)."_s));
        QVERIFY(coverOf(file).isEmpty());
    }

    void refusesWhatIsNoPicture()
    {
        MusicFolder music;
        const QByteArray before = mp3("A");
        const QString file = music.add(u"a.mp3"_s, before);
        QString chosen = music.add(u"text.png"_s, "just text");
        Program program(music.path());
        TFormMain& w = program.main();
        w.CoverOpenDlg = [&](QWidget*) {
            return chosen;
        };
        program.clickRow(0);
        w.ui.MenuCoverSet->trigger();
        QCOMPARE(readBytes(file), before);
        QCOMPARE(program.status(0), u"不是JPEG或PNG图片"_s);

        // A JPEG's signature on eleven bytes: refused before any file is touched.
        const QString stub = music.add(u"stub.jpg"_s, QByteArray("\xFF\xD8\xFF\xE0\0\x10JFIF", 11));
        chosen = stub;
        w.ui.MenuCoverSet->trigger();
        QCOMPARE(readBytes(file), before);
        QCOMPARE(program.status(0), u"图片已损坏或不完整,无法读取"_s);
        QVERIFY(program.log().endsWith(stub + u"不能用作封面: 图片已损坏或不完整,无法读取"_s));
    }

    void exportsTheBytes()
    {
        MusicFolder music;
        const QByteArray png = picture(33, 44, "PNG");
        const QByteArray before = mp3("A", png, "image/png");
        const QString file = music.add(u"歌.mp3"_s, before);
        Program program(music.path());
        TFormMain& w = program.main();
        QString proposed;
        QString target = music.file(u"out.png"_s);
        w.CoverSaveDlg = [&](QWidget*, const QString& path) {
            proposed = path;
            return target;
        };
        program.clickRow(0);
        w.ui.MenuCoverSave->trigger();
        QCOMPARE(proposed, music.file(u"歌.png"_s));
        QCOMPARE(readBytes(target), png);

        // Never over the MP3 itself.
        target = file;
        w.ui.MenuCoverSave->trigger();
        QCOMPARE(readBytes(file), before);
        QVERIFY2(program.status(0).contains(u"不能覆盖MP3文件本身"_s),
                 qPrintable(program.status(0)));
    }
};

MP3T_TEST_MAIN(CoverTest)
#include "CoverTest.moc"
