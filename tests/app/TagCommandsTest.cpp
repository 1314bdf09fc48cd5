// The window's tag commands on real files: saving one file's page, the batch
// tag change, the copies between versions and the batch renaming.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QTabWidget>

#include <sys/stat.h>

using namespace apptest;
using namespace testsupport;

namespace {

struct Tags {
    TID3v1 v1;
    TID3v2 v2;
    explicit Tags(const QString& path)
    {
        v1.ReadFromFile(nativePath(path));
        v2.ReadFromFile(nativePath(path));
    }
};

QByteArray bothTags(const QByteArray& v2Title, const QByteArray& v1Title, int track = 0)
{
    return id3v2Tag(3, frame23("TIT2", textData(0, v2Title)), 16) + silentMpegFrames() +
           id3v1Trailer(v1Title, {}, {}, {}, {}, track);
}

} // namespace

class TagCommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void saveWritesByPriorityAndSelectsTheNextRow_data()
    {
        QTest::addColumn<int>("showId");
        QTest::addColumn<bool>("v1");
        QTest::addColumn<bool>("v2");
        QTest::newRow("ID3v1 only") << 0 << true << false;
        QTest::newRow("ID3v2 only") << 1 << false << true;
        QTest::newRow("prefer ID3v2") << 2 << true << true;
    }
    void saveWritesByPriorityAndSelectsTheNextRow()
    {
        QFETCH(int, showId);
        QFETCH(bool, v1);
        QFETCH(bool, v2);
        MusicFolder music;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            music.add(QString::fromLatin1(name), silentMpegFrames());
        writeSetting(u"SysInfo"_s, u"ShowId"_s, QString::number(showId));
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(1);
        w.ui.EditTitle->setEnabled(true);
        w.ui.EditTitle->setText(QString(40, u'T'));
        w.ui.BtnChgProp->click();
        const Tags tags(music.file(u"b.mp3"_s));
        QCOMPARE(tags.v1.Exists(), v1);
        QCOMPARE(tags.v2.Exists(), v2);
        if (v1)
            QCOMPARE(tags.v1.Title(), std::string(30, 'T'));
        if (v2)
            QCOMPARE(tags.v2.Title.bytes, std::string(40, 'T'));
        QVERIFY(program.log().endsWith(music.file(u"b.mp3"_s) + u"修改属性."_s));
        QCOMPARE(w.ui.EditFile->text(), music.file(u"c.mp3"_s));
        QVERIFY(w.ui.EditTitle->hasFocus() || !w.ui.EditTitle->isEnabled());
        // Saving the last row selects the first.
        w.ui.BtnChgProp->click();
        QCOMPARE(w.ui.EditFile->text(), music.file(u"a.mp3"_s));
    }

    void enterInAFieldSaves()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "old");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"0"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        w.ui.EditComment->setFocus();
        w.ui.EditComment->setText(u"备注"_s);
        QTest::keyClick(w.ui.EditComment, Qt::Key_Return);
        QCOMPARE(Tags(music.file(u"a.mp3"_s)).v1.Comment(), gbk(u"备注"_s).toStdString());
        QTest::keyClicks(w.ui.EditYear, u"20245"_s);
        QCOMPARE(w.ui.EditYear->text().size(), 4);
    }

    void saveOnAFileThatVanishedFails()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        music.addV1(u"b.mp3"_s, "B");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"0"_s);
        Program program(music.path());
        program.clickRow(1);
        QFile::rename(music.file(u"b.mp3"_s), music.file(u"z.txt"_s));
        program.main().ui.BtnChgProp->click();
        QCOMPARE(program.log(), music.file(u"b.mp3"_s) + u"修改属性失败."_s);
        QCOMPARE(program.status(0), u"文件不存在"_s);
        QVERIFY(!QFile::exists(music.file(u"b.mp3"_s)));
    }

    void batchChangeWithNothingTickedWritesNothing()
    {
        MusicFolder music;
        const QByteArray bytes = silentMpegFrames();
        music.add(u"a.mp3"_s, bytes);
        Program program(music.path());
        program.select({0});
        program.main().ui.BtnChgMProp->click();
        QCOMPARE(readBytes(music.file(u"a.mp3"_s)), bytes);
        QCOMPARE(program.status(2), u"共修改:0  成功:0  失败:0"_s);
        QCOMPARE(program.log(), QString());
        QCOMPARE(program.rows(), 1);
    }

    void batchTitlesFromFileNames()
    {
        MusicFolder music;
        for (const QString& name : {u"第一首.mp3"_s, u"a.b.mp3"_s, u"Song.MP3"_s})
            music.add(name, silentMpegFrames());
        Program program(music.path());
        TFormMain& w = program.main();
        program.main().ui.MenuSelAll->trigger();
        w.ui.CheckBoxTitle->setChecked(true);
        w.ui.CheckBoxArtist->setChecked(true);
        w.ui.EditMArtist->setText(u"歌手"_s);
        w.ui.BtnChgMProp->click();
        // Unicode in ID3v2 (the default), GBK in ID3v1.
        QCOMPARE(Tags(music.file(u"第一首.mp3"_s)).v2.Title, tags::unicodeText("第一首"));
        QCOMPARE(Tags(music.file(u"第一首.mp3"_s)).v1.Title(), gbk(u"第一首"_s).toStdString());
        QCOMPARE(Tags(music.file(u"a.b.mp3"_s)).v1.Title(), std::string("a.b"));
        QCOMPARE(Tags(music.file(u"Song.MP3"_s)).v2.Title.bytes, std::string("Song"));
        QCOMPARE(Tags(music.file(u"Song.MP3"_s)).v2.Artist, tags::unicodeText("歌手"));
        const QString path = music.file(u"第一首.mp3"_s);
        QVERIFY(program.log().contains(path + u"修改标题.\n"_s + path + u"修改作者."_s));
        QCOMPARE(program.status(2), u"共修改:3  成功:3  失败:0"_s);
        QCOMPARE(program.cells(program.captions().indexOf(u"第一首.mp3"_s)).mid(0, 2),
                 QStringList({u"第一首"_s, u"歌手"_s}));
    }

    void batchFailureCountsUnderPreferV2()
    {
        MusicFolder music;
        const QString locked = music.subfolder(u"locked"_s);
        writeBytes(locked + u"/a.mp3"_s, silentMpegFrames());
        Program program(locked + u'/');
        ::chmod(QFile::encodeName(locked).constData(), 0555);
        program.select({0});
        program.main().ui.CheckBoxAlbum->setChecked(true);
        program.main().ui.EditMAlbum->setText(u"X"_s);
        program.main().ui.BtnChgMProp->click();
        ::chmod(QFile::encodeName(locked).constData(), 0755);
        QCOMPARE(program.status(2), u"共修改:1  成功:0  失败:1"_s);
        // Both versions go in one write: the ID3v1 trailer is not written either.
        QCOMPARE(readBytes(locked + u"/a.mp3"_s), silentMpegFrames());
        QVERIFY(program.log().contains(locked + u"/a.mp3修改属性失败: 文件夹只读"_s));
    }

    void copies_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("choice");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("totals");
        QTest::newRow("v1 to v2, keep") << u"BtnV1V2"_s << 0 << u"由于ID3v2已经存在,取消复制."_s
                                        << u"共修改:2  成功:1  失败:1"_s;
        QTest::newRow("v1 to v2, overwrite")
            << u"BtnV1V2"_s << 1 << u"将ID3v1复制到ID3v2成功."_s << u"共修改:2  成功:2  失败:0"_s;
        QTest::newRow("v2 to v1, keep") << u"BtnV2V1"_s << 0 << u"由于ID3v1已经存在,取消复制."_s
                                        << u"共修改:2  成功:0  失败:2"_s;
        QTest::newRow("v2 to v1, overwrite")
            << u"BtnV2V1"_s << 1 << u"将ID3v2复制到ID3v1成功."_s << u"共修改:2  成功:1  失败:1"_s;
    }
    void copies()
    {
        QFETCH(QString, button);
        QFETCH(int, choice);
        QFETCH(QString, message);
        QFETCH(QString, totals);
        MusicFolder music;
        const QString both = music.add(u"a both.mp3"_s, bothTags("Two", "One", 7));
        music.addV1(u"b v1.mp3"_s, "Only");
        music.add(u"c none.mp3"_s, silentMpegFrames());
        Program program(music.path());
        program.select({0, 1});
        ModalAnswers answers({[choice](QWidget* d) {
            d->findChild<TRadioGroup*>(u"RadioGrpSel"_s)->setItemIndex(choice);
            d->findChild<QPushButton*>(u"BtnOk"_s)->click();
        }});
        program.find<QPushButton>(button)->click();
        QVERIFY(program.log().contains(both + message));
        QCOMPARE(program.status(2), totals);
        QCOMPARE(program.main().ui.PageCtrlMain->currentIndex(), 0);
        const Tags tags(both);
        if (choice == 1 && button == u"BtnV2V1"_s) {
            QCOMPARE(tags.v1.Title(), std::string("Two"));
            QCOMPARE(tags.v1.Track(), 7);
        }
        if (choice == 1 && button == u"BtnV1V2"_s)
            QCOMPARE(tags.v2.Title.bytes, std::string("One"));
    }

    void cancelledCopyChangesNothing()
    {
        MusicFolder music;
        const QByteArray bytes = bothTags("Two", "One");
        music.add(u"a.mp3"_s, bytes);
        Program program(music.path());
        program.select({0});
        program.main().ui.PageCtrlMain->setCurrentIndex(0);
        ModalAnswers answers({ModalAnswers::click(u"BtnCancel"_s)});
        program.main().ui.BtnV1V2->click();
        QCOMPARE(readBytes(music.file(u"a.mp3"_s)), bytes);
        QCOMPARE(program.log(), QString());
        QCOMPARE(program.status(0), QString());
        QCOMPARE(program.main().ui.PageCtrlMain->currentIndex(), 0);
        QCOMPARE(program.selected().size(), 1);
    }

    void renameByPattern()
    {
        MusicFolder music;
        music.add(u"x.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, "Song")) +
                                              frame23("TPE1", textData(0, "Band"))) +
                                  silentMpegFrames());
        music.add(u"y.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(0, gbk(u"第一首"_s))) +
                                              frame23("TPE1", textData(0, gbk(u"歌手"_s)))) +
                                  silentMpegFrames());
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.RadioGrpFileName->setItemIndex(1);
        QCOMPARE(w.ui.EditNameFormat->text(), u"%2-%1"_s);
        w.ui.MenuSelAll->trigger();
        runRenaming(w);
        QVERIFY(QFile::exists(music.file(u"Band-Song.MP3"_s)));
        QVERIFY(QFile::exists(music.file(u"歌手-第一首.MP3"_s)));
        QVERIFY(!QFile::exists(music.file(u"x.mp3"_s)));
        QVERIFY(program.log().contains(music.file(u"x.mp3"_s) + u"->"_s +
                                       music.file(u"Band-Song.MP3"_s)));
        QCOMPARE(program.captions(), QStringList({u"Band-Song.MP3"_s, u"歌手-第一首.MP3"_s}));
        QCOMPARE(program.status(0), u"批量修改文件名完成"_s);
        QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
        QCOMPARE(w.ui.PageCtrlMain->currentIndex(), 1);
        QVERIFY(!w.ui.BtnFileName->isEnabled());
        QVERIFY(w.RefreshEnabled);
        // The same pattern again renames nothing, logs nothing and counts
        // nothing: the totals text stays as the last counted file left it.
        const QString log = program.log();
        w.ui.MenuReFlash->trigger();
        w.ui.MenuSelAll->trigger();
        bool nothingToRun = false;
        ModalAnswers plan({[&](QWidget* dialog) {
            nothingToRun = !dialog->findChild<QPushButton*>(u"BtnPlanRun"_s)->isEnabled();
            dialog->findChild<QPushButton*>(u"BtnPlanCancel"_s)->click();
        }});
        w.ui.BtnFileName->click();
        QVERIFY(nothingToRun);
        QCOMPARE(program.log(), log);
        QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
        QCOMPARE(program.captions(), QStringList({u"Band-Song.MP3"_s, u"歌手-第一首.MP3"_s}));
    }

    void renameToTheUpperCaseExtension()
    {
        MusicFolder music;
        music.addV1(u"Song.mp3"_s, "Song");
        Program program(music.path());
        program.select({0});
        runRenaming(program.main());
        QCOMPARE(program.status(2), u"共修改:1  成功:1  失败:0"_s);
        QVERIFY(QFile::exists(music.file(u"Song.MP3"_s)));
    }

    // The plan renames the files it can and names the others in the log:
    // an empty name no longer ends the run, and two files that would take
    // one name both keep theirs.
    void filesThatCannotBeRenamedAreLoggedAndCounted()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "First");
        music.addV1(u"b.mp3"_s, "");
        music.addV1(u"c.mp3"_s, "Same");
        music.addV1(u"d.mp3"_s, "Same");
        music.addV1(u"e.mp3"_s, "Fifth");
        Program program(music.path());
        program.main().ui.MenuSelAll->trigger();
        runRenaming(program.main());
        QCOMPARE(QDir(music.path()).entryList(QDir::Files, QDir::Name),
                 QStringList({u"Fifth.MP3"_s, u"First.MP3"_s, u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s}));
        QCOMPARE(program.captions(),
                 QStringList({u"First.MP3"_s, u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s, u"Fifth.MP3"_s}));
        const QString log = program.log();
        QVERIFY(log.contains(music.file(u"b.mp3"_s) + u"修改文件名失败！(新文件名为空)"_s));
        QVERIFY(
            log.contains(music.file(u"c.mp3"_s) + u"修改文件名失败！(与“d.mp3”的新文件名相同)"_s));
        QVERIFY(log.contains(music.file(u"d.mp3"_s) + u"修改文件名失败！"_s));
        QCOMPARE(readBytes(music.file(u"d.mp3"_s)).right(128).mid(3, 4), QByteArray("Same"));
        QCOMPARE(program.status(0), u"批量修改文件名完成"_s);
        QCOMPARE(program.status(2), u"共修改:5  成功:2  失败:3"_s);
    }

    void presetsAndPlaceholders()
    {
        Program program;
        TFormMain& w = program.main();
        TRadioGroup* presets = w.ui.RadioGrpFileName;
        QLineEdit* pattern = w.ui.EditNameFormat;
        presets->setItemIndex(3);
        QCOMPARE(pattern->text(), u"%2-%3-%1"_s);
        pattern->setText(u"%3-%1"_s);
        QCOMPARE(presets->itemIndex(), 2);
        pattern->setText(u"%3-%1 "_s);
        QCOMPARE(presets->itemIndex(), -1);
        pattern->setText(u"%1-%2"_s);
        pattern->setCursorPosition(2);
        w.ui.MenuAlbum->trigger();
        QCOMPARE(pattern->text(), u"%1%3-%2"_s);
        QCOMPARE(pattern->cursorPosition(), 4);
        pattern->setText(u"%1-%2"_s);
        pattern->setSelection(2, 3);
        w.ui.MenuAlbum->trigger();
        QCOMPARE(pattern->text(), u"%1%3-%2"_s);
    }

    // The button "属性(&V)" takes the focus, and the edit drops its selection
    // as it loses it: the insertion still goes where the selection began.
    void placeholderGoesWhereTheSelectionWasBeforeTheButton()
    {
        Program program;
        TFormMain& w = program.main();
        w.ui.PageCtrlMain->setCurrentIndex(1);
        QLineEdit* pattern = w.ui.EditNameFormat;
        pattern->setText(u"%1-%2"_s);
        pattern->setFocus();
        pattern->setSelection(2, 3);
        QTest::mouseClick(w.ui.BtnAddProp, Qt::LeftButton);
        QTRY_VERIFY(w.ui.PopupMenuProp->isVisible());
        w.ui.PopupMenuProp->close();
        QVERIFY(!pattern->hasFocus());
        w.ui.MenuAlbum->trigger();
        QCOMPARE(pattern->text(), u"%1%3-%2"_s);
        QCOMPARE(pattern->cursorPosition(), 4);
    }

    // An error of the operating system in the middle of a batch fails that
    // file, with the system's words in the log; the others are written.
    void systemErrorFailsOneFileOfTheBatch()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, silentMpegFrames());
        music.add(u"b.mp3"_s, silentMpegFrames());
        // A folder in the place of the rewrite's temporary copy cannot be cleared away.
        QDir(music.path()).mkpath(u"a.mp3.tdexbak/inside"_s);
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        w.ui.CheckBoxTitle->setChecked(true);
        ModalAnswers answers;
        w.ui.BtnChgMProp->click();
        QCOMPARE(answers.messages().size(), 0);
        QCOMPARE(program.status(0), u"批量修改属性完成"_s);
        QCOMPARE(program.status(2), u"共修改:2  成功:1  失败:1"_s);
        QVERIFY(!w.ProgressBar->isVisible());
        QCOMPARE(w.ui.PageCtrlMain->currentIndex(), 0);
        QCOMPARE(Tags(music.file(u"b.mp3"_s)).v2.Title.bytes, std::string("b"));
        QCOMPARE(readBytes(music.file(u"a.mp3"_s)), silentMpegFrames());
        QVERIFY(program.log().contains(music.file(u"a.mp3"_s) + u"修改属性失败: 写入失败: "_s));
        // The list was rebuilt and takes input again.
        QCOMPARE(program.rows(), 2);
        program.clickRow(1);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"b.mp3"_s));
    }

    // An error of the operating system in a single save is a failed save:
    // said in the log and the status bar, the page kept as typed.
    void systemErrorInASaveKeepsThePage()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, silentMpegFrames());
        QDir(music.path()).mkpath(u"a.mp3.tdexbak/inside"_s);
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        w.ui.EditTitle->setText(u"kept"_s);
        ModalAnswers answers;
        w.ui.BtnChgProp->click();
        QCOMPARE(answers.answered(), 0);
        QCOMPARE(program.log(), a + u"修改属性失败."_s);
        QVERIFY(program.status(0).startsWith(u"写入失败: "_s));
        QCOMPARE(w.ui.EditTitle->text(), u"kept"_s);
        QCOMPARE(readBytes(a), silentMpegFrames());
    }

    // The batch change refuses a ".mp3" that is a text file, and says why.
    void batchRefusesAFileThatIsNoMp3()
    {
        MusicFolder music;
        const QByteArray text = QByteArray("notes\n").repeated(40);
        const QString a = music.add(u"a.mp3"_s, text);
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        w.ui.CheckBoxArtist->setChecked(true);
        w.ui.EditMArtist->setText(u"Band"_s);
        w.ui.BtnChgMProp->click();
        QVERIFY(program.log().contains(a + u"修改属性失败: 不是MP3文件"_s));
        QCOMPARE(readBytes(a), text);
    }

    // A file too short to hold a tag has a row without cells: the batch
    // change makes them, a rename pattern finds empty values and gives no
    // name; a pattern without placeholders still renames it.
    void rowsWithoutCells()
    {
        MusicFolder music;
        music.add(u"short.mp3"_s, QByteArray("\xFF\xFB\x90\x64\0", 5)); // a frame header
        Program program(music.path());
        TFormMain& w = program.main();
        QCOMPARE(program.cells(0), QStringList(5, QString()));
        program.select({0});
        w.ui.EditNameFormat->setText(u"x%3y"_s);
        runRenaming(w);
        QVERIFY(QFile::exists(music.file(u"short.mp3"_s)));
        w.ui.EditNameFormat->setText(u"xy"_s);
        runRenaming(w);
        QVERIFY(QFile::exists(music.file(u"xy.MP3"_s)));
        // The shell list follows the rename on disk by itself.
        QTRY_COMPARE(w.ui.ShellList->topLevelItemCount() == 1 &&
                         w.ui.ShellList->topLevelItem(0)->text(0) == u"xy.MP3"_s,
                     true);
        program.select({0});
        w.ui.CheckBoxArtist->setChecked(true);
        w.ui.EditMArtist->setText(u"Band"_s);
        w.ui.BtnChgMProp->click();
        QVERIFY(program.log().endsWith(music.file(u"xy.MP3"_s) + u"修改作者."_s));
        QCOMPARE(program.rows(), 1);
        QCOMPARE(program.cells(0).at(1), u"Band"_s);
    }
};

MP3T_TEST_MAIN(TagCommandsTest)
#include "TagCommandsTest.moc"
