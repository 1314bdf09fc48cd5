// The report list follows what other programs do in the shown folder: new,
// removed and renamed files come and go by themselves, folders never become
// rows, and the selection and the property page stay while their file does.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QSignalSpy>

#include <cstdio>

using namespace apptest;
using namespace testsupport;

namespace {

// The shell list merges a change 500 ms after the last one; inotify adds its own delay.
constexpr int kMergeWaitMs = 5000;

QByteArray v1File(const QByteArray& title, const QByteArray& artist)
{
    return silentMpegFrames() + id3v1Trailer(title, artist, {}, {}, {}, 0, 255);
}

} // namespace

class ListFollowsDiskTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void filesOfOtherProgramsComeAndGo()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        music.addV1(u"b.mp3"_s, "B");
        Program program(music.path());
        music.addV1(u"c.mp3"_s, "C");
        QTRY_COMPARE_WITH_TIMEOUT(program.captions(),
                                  QStringList({u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}), kMergeWaitMs);
        QCOMPARE(program.cells(2).at(0), u"C"_s);
        QVERIFY(QFile::rename(music.file(u"a.mp3"_s), music.file(u"d.mp3"_s)));
        QTRY_COMPARE_WITH_TIMEOUT(program.captions(),
                                  QStringList({u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s}), kMergeWaitMs);
    }

    // A folder made or renamed while its parent is shown is merged in after
    // the files; it must never get a row that a delete, a rename or a drop
    // would then act on.
    void aNewFolderGetsNoRow()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        QVERIFY(QDir(music.path()).mkdir(u"new.mp3"_s));
        music.addV1(u"b.mp3"_s, "B");
        QTRY_COMPARE_WITH_TIMEOUT(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s}),
                                  kMergeWaitMs);
        // A rebuild of its own (the refresh menu) gives no row either.
        program.main().RebuildList();
        QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s}));
        program.main().ui.MenuSelAll->trigger();
        program.main().ui.MenuDelFile->trigger();
        QVERIFY(QFileInfo(music.file(u"new.mp3"_s)).isDir());
    }

    // A change elsewhere in the folder keeps the selection and the typed,
    // unsaved values of the page.
    void selectionAndEditsStayWhileTheirFileDoes()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        music.addV1(u"b.mp3"_s, "B");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"0"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(1);
        w.ui.EditTitle->setText(u"typed"_s);
        music.addV1(u"0.mp3"_s, "zero");
        QTRY_COMPARE_WITH_TIMEOUT(program.rows(), 3, kMergeWaitMs);
        // A merge adds at the end; it does not sort.
        QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s, u"0.mp3"_s}));
        QCOMPARE(program.selected(), QList<int>{1});
        QCOMPARE(program.list()->currentIndex().row(), 1);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"b.mp3"_s));
        QCOMPARE(w.ui.EditTitle->text(), u"typed"_s);
        // The file of the page goes: the page goes with it.
        QVERIFY(QFile::remove(music.file(u"b.mp3"_s)));
        QTRY_COMPARE_WITH_TIMEOUT(program.rows(), 2, kMergeWaitMs);
        QCOMPARE(w.ui.EditFile->text(), QString());
        QVERIFY(!w.ui.BtnChgProp->isEnabled());
    }

    // The renaming run empties the page and disables the buttons until the
    // user changes the selection; the rebuild that follows its renames on
    // disk keeps it so.
    void pageEmptiedByARenamingRunStaysEmpty()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "Song");
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QSignalSpy rebuilt(w.ui.ListViewMain->model(), &QAbstractItemModel::modelReset);
        runRenaming(w);
        QCOMPARE(program.captions(), QStringList{u"Song.MP3"_s});
        QTRY_VERIFY_WITH_TIMEOUT(rebuilt.count() > 0, kMergeWaitMs);
        QCOMPARE(program.captions(), QStringList{u"Song.MP3"_s});
        QCOMPARE(w.ui.EditFile->text(), QString());
        QVERIFY(!w.ui.BtnFileName->isEnabled());
    }

    // Another program changes a shown file's tags, writing it in place or
    // renaming a new file over it: the row and the page read it again.
    void rowsFollowTagsWrittenElsewhere()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "Old", "Band");
        music.addV1(u"b.mp3"_s, "Other");
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditTitle->text(), u"Old"_s);

        QVERIFY(writeBytes(music.file(u"a.mp3"_s), v1File("New", "Band")));
        QTRY_COMPARE_WITH_TIMEOUT(program.cells(0).at(0), u"New"_s, kMergeWaitMs);
        QCOMPARE(w.ui.EditTitle->text(), u"New"_s);
        QCOMPARE(program.cells(1).at(0), u"Other"_s);

        // Made outside the folder, so that the folder sees no new name.
        const QString copy = music.path() + u"../copy.mp3"_s;
        QVERIFY(writeBytes(copy, v1File("Newer", "Band")));
        QVERIFY(::rename(nativePath(copy).c_str(), nativePath(music.file(u"a.mp3"_s)).c_str()) ==
                0);
        QTRY_COMPARE_WITH_TIMEOUT(program.cells(0).at(0), u"Newer"_s, kMergeWaitMs);
        QCOMPARE(w.ui.EditTitle->text(), u"Newer"_s);
        QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s}));
    }

    // The renaming plan reads each file when it is made: a change the list
    // has not caught up with yet is in it, and the preview follows.
    void renamingPlanReadsTheFiles()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "Old");
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.PageCtrlMain->setCurrentIndex(1);
        w.ui.EditNameFormat->setText(u"%1"_s);
        program.clickRow(0);
        QTRY_COMPARE(w.ui.LabelNamePreview->text(), u"a.mp3 → Old.MP3"_s);

        QVERIFY(writeBytes(music.file(u"a.mp3"_s), v1File("Changed", "")));
        QStringList rows;
        ModalAnswers answers({[&](QWidget* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>(u"ListViewPlan"_s);
            for (int i = 0; i < list->topLevelItemCount(); ++i)
                rows << list->topLevelItem(i)->text(0) + u'|' + list->topLevelItem(i)->text(1);
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        w.ui.BtnFileName->click();
        QCOMPARE(rows, QStringList{u"a.mp3|Changed.MP3"_s});
        QTRY_COMPARE_WITH_TIMEOUT(w.ui.LabelNamePreview->text(), u"a.mp3 → Changed.MP3"_s,
                                  kMergeWaitMs);
        QCOMPARE(program.captions(), QStringList{u"a.mp3"_s});
    }

    // A save that was killed leaves its copy beside the music; showing the
    // folder clears it away, even where no row reads the file (a priority
    // that names no tag), but never a copy whose music is missing.
    void staleCopiesGoWhenTheFolderIsShown()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        music.add(u"a.mp3.tdexbak"_s, "half a copy");
        music.add(u"gone.mp3.tdexbak"_s, "the only copy");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"5"_s);
        Program program(music.path());
        QCOMPARE(program.captions(), QStringList{u"a.mp3"_s});
        QVERIFY(!QFile::exists(music.file(u"a.mp3.tdexbak"_s)));
        QVERIFY(QFile::exists(music.file(u"gone.mp3.tdexbak"_s)));
    }
};

MP3T_TEST_MAIN(ListFollowsDiskTest)
#include "ListFollowsDiskTest.moc"
