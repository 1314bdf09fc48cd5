// The batch page's fields beyond the title, the artist and the album, and the
// placeholders of the track, the disc and the album artist in the window:
// written through the real page on real files, read back by TagLib.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>

#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tpropertymap.h>

using namespace apptest;
using namespace testsupport;

namespace {

// What TagLib reads of a file, by its own names.
struct Oracle {
    QString title, comment, genre, track, disc, albumArtist;
    unsigned year = 0;

    explicit Oracle(const QString& path)
    {
        const TagLib::FileRef file(QFile::encodeName(path).constData());
        if (file.isNull() || !file.tag())
            return;
        const auto text = [](const TagLib::String& s) {
            return QString::fromStdString(s.to8Bit(true));
        };
        title = text(file.tag()->title());
        comment = text(file.tag()->comment());
        genre = text(file.tag()->genre());
        year = file.tag()->year();
        const TagLib::PropertyMap properties = file.file()->properties();
        const auto property = [&](const char* key) {
            return properties.contains(key) ? text(properties[key].toString()) : QString();
        };
        track = property("TRACKNUMBER");
        disc = property("DISCNUMBER");
        albumArtist = property("ALBUMARTIST");
    }
};

QByteArray taggedSong()
{
    return id3v2Tag(3,
                    frame23("TIT2", textData(1, utf16WithBom(u"歌名"_s))) +
                        frame23("TRCK", textData(0, "03")) +
                        frame23("COMM", textData(0, QByteArray("eng\0", 4) + "old note")),
                    64) +
           silentMpegFrames() + id3v1Trailer("Song", {}, {}, {}, "old note", 3);
}

} // namespace

class BatchFieldsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    // Typed values into every selected file: each field logged in the page's
    // order, a checked empty field cleared, what is not checked kept, and
    // the whole run taken back by one undo.
    void typedFieldsAreWrittenAndUndoneInOneStep()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, taggedSong());
        const QString b = music.add(u"b.mp3"_s, silentMpegFrames());
        const QByteArray aBefore = readBytes(a);
        const QByteArray bBefore = readBytes(b);
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.PageCtrlMain->setCurrentIndex(0);
        w.ui.MenuSelAll->trigger();
        const QList<std::pair<QCheckBox*, QLineEdit*>> fields{
            {w.ui.CheckBoxYear, w.ui.EditMYear},
            {w.ui.CheckBoxGenre, w.ui.EditMGenre},
            {w.ui.CheckBoxComment, w.ui.EditMComment},
            {w.ui.CheckBoxDisc, w.ui.EditMDisc},
            {w.ui.CheckBoxAlbumArtist, w.ui.EditMAlbumArtist}};
        const QStringList values{u"2003"_s, u"Pop"_s, QString(), u"1/2"_s, u"群星"_s};
        for (qsizetype i = 0; i < fields.size(); ++i) {
            fields[i].first->setChecked(true);
            fields[i].second->setText(values[i]);
        }
        program.select({int(program.captions().indexOf(u"a.mp3"_s))});
        QTRY_COMPARE(w.ui.LabelMPreview->text(),
                     u"将设为  年代: 2003  类型: Pop  备注: (空)  碟号: 1/2  专辑艺术家: 群星"_s);
        w.ui.MenuSelAll->trigger();
        w.ui.BtnChgMProp->click();

        QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
        QVERIFY(program.log().contains(a + u"修改年代.\n"_s + a + u"修改类型.\n"_s + a +
                                       u"修改备注.\n"_s + a + u"修改碟号.\n"_s + a +
                                       u"修改专辑艺术家."_s));
        for (const QString& path : {a, b}) {
            const Oracle read(path);
            QCOMPARE(read.year, 2003u);
            QCOMPARE(read.genre, u"Pop"_s);
            QCOMPARE(read.comment, QString());
            QCOMPARE(read.disc, u"1/2"_s);
            QCOMPARE(read.albumArtist, u"群星"_s);
        }
        QCOMPARE(Oracle(a).title, u"歌名"_s);
        QCOMPARE(Oracle(a).track, u"03"_s);

        w.ui.MenuUndo->trigger();
        QCOMPARE(readBytes(a), aBefore);
        QCOMPARE(readBytes(b), bBefore);
    }

    // A typed disc that is no number, or a field that "ID3v1 only" writes
    // nowhere, is said before anything runs.
    void fieldsThatCannotBeSetAreRefused_data()
    {
        QTest::addColumn<int>("showId");
        QTest::addColumn<QString>("message");
        QTest::newRow("a disc that is no number") << 2 << u"碟号应为 n 或 n/总数: 一"_s;
        QTest::newRow("ID3v1 holds no disc") << 0 << u"ID3v1 没有碟号, 只显示ID3v1时不能修改"_s;
    }
    void fieldsThatCannotBeSetAreRefused()
    {
        QFETCH(int, showId);
        QFETCH(QString, message);
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, taggedSong());
        const QByteArray before = readBytes(a);
        writeSetting(u"SysInfo"_s, u"ShowId"_s, QString::number(showId));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        w.ui.CheckBoxYear->setChecked(true);
        w.ui.EditMYear->setText(u"2003"_s);
        w.ui.CheckBoxDisc->setChecked(true);
        w.ui.EditMDisc->setText(showId == 0 ? u"1"_s : u"一"_s);
        ModalAnswers answers({ModalAnswers::accept()});
        w.ui.BtnChgMProp->click();
        QCOMPARE(answers.messages(), QStringList{message});
        QCOMPARE(readBytes(a), before);
        QVERIFY(program.log().isEmpty());
    }

    // "%7. %1": the renaming names the file after its track and title (the
    // list shows no track: the file is read), and the batch page reads such
    // a name back into the track and the title; a name whose track is no
    // number fails alone.
    void trackPlaceholderBothWays()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, taggedSong());
        Program program(music.path());
        TFormMain& w = program.main();
        const QList<QLabel*> legend = w.ui.PanelProp->findChildren<QLabel*>();
        QCOMPARE(legend.size(), 3);
        QCOMPARE(legend[2]->text(), u"%7-音轨 %8-碟号 %9-专辑艺术家"_s);

        w.ui.PageCtrlMain->setCurrentIndex(1);
        w.ui.EditNameFormat->clear();
        w.ui.MenuTrack->trigger();
        w.ui.EditNameFormat->insert(u". "_s);
        w.ui.MenuTitle->trigger();
        QCOMPARE(w.ui.EditNameFormat->text(), u"%7. %1"_s);
        w.ui.MenuDisc->trigger();
        w.ui.MenuAlbumArtist->trigger();
        QCOMPARE(w.ui.EditNameFormat->text(), u"%7. %1%8%9"_s);
        w.ui.EditNameFormat->setText(u"%7. %1"_s);
        program.clickRow(0);
        QTRY_COMPARE(w.ui.LabelNamePreview->text(), u"a.mp3 → 03. 歌名.MP3"_s);
        runRenaming(w);
        QCOMPARE(program.captions(), QStringList{u"03. 歌名.MP3"_s});

        music.add(u"07. 红豆.mp3"_s, silentMpegFrames());
        music.add(u"xx. 红豆.mp3"_s, silentMpegFrames());
        w.MenuReFlashClick();
        QTRY_COMPARE(program.captions().size(), 3);
        w.ui.PageCtrlMain->setCurrentIndex(0);
        for (auto [check, source] : {std::pair{w.ui.CheckBoxTitle, w.ui.RadioGrpMTitle},
                                     std::pair{w.ui.CheckBoxTrack, w.ui.RadioGrpMTrack}}) {
            check->setChecked(true);
            source->setItemIndex(0);
        }
        w.ui.EditNamePattern->setText(u"%7. %1"_s);
        w.ui.MenuSelAll->trigger();
        w.ui.BtnChgMProp->click();
        QCOMPARE(program.status(2), u"共修改:3  成功:2  失败:1"_s);
        const Oracle back(music.file(u"07. 红豆.mp3"_s));
        QCOMPARE(back.track, u"07"_s);
        QCOMPARE(back.title, u"红豆"_s);
        QCOMPARE(Oracle(music.file(u"03. 歌名.MP3"_s)).track, u"03"_s);
        QVERIFY(program.log().contains(music.file(u"xx. 红豆.mp3"_s) +
                                       u"修改属性失败: track 应为 n 或 n/总数: xx"_s));
        QCOMPARE(readBytes(music.file(u"xx. 红豆.mp3"_s)), silentMpegFrames());
    }
};

MP3T_TEST_MAIN(BatchFieldsTest)
#include "BatchFieldsTest.moc"
