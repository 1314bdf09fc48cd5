// The property page's track, disc, album artist, composer and lyrics, and
// the page over several selected files: what it shows, what its save writes
// (read back by TagLib), and what it leaves as each file has it.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <QTabBar>

#include <sys/stat.h>

using namespace apptest;
using namespace testsupport;

namespace {

// The text of the file's first frame of the ID as TagLib reads it; empty for none.
QString frameText(const QString& path, const char* id)
{
    TagLib::MPEG::File file(nativePath(path).c_str());
    const TagLib::ID3v2::Tag* tag = file.ID3v2Tag();
    const TagLib::ID3v2::FrameList frames =
        tag ? tag->frameListMap()[id] : TagLib::ID3v2::FrameList();
    return frames.isEmpty() ? QString()
                            : QString::fromStdString(frames.front()->toString().to8Bit(true));
}

QByteArray song(const QByteArray& title, const QByteArray& artist = {},
                const QByteArray& album = {}, const QByteArray& more = {})
{
    QByteArray frames = frame23("TIT2", textData(0, title));
    if (!artist.isEmpty())
        frames += frame23("TPE1", textData(0, artist));
    if (!album.isEmpty())
        frames += frame23("TALB", textData(0, album));
    return id3v2Tag(3, frames + more, 64) + silentMpegFrames();
}

QByteArray lyrics(const QByteArray& text)
{
    return frame23("USLT", QByteArray("\0XXX\0", 5) + text);
}

// What the page shows, as a user sees it.
QStringList pageShown(TFormMain& w)
{
    QStringList shown{w.ui.EditFile->text(), w.ui.LabelV1Fit->text(), w.ui.LabelLyrics->text()};
    for (QLineEdit* edit :
         {w.ui.EditTitle, w.ui.EditArt, w.ui.EditAlbum, w.ui.EditYear, w.ui.ComboGenre->lineEdit(),
          w.ui.EditComment, w.ui.EditTrack, w.ui.EditDisc, w.ui.EditAlbumArtist, w.ui.EditComposer})
        shown << edit->text() + (edit->isEnabled() ? u""_s : u" (disabled)"_s);
    return shown;
}

void pressKey(Qt::Key key)
{
    QTest::keyClick(QApplication::focusWidget(), key);
}

} // namespace

class PageFieldsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    // Each new field is written by the save and shown again; the track also
    // goes to ID3v1.1 where ID3v1 is written. Under "ID3v1 only" the fields
    // ID3v2 alone holds are disabled: nothing would keep them.
    void newFieldsAreSavedAndShownAgain_data()
    {
        QTest::addColumn<QString>("showId");
        QTest::addColumn<QString>("trackShown");
        QTest::addColumn<int>("v1Track");
        QTest::newRow("prefer ID3v2") << u"2"_s << u"3/12"_s << 3;
        QTest::newRow("ID3v2 only") << u"1"_s << u"3/12"_s << 0;
        QTest::newRow("ID3v1 only") << u"0"_s << u"3"_s << 3;
    }
    void newFieldsAreSavedAndShownAgain()
    {
        QFETCH(QString, showId);
        QFETCH(QString, trackShown);
        QFETCH(int, v1Track);
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, song("A") + id3v1Trailer("A"));
        music.add(u"b.mp3"_s, song("B"));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, showId);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        const bool v2 = showId != u"0"_s;
        QCOMPARE(w.ui.EditDisc->isEnabled(), v2);
        QCOMPARE(w.ui.EditAlbumArtist->isEnabled(), v2);
        QCOMPARE(w.ui.EditComposer->isEnabled(), v2);
        w.ui.EditTrack->setText(u"3/12"_s);
        if (v2) {
            w.ui.EditDisc->setText(u"1/2"_s);
            w.ui.EditAlbumArtist->setText(u"群星"_s);
            w.ui.EditComposer->setText(u"周杰伦"_s);
        }
        w.ui.BtnChgProp->click();
        QCOMPARE(frameText(a, "TRCK"), v2 ? u"3/12"_s : QString());
        QCOMPARE(frameText(a, "TPOS"), v2 ? u"1/2"_s : QString());
        QCOMPARE(frameText(a, "TPE2"), v2 ? u"群星"_s : QString());
        QCOMPARE(frameText(a, "TCOM"), v2 ? u"周杰伦"_s : QString());
        TagLib::MPEG::File file(nativePath(a).c_str());
        QCOMPARE(int(file.ID3v1Tag()->track()), v1Track);

        program.clickRow(0);
        QCOMPARE(w.ui.EditTrack->text(), trackShown);
        QCOMPARE(w.ui.EditDisc->text(), v2 ? u"1/2"_s : QString());
        QCOMPARE(w.ui.EditAlbumArtist->text(), v2 ? u"群星"_s : QString());
        QCOMPARE(w.ui.EditComposer->text(), v2 ? u"周杰伦"_s : QString());
    }

    // The track typed decides the ID3v1 comment's room (28 bytes beside a
    // track number, 30 without), a number over 255 does not fit ID3v1.1, and
    // the number lands in byte 126 behind a zero byte 125. A track that is
    // no number is refused with a word, the file untouched.
    void trackGoesToId3v11()
    {
        MusicFolder music;
        const QByteArray comment(30, 'c');
        const QString a =
            music.add(u"a.mp3"_s, silentMpegFrames() + id3v1Trailer("A", {}, {}, {}, comment));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"2"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.LabelV1Fit->text(), QString());
        w.ui.EditTrack->setText(u"300"_s);
        QCOMPARE(w.ui.LabelV1Fit->text(), u"ID3v1将截断: 音轨"_s);
        w.ui.EditTrack->setText(u"abc"_s);
        const QByteArray before = readBytes(a);
        w.ui.BtnChgProp->click();
        QCOMPARE(program.status(0), u"音轨应为数字或“数字/总数”"_s);
        QCOMPARE(readBytes(a), before);
        QCOMPARE(QApplication::focusWidget(), w.ui.EditTrack);
        w.ui.EditTrack->setText(u"7"_s);
        QCOMPARE(w.ui.LabelV1Fit->text(), u"ID3v1将截断: 备注"_s);
        w.ui.BtnChgProp->click();
        const QByteArray trailer = readBytes(a).right(128);
        QCOMPARE(int(trailer[125]), 0);
        QCOMPARE(int(trailer[126]), 7);
        QCOMPARE(trailer.mid(97, 28), comment.left(28));
        QCOMPARE(frameText(a, "TRCK"), u"7"_s);
    }

    void lyricsAreShown()
    {
        MusicFolder music;
        QByteArray text;
        for (int i = 0; i < 23; ++i)
            text += "[00:" + QByteArray::number(10 + i) + ".00]line\r\n";
        music.add(u"a.mp3"_s, song("A", {}, {}, lyrics(text)));
        music.add(u"b.mp3"_s, song("B"));
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.LabelLyrics->text(), u"歌词: 有 (23 行)"_s);
        program.clickRow(1);
        QCOMPARE(w.ui.LabelLyrics->text(), u"歌词: 无"_s);
        program.select({0, 1});
        QCOMPARE(w.ui.LabelLyrics->text(), u"歌词: 有 (1/2)"_s);
    }

    // Several rows: each field shows what the files share, or "<保留>". A
    // field changed is written to every file, one emptied is cleared in
    // every file, one left alone stays as each file has it; one step of
    // the history takes all of it back.
    void severalRowsSetOnlyWhatWasChanged()
    {
        MusicFolder music;
        const QStringList files{music.add(u"a.mp3"_s, song("A", "X", "Alb")),
                                music.add(u"b.mp3"_s, song("B", "Y", "Alb")),
                                music.add(u"c.mp3"_s, song("C", "Y", "Alb"))};
        QList<QByteArray> before;
        for (const QString& file : files)
            before << readBytes(file);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        program.select({0, 1, 2});
        QCOMPARE(w.ui.EditFile->text(), u"已选择 3 个文件"_s);
        QCOMPARE(w.ui.EditTitle->text(), u"<保留>"_s);
        QCOMPARE(w.ui.EditArt->text(), u"<保留>"_s);
        QCOMPARE(w.ui.EditAlbum->text(), u"Alb"_s);
        QCOMPARE(w.ui.EditComposer->text(), QString());
        w.ui.EditArt->setText(u"新作者"_s);
        w.ui.EditAlbum->clear();
        w.ui.EditComposer->setText(u"谱曲"_s);
        const std::size_t steps = w.journal()->steps().size();
        w.ui.BtnChgProp->click();
        for (int i = 0; i < files.size(); ++i) {
            QCOMPARE(frameText(files[i], "TIT2"), QString(QChar(u'A' + i)));
            QCOMPARE(frameText(files[i], "TPE1"), u"新作者"_s);
            QCOMPARE(frameText(files[i], "TALB"), QString());
            QCOMPARE(frameText(files[i], "TCOM"), u"谱曲"_s);
            QVERIFY(program.log().contains(files[i] + u"修改属性."_s));
        }
        QCOMPARE(program.status(2), u"共修改:3  成功:3  失败:0"_s);
        QCOMPARE(program.selected(), (QList<int>{0, 1, 2}));
        QCOMPARE(w.ui.EditArt->text(), u"新作者"_s);
        QCOMPARE(w.ui.EditTitle->text(), u"<保留>"_s);
        QCOMPARE(w.journal()->steps().size(), steps + 1);

        w.ui.MenuUndo->trigger();
        for (int i = 0; i < files.size(); ++i)
            QCOMPARE(readBytes(files[i]), before[i]);
    }

    // A file that cannot be written, and one another program wrote since
    // the page was filled, are each said in the log and left as they are;
    // the others still get the change.
    void severalRowsRefuseWhatTheyMustNotWrite()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, song("A"));
        const QString b = music.add(u"b.mp3"_s, song("B"));
        const QString c = music.add(u"c.mp3"_s, song("C"));
        QVERIFY(::chmod(nativePath(b).c_str(), 0444) == 0); // no write bit: read-only for root too
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0, 1, 2});
        w.ui.EditArt->setText(u"新作者"_s);
        const QByteArray elsewhere = song("elsewhere");
        writeBytes(c, elsewhere);
        w.ui.BtnChgProp->click();
        QCOMPARE(frameText(a, "TPE1"), u"新作者"_s);
        QCOMPARE(frameText(b, "TPE1"), QString());
        QCOMPARE(readBytes(c), elsewhere);
        QVERIFY(program.log().contains(b + u"修改属性失败: 文件只读"_s));
        QVERIFY(program.log().contains(c + u"修改属性失败: 文件已被其他程序修改"_s));
        QCOMPARE(program.status(2), u"共修改:3  成功:1  失败:2"_s);
    }

    // Rows selected on another page (select all, then a batch) are read
    // when the user comes to the property page: the page shows what the
    // files hold then, and its save takes that as what the user saw.
    void severalRowsAreReadWhenThePageIsShown()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, song("A", "X", "Alb"));
        const QString b = music.add(u"b.mp3"_s, song("B", "Y", "Alb"));
        Program program(music.path());
        TFormMain& w = program.main();
        QTabBar* tabs = w.ui.PageCtrlMain->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(0).center());
        QCOMPARE(w.ui.PageCtrlMain->currentWidget(), w.ui.TabShMProp);
        program.select({0, 1});
        writeBytes(b, song("B", "Y", "Other")); // another program, after the selection
        QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(2).center());
        QCOMPARE(w.ui.PageCtrlMain->currentWidget(), w.ui.TabShProp);
        QCOMPARE(w.ui.EditFile->text(), u"已选择 2 个文件"_s);
        QCOMPARE(w.ui.EditAlbum->text(), u"<保留>"_s);
        QCOMPARE(w.ui.EditArt->text(), u"<保留>"_s);
        w.ui.EditComposer->setText(u"谱曲"_s);
        w.ui.BtnChgProp->click();
        QCOMPARE(frameText(b, "TCOM"), u"谱曲"_s);
        QCOMPARE(frameText(b, "TALB"), u"Other"_s);
        QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
    }

    // Unsaved edits over several files are asked about like one file's.
    void severalRowsAskBeforeTheyAreLeft()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, song("A"));
        const QString b = music.add(u"b.mp3"_s, song("B"));
        music.add(u"c.mp3"_s, song("C"));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0, 1});
        w.ui.EditComposer->setText(u"谱曲"_s);
        ModalAnswers save({[](QWidget* box) {
            for (QAbstractButton* b : box->findChildren<QAbstractButton*>()) {
                if (b->text() == u"是"_s)
                    b->click();
            }
        }});
        program.clickRow(2);
        QCOMPARE(save.messages(), QStringList{u"保存修改吗?"_s});
        QCOMPARE(frameText(a, "TCOM"), u"谱曲"_s);
        QCOMPARE(frameText(b, "TCOM"), u"谱曲"_s);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"c.mp3"_s));
    }

    // One row again after several: the page is the one file's, exactly.
    // Tab walks the fields row by row; Enter in a new field saves.
    void oneRowAgainAndTheKeyboard()
    {
        MusicFolder music;
        const QString a =
            music.add(u"a.mp3"_s, song("A", "X", {}, lyrics("la")) + id3v1Trailer("A"));
        music.add(u"b.mp3"_s, song("B"));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"2"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        const QStringList single = pageShown(w);
        program.select({0, 1});
        QVERIFY(pageShown(w) != single);
        program.clickRow(0);
        QCOMPARE(pageShown(w), single);

        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        w.ui.EditTitle->setFocus();
        for (int i = 0; i < 5; ++i)
            pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.ui.EditTrack);
        QTest::keyClicks(w.ui.EditTrack, u"4"_s);
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.ui.EditDisc);
        pressKey(Qt::Key_Tab);
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.ui.EditAlbumArtist);
        QTest::keyClicks(w.ui.EditAlbumArtist, u"VA"_s);
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w.ui.EditComposer);
        pressKey(Qt::Key_Return);
        QCOMPARE(frameText(a, "TRCK"), u"4"_s);
        QCOMPARE(frameText(a, "TPE2"), u"VA"_s);
        QCOMPARE(program.selected(), QList<int>{1});
        QCOMPARE(QApplication::focusWidget(), w.ui.EditTitle);
    }
};

MP3T_TEST_MAIN(PageFieldsTest)
#include "PageFieldsTest.moc"
