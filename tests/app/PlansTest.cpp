// The renaming plan and the previews, as a user meets them: the new name
// under the pattern, the plan dialog before anything moves, swaps, drops onto
// a folder that has the same names, and tags read out of file names.

#include "tests/app/MainWindowFixture.h"
#include "tests/app/TreeDrops.h"
#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include "app/RenamePlanDialog.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QTabWidget>

using namespace apptest;
using namespace testsupport;

namespace {

QStringList filesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// The plan's rows as "old|new|state".
QStringList planRows(QWidget* dialog)
{
    QStringList out;
    auto* list = dialog->findChild<QTreeWidget*>(u"ListViewPlan"_s);
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = list->topLevelItem(i);
        out << row->text(0) + u'|' + row->text(1) + u'|' + row->text(2);
    }
    return out;
}

QString labelText(QWidget* dialog, const QString& name)
{
    return dialog->findChild<QLabel*>(name)->text();
}

} // namespace

class PlansTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    // The comment has no column, yet "%6" names files after it.
    void theCommentNamesFilesThoughItIsNotShown()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, silentMpegFrames() + id3v1Trailer("Song", {}, {}, {}, "Live"));
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(w.ui.ListViewMain->isColumnHidden(6));
        w.ui.PageCtrlMain->setCurrentIndex(1);
        w.ui.EditNameFormat->setText(u"%1 %6"_s);
        program.clickRow(0);
        QTRY_COMPARE(w.ui.LabelNamePreview->text(), u"a.mp3 → Song Live.MP3"_s);
        runRenaming(w);
        QVERIFY(QFile::exists(music.file(u"Song Live.MP3"_s)));
        QCOMPARE(program.captions(), QStringList{u"Song Live.MP3"_s});
    }

    void namePreviewFollowsThePatternAndTheSelection()
    {
        MusicFolder music;
        music.addV2(u"a.mp3"_s, "Song", "Band");
        music.addV2(u"b.mp3"_s, gbk(u"歌名"_s), gbk(u"歌手"_s));
        music.addV2(u"c.mp3"_s, "", "Band");
        Program program(music.path());
        TFormMain& w = program.main();
        QLabel* preview = w.ui.LabelNamePreview;
        w.ui.PageCtrlMain->setCurrentIndex(1);
        program.clickRow(0);
        QTRY_COMPARE(preview->text(), u"a.mp3 → Song.MP3"_s);
        // Typed by the keyboard, as a user edits the pattern.
        w.ui.EditNameFormat->setFocus();
        w.ui.EditNameFormat->selectAll();
        QTest::keyClicks(w.ui.EditNameFormat, u"%2 - %1"_s);
        QTRY_COMPARE(preview->text(), u"a.mp3 → Band - Song.MP3"_s);
        program.clickRow(1);
        QTRY_COMPARE(preview->text(), u"b.mp3 → 歌手 - 歌名.MP3"_s);
        w.ui.EditNameFormat->setText(u"%1"_s);
        program.clickRow(2);
        QTRY_COMPARE(preview->text(), u"c.mp3 → (空)\n新文件名为空,不会改名"_s);
        // Another file of the folder has the name already.
        music.addV1(u"Song.MP3"_s, "Other");
        program.clickRow(0);
        QTRY_VERIFY(preview->text().startsWith(u"a.mp3 → Song.MP3\n冲突: "_s));
        // With two selected rows wanting one name, the others are counted.
        QFile::remove(music.file(u"Song.MP3"_s));
        w.ui.EditNameFormat->setText(u"%2"_s);
        program.select({0, 1, 2});
        QTRY_COMPARE(preview->text(), u"a.mp3 → Band.MP3\n冲突: 与“c.mp3”的新文件名相同\n"
                                      u"另有 1 个选中的文件不能改名"_s);
        program.select({});
        QTRY_COMPARE(preview->text(), QString());
    }

    // Every state in the plan; a cancel changes nothing at all.
    void planShowsEveryStateAndCancelChangesNothing()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "New");
        music.addV1(u"Same.MP3"_s, "Same");
        music.addV1(u"c.mp3"_s, "Twin");
        music.addV1(u"d.mp3"_s, "Twin");
        music.addV1(u"e.mp3"_s, "");
        music.addV1(u"g.mp3"_s, "Taken");
        music.subfolder(u"Taken.MP3"_s);
        const QStringList before = filesIn(music.path());
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        QStringList rows;
        QString caption;
        QString counts;
        ModalAnswers answers({[&](QWidget* dialog) {
            caption = dialog->windowTitle();
            rows = planRows(dialog);
            counts = labelText(dialog, u"LabelPlanCounts"_s);
            dialog->findChild<QPushButton*>(u"BtnPlanCancel"_s)->click();
        }});
        w.ui.BtnFileName->click();
        QCOMPARE(caption, u"重命名预览"_s);
        QCOMPARE(rows, QStringList({u"a.mp3|New.MP3|重命名"_s, u"c.mp3|Twin.MP3|冲突"_s,
                                    u"d.mp3|Twin.MP3|冲突"_s, u"e.mp3||空文件名"_s,
                                    u"g.mp3|Taken.MP3|冲突"_s, u"Same.MP3|Same.MP3|不变"_s}));
        QCOMPARE(counts, u"重命名 1 个,不变 1 个,冲突 3 个,空文件名 1 个,无效 0 个"_s);
        QCOMPARE(filesIn(music.path()), before);
        QCOMPARE(program.log(), QString());
        QCOMPARE(program.status(0), QString());
    }

    // A name in GBK bytes shows as the list shows it, in the preview, the
    // plan and the plan's notes; a file without tags gets no name made of
    // the pattern's separators; a title's leading dot and control character
    // become "_" in the plan and the run.
    void awkwardNamesInThePreviewThePlanAndTheRun()
    {
        MusicFolder music;
        const QByteArray folder = QFile::encodeName(music.path());
        const QByteArray gbkName = nativetest::gbk(u"老歌.mp3"_s);
        QVERIFY(::rename(QFile::encodeName(music.addV2(u"x.mp3"_s, "Twin", "Band")),
                         folder + gbkName) == 0);
        music.addV2(u"a.mp3"_s, "Twin", "Band");
        music.add(u"b.mp3"_s, silentMpegFrames());
        music.addV2(u"c.mp3"_s, ".hidden", "Band");
        music.addV2(u"d.mp3"_s, "x\x01y", "Band");
        Program program(music.path());
        TFormMain& w = program.main();
        const int old = int(program.captions().indexOf(u"老歌.mp3"_s));
        QVERIFY(old >= 0);
        w.ui.PageCtrlMain->setCurrentIndex(1);
        w.ui.EditNameFormat->setText(u"%1 - %2"_s);
        program.select({old});
        QTRY_COMPARE(w.ui.LabelNamePreview->text(), u"老歌.mp3 → Twin - Band.MP3"_s);

        w.ui.MenuSelAll->trigger();
        QStringList rows;
        QString note;
        ModalAnswers answers({[&](QWidget* dialog) {
            rows = planRows(dialog);
            const auto* list = dialog->findChild<QTreeWidget*>(u"ListViewPlan"_s);
            note = list->topLevelItem(0)->text(3);
            dialog->findChild<QPushButton*>(u"BtnPlanRun"_s)->click();
        }});
        w.ui.BtnFileName->click();
        rows.sort();
        QCOMPARE(rows, QStringList({u"a.mp3|Twin - Band.MP3|冲突"_s, u"b.mp3||空文件名"_s,
                                    u"c.mp3|_hidden - Band.MP3|重命名"_s,
                                    u"d.mp3|x_y - Band.MP3|重命名"_s,
                                    u"老歌.mp3|Twin - Band.MP3|冲突"_s}));
        QCOMPARE(note, u"与“老歌.mp3”的新文件名相同"_s);
        QCOMPARE(filesIn(music.path()), QStringList({u"_hidden - Band.MP3"_s, u"a.mp3"_s,
                                                     u"b.mp3"_s, u"x_y - Band.MP3"_s}));
        QVERIFY(nativetest::existsAt(folder + gbkName));
    }

    void aNameTooLongForTheFileSystemIsInvalid()
    {
        MusicFolder music;
        music.addV2(u"a.mp3"_s, QByteArray(200, 'x'), QByteArray(60, 'y'));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        w.ui.EditNameFormat->setText(u"%1%2"_s);
        QStringList rows;
        ModalAnswers answers({[&](QWidget* dialog) {
            rows = planRows(dialog);
            QVERIFY(!dialog->findChild<QPushButton*>(u"BtnPlanRun"_s)->isEnabled());
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        w.ui.BtnFileName->click();
        QCOMPARE(rows.size(), 1);
        QVERIFY(rows[0].endsWith(u"|无效"_s));
        QCOMPARE(filesIn(music.path()), QStringList{u"a.mp3"_s});
    }

    // Two files that take each other's names, and a chain: the plan runs
    // them all (Enter on the plan), and one undo gives every name back.
    void swapAndChainRunAsOneUndoStep()
    {
        MusicFolder music;
        music.addV1(u"A.MP3"_s, "B");
        music.addV1(u"B.MP3"_s, "A");
        music.addV1(u"C.MP3"_s, "D");
        music.addV1(u"D.MP3"_s, "E");
        const QByteArray a = readBytes(music.file(u"A.MP3"_s));
        const QByteArray c = readBytes(music.file(u"C.MP3"_s));
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.MenuSelAll->trigger();
        ModalAnswers answers({[](QWidget* dialog) {
            QTest::keyClick(dialog, Qt::Key_Return);
        }});
        w.ui.BtnFileName->click();
        QCOMPARE(answers.answered(), 1);
        QCOMPARE(filesIn(music.path()),
                 QStringList({u"A.MP3"_s, u"B.MP3"_s, u"D.MP3"_s, u"E.MP3"_s}));
        QCOMPARE(readBytes(music.file(u"B.MP3"_s)), a);
        QCOMPARE(readBytes(music.file(u"D.MP3"_s)), c);
        QCOMPARE(program.captions(), QStringList({u"B.MP3"_s, u"A.MP3"_s, u"D.MP3"_s, u"E.MP3"_s}));
        QVERIFY(program.log().contains(music.file(u"A.MP3"_s) + u"->"_s + music.file(u"B.MP3"_s)));
        QCOMPARE(program.status(2), u"共修改:4  成功:4  失败:0"_s);
        w.ui.MenuUndo->trigger();
        QCOMPARE(filesIn(music.path()),
                 QStringList({u"A.MP3"_s, u"B.MP3"_s, u"C.MP3"_s, u"D.MP3"_s}));
        QCOMPARE(readBytes(music.file(u"A.MP3"_s)), a);
        QCOMPARE(readBytes(music.file(u"C.MP3"_s)), c);
    }

    // Files dropped onto a folder that has some of their names: the plan
    // asks, and the answer decides.
    void dropOntoClashingNames_data()
    {
        QTest::addColumn<int>("choice");
        QTest::addColumn<QStringList>("target");
        QTest::addColumn<QStringList>("left");
        QTest::newRow("skip") << 0 << QStringList({u"a.mp3"_s, u"b.mp3"_s})
                              << QStringList{u"b.mp3"_s};
        QTest::newRow("keep both")
            << 1 << QStringList({u"a.mp3"_s, u"b (2).mp3"_s, u"b.mp3"_s}) << QStringList{};
        QTest::newRow("cancel") << -1 << QStringList{u"b.mp3"_s}
                                << QStringList({u"a.mp3"_s, u"b.mp3"_s});
    }
    void dropOntoClashingNames()
    {
        QFETCH(int, choice);
        QFETCH(QStringList, target);
        QFETCH(QStringList, left);
        MusicFolder music;
        const QString sub = music.subfolder(u"sub"_s);
        music.addV1(u"a.mp3"_s, "a");
        music.addV1(u"b.mp3"_s, "mine");
        writeBytes(sub + u"/b.mp3"_s, "theirs");
        const QByteArray mine = readBytes(music.file(u"b.mp3"_s));
        Program program(music.path());
        TFormMain& w = program.main();
        QStringList rows;
        ModalAnswers answers({[&](QWidget* dialog) {
            QCOMPARE(dialog->windowTitle(), u"移动预览"_s);
            QCOMPARE(labelText(dialog, u"LabelPlanTarget"_s), u"目标文件夹: "_s + sub);
            QVERIFY(dialog->findChild<QLabel*>(u"LabelPlanTarget"_s)->isVisible());
            if (choice < 0) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                return;
            }
            dialog->findChild<TRadioGroup*>(u"RadioGrpPlanClash"_s)->setItemIndex(choice);
            rows = planRows(dialog);
            dialog->findChild<QPushButton*>(u"BtnPlanRun"_s)->click();
        }});
        QTreeWidgetItem* node = nodeOf(w, sub);
        w.ui.MenuSelAll->trigger();
        QVERIFY(dropRowsOn(w, node));
        QTRY_COMPARE(answers.answered(), 1);
        QTRY_COMPARE(filesIn(music.path()), left);
        QCOMPARE(filesIn(sub), target);
        QCOMPARE(readBytes(sub + u"/b.mp3"_s), QByteArray("theirs"));
        QCOMPARE(program.captions(), left);
        if (choice == 0) {
            QCOMPARE(rows, QStringList({u"a.mp3|a.mp3|移动"_s, u"b.mp3|b.mp3|冲突"_s}));
            QVERIFY(program.log().endsWith(music.file(u"b.mp3"_s) +
                                           u"未移动: 目标文件夹已有同名的项"_s));
        }
        if (choice == 1) {
            QCOMPARE(rows, QStringList({u"a.mp3|a.mp3|移动"_s, u"b.mp3|b (2).mp3|改名后移动"_s}));
            QCOMPARE(readBytes(sub + u"/b (2).mp3"_s), mine);
            // One undo brings both back under their own names.
            w.ui.MenuUndo->trigger();
            QCOMPARE(filesIn(music.path()), QStringList({u"a.mp3"_s, u"b.mp3"_s}));
            QCOMPARE(readBytes(music.file(u"b.mp3"_s)), mine);
            QCOMPARE(filesIn(sub), QStringList{u"b.mp3"_s});
        }
        if (choice < 0)
            QCOMPARE(program.log(), QString());
    }

    // "%2 - %1" on names "歌手 - 歌名.mp3": the title and the artist come out
    // of the name; a name that does not fit is left alone and counted.
    void fieldsFromNamesByAPattern()
    {
        MusicFolder music;
        music.addV2(u"王菲 - 红豆.mp3"_s, "old", "old", "old");
        music.addV2(u"zz.mp3"_s, "keep", "keep", "keep");
        Program program(music.path());
        TFormMain& w = program.main();
        w.ui.PageCtrlMain->setCurrentIndex(0);
        w.ui.CheckBoxTitle->setChecked(true);  // from the name, by default
        w.ui.CheckBoxArtist->setChecked(true); // from the edit, by default
        w.ui.RadioGrpMArtist->setItemIndex(0);
        w.ui.CheckBoxAlbum->setChecked(true);
        w.ui.EditMAlbum->setText(u"专辑"_s);
        w.ui.EditNamePattern->setFocus();
        QTest::keyClicks(w.ui.EditNamePattern, u"%2 - %1"_s);
        program.clickRow(0);
        QCOMPARE(program.captions().first(), u"zz.mp3"_s);
        QTRY_COMPARE(w.ui.LabelMPreview->text(), u"“zz.mp3”与文件名格式不符,不会修改"_s);
        program.clickRow(1);
        QTRY_COMPARE(w.ui.LabelMPreview->text(), u"将设为  标题: 红豆  作者: 王菲  专辑: 专辑"_s);
        w.ui.MenuSelAll->trigger();
        w.ui.BtnChgMProp->click();
        QCOMPARE(program.cells(1).mid(0, 3), QStringList({u"红豆"_s, u"王菲"_s, u"专辑"_s}));
        QCOMPARE(program.cells(0).mid(0, 3), QStringList({u"keep"_s, u"keep"_s, u"keep"_s}));
        QVERIFY(program.log().contains(music.file(u"zz.mp3"_s) + u"文件名与格式不符."_s));
        QCOMPARE(program.status(2), u"共修改:2  成功:1  失败:1"_s);
        // A field the pattern does not name stays as the file has it, as on
        // the command line.
        w.ui.EditNamePattern->setText(u"%2 - %3"_s);
        program.clickRow(1);
        QTRY_COMPARE(w.ui.LabelMPreview->text(), u"将设为  作者: 王菲  专辑: 专辑"_s);
        w.ui.BtnChgMProp->click();
        QCOMPARE(program.cells(1).mid(0, 3), QStringList({u"红豆"_s, u"王菲"_s, u"专辑"_s}));
    }
};

MP3T_TEST_MAIN(PlansTest)
#include "PlansTest.moc"
