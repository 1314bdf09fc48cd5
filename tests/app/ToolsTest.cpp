// "批量处理" from the list's pop-up menu: the dialog previews every change as
// the parameters change, runs what it showed as one step that undo takes
// back, renames through the plan, and closes without writing on "取消".

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "app/ToolsDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTreeWidget>

using namespace apptest;
using namespace testsupport;

namespace {

QString journalFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s;
}

QByteArray song(const QString& title, const QString& artist = u"x"_s)
{
    return id3v2Tag(3,
                    frame23("TIT2", textData(1, utf16WithBom(title))) +
                        frame23("TPE1", textData(1, utf16WithBom(artist))),
                    64) +
           silentMpegFrames();
}

// The preview's rows as "file|field|old|new|note".
QStringList previewOf(const TFormTools& dialog)
{
    QStringList rows;
    const QTreeWidget* list = dialog.ListViewToolPreview;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < 5; ++c)
            cells << list->topLevelItem(i)->text(c);
        rows << cells.join(u'|');
    }
    return rows;
}

// Answers the tools dialog with `work`, which ends by closing it.
ModalAnswers::Answer onTools(std::function<void(TFormTools&)> work)
{
    return [work = std::move(work)](QWidget* w) {
        auto* dialog = qobject_cast<TFormTools*>(w);
        if (!dialog) {
            QTest::keyClick(w, Qt::Key_Escape);
            return;
        }
        work(*dialog);
        if (dialog->isVisible())
            dialog->reject();
    };
}

} // namespace

class ToolsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(journalFolder()).removeRecursively();
    }

    void previewFollowsTheParametersAndTheRunIsOneStep()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, song(u"JAY CHOU"_s, u"don't STOP"_s));
        const QString b = music.add(u"b.mp3"_s, song(u"晴天"_s, u"周杰伦"_s));
        const QByteArray aBefore = readBytes(a), bBefore = readBytes(b);
        Program program(music.path());
        program.select({0, 1});
        ModalAnswers answers({onTools([](TFormTools& d) {
            QCOMPARE(d.windowTitle(), u"批量处理"_s);
            // 大小写, 首字母大写 over title, artist, album.
            QCOMPARE(previewOf(d), QStringList({u"a.mp3|标题|JAY CHOU|Jay Chou|"_s,
                                                u"a.mp3|作者|don't STOP|Don't Stop|"_s}));
            d.CheckToolArtist->click();
            QCOMPARE(previewOf(d).size(), 1);
            // A broken expression says why and cannot run.
            d.ComboTool->setCurrentIndex(int(operations::ToolKind::Replace));
            d.CheckToolRegex->click();
            QTest::keyClicks(d.EditToolFind, u"("_s);
            QVERIFY(!d.BtnToolRun->isEnabled());
            QVERIFY(d.LabelToolSummary->text().contains(u"正则表达式有误"_s));
            d.EditToolFind->clear();
            QTest::keyClicks(d.EditToolFind, u"^(\\w+) (\\w+)$"_s);
            QTest::keyClicks(d.EditToolReplace, u"\\2 \\1"_s);
            QCOMPARE(previewOf(d), QStringList({u"a.mp3|标题|JAY CHOU|CHOU JAY|"_s}));
            d.BtnToolRun->click();
        })});
        program.main().ui.MenuTools->trigger();
        QCOMPARE(answers.answered(), 1);

        QCOMPARE(program.text(0, 1), u"CHOU JAY"_s);
        QCOMPARE(readBytes(b), bBefore);
        QVERIFY2(program.log().contains(u"a.mp3批量处理: 标题."_s), qPrintable(program.log()));
        program.main().ui.MenuUndo->trigger();
        QCOMPARE(readBytes(a), aBefore);
    }

    void namesGoThroughThePlan()
    {
        MusicFolder music;
        music.add(u"ＡＢ.mp3"_s, song(u"t"_s));
        music.add(u"ＣＤ.mp3"_s, song(u"t"_s));
        const QString taken = music.add(u"CD.mp3"_s, song(u"other"_s));
        const QByteArray takenBytes = readBytes(taken);
        Program program(music.path());
        program.list()->selectAll();
        ModalAnswers answers({onTools([](TFormTools& d) {
            d.ComboTool->setCurrentIndex(int(operations::ToolKind::HalfWidth));
            for (QCheckBox* box : {d.CheckToolTitle, d.CheckToolArtist, d.CheckToolAlbum})
                box->setChecked(false);
            d.CheckToolFileName->setChecked(true);
            const QStringList rows = previewOf(d);
            QCOMPARE(rows.size(), 2);
            QVERIFY2(rows[0].startsWith(u"ＡＢ.mp3|文件名|ＡＢ.mp3|AB.mp3|"_s) &&
                         rows[0].endsWith(u'|'),
                     qPrintable(rows[0]));
            // "CD.mp3" is another file of the folder: said before anything moves.
            QVERIFY2(rows[1].startsWith(u"ＣＤ.mp3|文件名|ＣＤ.mp3|CD.mp3|"_s) &&
                         !rows[1].endsWith(u'|'),
                     qPrintable(rows[1]));
            QCOMPARE(d.LabelToolSummary->text(), u"1 处修改, 1 处无法修改"_s);
            d.BtnToolRun->click();
        })});
        program.main().ui.MenuTools->trigger();
        QVERIFY(QFile::exists(music.file(u"AB.mp3"_s)));
        QVERIFY(!QFile::exists(music.file(u"ＡＢ.mp3"_s)));
        QVERIFY(QFile::exists(music.file(u"ＣＤ.mp3"_s)));
        QCOMPARE(readBytes(taken), takenBytes);
        QVERIFY(program.captions().contains(u"AB.mp3"_s));
        program.main().ui.MenuUndo->trigger();
        QVERIFY(QFile::exists(music.file(u"ＡＢ.mp3"_s)));
    }

    // Tags and names in one run are one step: one undo brings back both. A
    // file whose new name the plan refuses still gets its tags, and the log
    // says both.
    void tagsAndNamesAreOneStep()
    {
        MusicFolder music;
        const QString ab = music.add(u"ＡＢ.mp3"_s, song(u"ＡＢ"_s));
        const QString cd = music.add(u"ＣＤ.mp3"_s, song(u"ＣＤ"_s));
        music.add(u"CD.mp3"_s, song(u"other"_s));
        const QByteArray abBefore = readBytes(ab), cdBefore = readBytes(cd);
        Program program(music.path());
        program.list()->selectAll();
        ModalAnswers answers({onTools([](TFormTools& d) {
            d.ComboTool->setCurrentIndex(int(operations::ToolKind::HalfWidth));
            d.CheckToolFileName->setChecked(true);
            d.BtnToolRun->click();
        })});
        program.main().ui.MenuTools->trigger();
        QVERIFY(QFile::exists(music.file(u"AB.mp3"_s)));
        QVERIFY(readBytes(cd) != cdBefore);
        const QString log = program.log();
        QVERIFY2(log.contains(u"ＡＢ.mp3批量处理: 标题."_s) &&
                     log.contains(u"ＣＤ.mp3批量处理: 标题."_s) &&
                     log.contains(u"ＣＤ.mp3修改文件名失败！(文件夹中已有“CD.mp3”)"_s),
                 qPrintable(log));
        program.main().ui.MenuUndo->trigger();
        QVERIFY(!QFile::exists(music.file(u"AB.mp3"_s)));
        QCOMPARE(readBytes(ab), abBefore);
        QCOMPARE(readBytes(cd), cdBefore);
        QVERIFY(!program.main().ui.MenuUndo->isEnabled());
    }

    // Opened and left by the keyboard: Escape writes nothing, and the menu
    // wants a selection.
    void cancelWritesNothing()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, song(u"JAY CHOU"_s));
        const QByteArray before = readBytes(a);
        Program program(music.path());
        program.list()->clearSelection();
        emit program.main().ui.PopupMenuList->aboutToShow();
        QVERIFY(!program.main().ui.MenuTools->isEnabled());
        program.select({0});
        emit program.main().ui.PopupMenuList->aboutToShow();
        QVERIFY(program.main().ui.MenuTools->isEnabled());
        ModalAnswers answers({[](QWidget* w) {
            QVERIFY(qobject_cast<TFormTools*>(w));
            QTest::keyClick(w, Qt::Key_Escape);
        }});
        program.main().ui.MenuTools->trigger();
        QCOMPARE(answers.answered(), 1);
        QCOMPARE(readBytes(a), before);
        QVERIFY(!program.main().ui.MenuUndo->isEnabled());
    }
};

MP3T_TEST_MAIN(ToolsTest)
#include "ToolsTest.moc"
