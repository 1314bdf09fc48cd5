// The main window as the user meets it: start-up, the list and the property
// page under each priority, the menus, the options dialog, closing, and the
// batch frame.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include "app/ErrorReport.h"
#include "app/Option.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>

#include <cerrno>
#include <stdexcept>
#include <system_error>

using namespace apptest;
using namespace testsupport;

namespace {
QByteArray v2Frames(const QByteArray& title, const QByteArray& genre = {})
{
    QByteArray frames = frame23("TIT2", textData(0, title));
    if (!genre.isEmpty())
        frames += frame23("TCON", textData(0, genre));
    return frames;
}
} // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // An error of the system that reaches the window's general handler is
    // shown in Chinese, not as the system's English; any other as it is.
    void systemErrorsShownInChinese()
    {
        ModalAnswers answers;
        ShowException(std::system_error(EACCES, std::generic_category(), "read"));
        ShowException(std::runtime_error("其他错误"));
        QCOMPARE(answers.messages(), QStringList({u"操作失败: 权限不足"_s, u"其他错误"_s}));
    }

    void init() { QFile::remove(settingsPath()); }

    void startsWithDefaultsWithoutSettings()
    {
        writeBytes(QDir::homePath() + u"/home.mp3"_s, silentMpegFrames());
        Program program;
        QVERIFY(program.startupMessages().isEmpty());
        TFormMain& w = program.main();
        QCOMPARE(w.ShowId, 2);
        QCOMPARE(w.ui.PageCtrlMain->tabText(2), u"属性编辑(ID3v2优先)"_s);
        QCOMPARE(w.ui.PageCtrlMain->currentIndex(), 2);
        QCOMPARE(w.ui.ShellList->Path(), QDir::homePath() + u'/');
        QCOMPARE(w.WinampPath, QString());
        QCOMPARE(w.StartPosition, 0);
        QCOMPARE(program.captions(), QStringList{u"home.mp3"_s});
        QCOMPARE(w.ui.ComboGenre->count(), 148);
        QCOMPARE(w.ui.ComboGenre->itemText(17), u"Rock"_s);
        QCOMPARE(w.windowTitle(), u"Mp3Tagloom V1.0"_s);
        QCOMPARE(program.status(2), u"共修改:0  成功:0  失败:0"_s);
        QVERIFY(!w.ProgressBar->isVisible());
        QFile::remove(QDir::homePath() + u"/home.mp3"_s);
    }

    void badShowIdStopsStartup()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"two"_s);
        Program program(music.path());
        // The main window stops at the priority; the options dialog reports it again.
        QCOMPARE(program.startupMessages(), QStringList({u"'two' is not a valid integer value"_s,
                                                         u"'two' is not a valid integer value"_s}));
        QCOMPARE(program.main().ui.PageCtrlMain->tabText(2), u"属性编辑"_s);
        QCOMPARE(program.rows(), 0);
        QCOMPARE(program.main().ui.ShellList->Path(), QDir::homePath() + u'/');
    }

    // An unplugged stick: the message, then the home folder with its files.
    void missingStartFolderShowsTheHomeFolder()
    {
        writeBytes(QDir::homePath() + u"/home.mp3"_s, silentMpegFrames());
        const QString gone = QDir::homePath() + u"/gone/"_s;
        Program program(gone);
        QFile::remove(QDir::homePath() + u"/home.mp3"_s);
        QCOMPARE(program.startupMessages(), QStringList{u"Cannot Find Folder: "_s + gone});
        TFormMain& w = program.main();
        QCOMPARE(w.ui.ShellList->Path(), QDir::homePath() + u'/');
        QCOMPARE(w.ui.ShellTree->SelectedFolder(), QDir::homePath() + u'/');
        QCOMPARE(program.captions(), QStringList{u"home.mp3"_s});
        QCOMPARE(w.ui.PageCtrlMain->tabText(2), u"属性编辑(ID3v2优先)"_s);
        QCOMPARE(w.ui.PageCtrlMain->currentIndex(), 2);
    }

    void rowsByPriority_data()
    {
        QTest::addColumn<int>("showId");
        QTest::addColumn<QStringList>("both");
        QTest::addColumn<QStringList>("v1only");
        QTest::addColumn<QStringList>("v2only");
        QTest::addColumn<QStringList>("otherVersion");
        const QStringList empty(5, QString());
        const QStringList v1{u"One"_s, u"Band"_s, QString(), QString(), u"Rock"_s};
        const QStringList v2{u"第二"_s, QString(), QString(), QString(), u"Pop"_s};
        // Where ID3v2 is shown, a field it leaves empty shows ID3v1's text.
        const QStringList v2OverV1{u"第二"_s, u"Band"_s, QString(), QString(), u"Pop"_s};
        QTest::newRow("ID3v1 only") << 0 << v1 << v1 << empty << empty;
        QTest::newRow("ID3v2 only") << 1 << v2OverV1 << v1 << v2 << v1;
        QTest::newRow("prefer ID3v2") << 2 << v2OverV1 << v1 << v2 << v1;
    }
    void rowsByPriority()
    {
        QFETCH(int, showId);
        QFETCH(QStringList, both);
        QFETCH(QStringList, v1only);
        QFETCH(QStringList, v2only);
        QFETCH(QStringList, otherVersion);
        MusicFolder music;
        const QByteArray v1 = id3v1Trailer("One", "Band", {}, {}, {}, 0, 17);
        const QByteArray v2 = id3v2Tag(3, v2Frames(gbk(u"第二"_s), "(13)"));
        music.add(u"1 both.mp3"_s, v2 + silentMpegFrames() + v1);
        music.add(u"2 v1.mp3"_s, silentMpegFrames() + v1);
        music.add(u"3 v2.mp3"_s, v2 + silentMpegFrames());
        // A tag of a version the program does not know exists, with no texts:
        // ID3v1's show in its place.
        music.add(u"4 v9.mp3"_s,
                  id3v2Header(9, 20) + QByteArray(20, 'x') + silentMpegFrames() + v1);
        writeSetting(u"SysInfo"_s, u"ShowId"_s, QString::number(showId));
        Program program(music.path());
        QCOMPARE(program.rows(), 4);
        QCOMPARE(program.cells(0), both);
        QCOMPARE(program.cells(1), v1only);
        QCOMPARE(program.cells(2), v2only);
        QCOMPARE(program.cells(3), showId == 0 ? v1only : otherVersion);
    }

    void genreBytesBeyondTheTableShowNoGenre()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A", {}, 0, 148);
        music.addV1(u"b.mp3"_s, "B", {}, 0, 254);
        music.addV1(u"c.mp3"_s, "C", {}, 0, 147);
        Program program(music.path());
        QCOMPARE(program.text(0, 5), QString());
        QCOMPARE(program.text(1, 5), QString());
        QCOMPARE(program.text(2, 5), u"Synthpop"_s);
    }

    void showIdOutsideTheRangeShowsNoTags()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"7"_s);
        Program program(music.path());
        QCOMPARE(program.main().ui.PageCtrlMain->tabText(2), u"属性编辑(7)"_s);
        QCOMPARE(program.captions(), QStringList{u"a.mp3"_s});
        QCOMPARE(program.cells(0), QStringList(5, QString()));
    }

    void foldersCountInTheIconSequence()
    {
        MusicFolder music;
        music.subfolder(u"sub1"_s);
        music.subfolder(u"sub2"_s);
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3", "d.mp3"})
            music.addV1(QString::fromLatin1(name), "x");
        music.add(u"cover.jpg"_s, "jpeg");
        Program program(music.path());
        QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s}));
        const auto& images = program.main().ui.ImageListMain;
        // Items 0 and 1 are the folders: the files have positions 2 to 5.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(program.cell(i).data(Qt::DecorationRole).value<QIcon>().cacheKey(),
                     images.value((i + 2) % 5 + 8).cacheKey());
    }

    void selectionFillsThePage()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, id3v2Tag(3, v2Frames(gbk(u"标题甲"_s), "rock")) + silentMpegFrames());
        music.addV1(u"b.mp3"_s, "Bee", {}, 0, 255);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"a.mp3"_s));
        QCOMPARE(w.ui.EditTitle->text(), u"标题甲"_s);
        QVERIFY(w.ui.EditTitle->isEnabled());
        // A genre found whatever its letter case.
        QCOMPARE(w.ui.ComboGenre->currentIndex(), 17);
        for (const char* b :
             {"BtnChgProp", "BtnLsn", "BtnChgMProp", "BtnV1V2", "BtnV2V1", "BtnFileName"})
            QVERIFY(program.find<QPushButton>(QString::fromLatin1(b))->isEnabled());
        program.clickRow(1);
        QCOMPARE(w.ui.EditTitle->text(), u"Bee"_s);
        QCOMPARE(w.ui.ComboGenre->currentIndex(), -1);
        QCOMPARE(w.ui.ComboGenre->currentText(), QString());
    }

    void pageIsEmptyWhenItCannotBeFilled()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, silentMpegFrames());
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"a.mp3"_s));
        // Empty fields, ready for a tag to be typed.
        QVERIFY(w.ui.EditTitle->isEnabled());
        QCOMPARE(w.ui.EditTitle->text(), QString());
        QVERIFY(w.ui.BtnChgProp->isEnabled());
        // A deselection empties and disables everything again.
        w.ui.ListViewMain->clearSelection();
        QCOMPARE(w.ui.EditFile->text(), QString());
        QVERIFY(!w.ui.BtnChgProp->isEnabled());
    }

    void doubleClickAndSelectAllSelectEveryRow()
    {
        MusicFolder music;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            music.addV1(QString::fromLatin1(name), name);
        Program program(music.path());
        TReportList* list = program.list();
        const QPoint p = program.pointOnRow(1);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, p);
        QCOMPARE(program.selected().size(), 3);
        // The page shows the three files: their titles differ.
        QCOMPARE(program.main().ui.EditFile->text(), u"已选择 3 个文件"_s);
        QCOMPARE(program.main().ui.EditTitle->text(), u"<保留>"_s);
        list->clearSelection();
        program.main().ui.MenuSelAll->trigger();
        QCOMPARE(program.selected().size(), 3);
    }

    void deleteIsDisabledWithoutSelection()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        QMenu* menu = program.main().ui.PopupMenuList;
        Q_EMIT menu->aboutToShow();
        QVERIFY(!program.main().ui.MenuDelFile->isEnabled());
        QVERIFY(program.main().ui.MenuSelAll->isEnabled());
        program.select({0});
        Q_EMIT menu->aboutToShow();
        QVERIFY(program.main().ui.MenuDelFile->isEnabled());
    }

    void optionsOkAndCancel()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s,
                  id3v2Tag(3, v2Frames("two")) + silentMpegFrames() + id3v1Trailer("one"));
        Program program(music.path());
        TFormMain& w = program.main();
        QCOMPARE(program.cells(0).first(), u"two"_s);
        const auto chooseV1 = [](QWidget* dialog) {
            dialog->findChild<TRadioGroup*>(u"RadioGrpID"_s)->setItemIndex(0);
        };
        {
            ModalAnswers answers({[&](QWidget* d) {
                chooseV1(d);
                d->findChild<QPushButton*>(u"BtnCancel"_s)->click();
            }});
            w.ui.MenuItemOption->trigger();
        }
        QCOMPARE(readSetting(u"SysInfo"_s, u"ShowId"_s), u"<none>"_s);
        QCOMPARE(w.ShowId, 2);
        QCOMPARE(program.cells(0).first(), u"two"_s);
        {
            ModalAnswers answers({ModalAnswers::click(u"BtnOk"_s)});
            w.ui.MenuItemOption->trigger();
        }
        // The dialog kept the cancelled choice and OK wrote it.
        QCOMPARE(readSetting(u"SysInfo"_s, u"ShowId"_s), u"0"_s);
        QCOMPARE(w.ShowId, 0);
        QCOMPARE(w.ui.PageCtrlMain->tabText(2), u"属性编辑(ID3v1)"_s);
        QCOMPARE(program.cells(0).first(), u"one"_s);
    }

    void batchRunsOverEveryRowAndCountsTheSelected()
    {
        MusicFolder music;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            music.addV1(QString::fromLatin1(name), "x");
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({1});
        w.ui.CheckBoxTitle->setChecked(true);
        QList<int> positions;
        int maximum = -1;
        connect(w.ProgressBar, &QProgressBar::valueChanged, this, [&](int v) {
            positions << v;
            maximum = w.ProgressBar->maximum();
        });
        w.ui.BtnChgMProp->click();
        QCOMPARE(positions, QList<int>({0, 1, 2}));
        QCOMPARE(maximum, 2);
        QCOMPARE(program.status(2), u"共修改:1  成功:1  失败:0"_s);
        QCOMPARE(program.status(0), u"批量修改属性完成"_s);
        QVERIFY(!w.ProgressBar->isVisible());
        QCOMPARE(w.ui.PageCtrlMain->currentIndex(), 0);
        QCOMPARE(program.cells(1).first(), u"b"_s);
        QCOMPARE(program.cells(0).first(), u"x"_s);
    }

    void aboutBoxShowsAndCloses()
    {
        Program program;
        ModalAnswers answers({ModalAnswers::click(u"OKButton"_s)});
        program.main().ui.MenuItemAbout->trigger();
        QCOMPARE(answers.answered(), 1);
    }

    // Last: once the exit command has asked the application to end, no later
    // event loop (a modal dialog's) would run.
    void closeSavesTheFolderExitDoesNot()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        const QString other = music.subfolder(u"other"_s) + u'/';
        {
            Program program(music.path());
            program.showFolder(other);
            program.main().ui.MenuItemExit->trigger();
        }
        QCOMPARE(readSetting(u"SysInfo"_s, u"path"_s), music.path());
        {
            Program program(music.path());
            program.showFolder(other);
            QVERIFY(program.main().close());
        }
        QCOMPARE(readSetting(u"SysInfo"_s, u"path"_s), other);
    }
};

MP3T_TEST_MAIN(MainWindowTest)
#include "MainWindowTest.moc"
