// The property page and the user's typed edits: what a move to another file
// leaves on the page, a save that fails, and the question before unsaved
// edits would be lost.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QLabel>
#include <QTabWidget>

#include <sys/stat.h>

using namespace apptest;
using namespace testsupport;

namespace {

std::string v2Title(const QString& path)
{
    TID3v2 tag;
    tag.ReadFromFile(nativePath(path));
    return tag.Title.bytes;
}

QByteArray v2File(const QByteArray& title, const QByteArray& year = {})
{
    QByteArray frames = frame23("TIT2", textData(0, title));
    if (!year.isEmpty())
        frames += frame23("TYER", textData(0, year));
    return id3v2Tag(3, frames, 16) + silentMpegFrames();
}

// Answers the question "保存修改吗?" with the named button's text.
ModalAnswers::Answer answerSave(const QString& text)
{
    return [text](QWidget* w) {
        for (QAbstractButton* b : w->findChildren<QAbstractButton*>()) {
            if (b->text() == text) {
                b->click();
                return;
            }
        }
    };
}

// Types into the title field as a user would.
void typeTitle(TFormMain& w, const QString& text)
{
    w.ui.EditTitle->setFocus();
    w.ui.EditTitle->selectAll();
    QTest::keyClicks(w.ui.EditTitle, text);
}

} // namespace

class PageEditsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    // Under "只显示ID3v2" a file without an ID3v2 tag cannot fill the page:
    // the previous file's texts must not stay there for Enter to write.
    void movingToAFileWithoutTheTagEmptiesThePage_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("click") << false;
        QTest::newRow("Down key") << true;
    }
    void movingToAFileWithoutTheTagEmptiesThePage()
    {
        QFETCH(bool, byKeyboard);
        MusicFolder music;
        music.add(u"a.mp3"_s, v2File("first song"));
        music.add(u"b.mp3"_s, silentMpegFrames());
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditTitle->text(), u"first song"_s);
        if (byKeyboard)
            QTest::keyClick(program.list(), Qt::Key_Down);
        else
            program.clickRow(1);
        QCOMPARE(w.ui.EditFile->text(), music.file(u"b.mp3"_s));
        QCOMPARE(w.ui.EditTitle->text(), QString());
        QVERIFY(w.ui.BtnChgProp->isEnabled());
        // Enter writes only what the user typed: here nothing.
        QTest::keyClick(w.ui.EditTitle, Qt::Key_Return);
        QCOMPARE(v2Title(music.file(u"b.mp3"_s)), std::string());
        QCOMPARE(v2Title(music.file(u"a.mp3"_s)), std::string("first song"));
    }

    // A write that fails is said in the log and the status bar; the file
    // stays selected with the typed values, to try again.
    void failedSaveKeepsTheFileAndTheTypedValues()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        music.add(u"b.mp3"_s, v2File("other"));
        // No write bit at all: read-only for root too.
        QVERIFY(::chmod(nativePath(a).c_str(), 0444) == 0);
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        w.ui.EditTitle->setText(u"typed"_s);
        w.ui.BtnChgProp->click();
        QCOMPARE(program.log(), a + u"修改属性失败."_s);
        QCOMPARE(program.status(0), u"文件只读"_s);
        QCOMPARE(w.ui.EditFile->text(), a);
        QCOMPARE(w.ui.EditTitle->text(), u"typed"_s);
        QCOMPARE(program.selected(), QList<int>{0});
        QCOMPARE(v2Title(a), std::string("old"));
    }

    // A ".mp3" that is a text file gets no tag: the save says why.
    void pageSaveRefusesAFileThatIsNoMp3()
    {
        MusicFolder music;
        const QByteArray text = QByteArray("just some notes\n").repeated(20);
        const QString a = music.add(u"a.mp3"_s, text);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        typeTitle(w, u"typed"_s);
        w.ui.BtnChgProp->click();
        QCOMPARE(program.log(), a + u"修改属性失败."_s);
        QCOMPARE(program.status(0), u"不是MP3文件"_s);
        QCOMPARE(readBytes(a), text);
    }

    // Unsaved edits and a move to another row: 是 saves them first, 否 drops
    // them, 取消 stays on the file with the edits.
    void unsavedEditsAreAskedAbout_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("shownFile");
        QTest::addColumn<QString>("titleShown");
        QTest::addColumn<QByteArray>("titleOfA");
        QTest::newRow("是") << u"是"_s << u"b.mp3"_s << u"B"_s << QByteArray("typed");
        QTest::newRow("否") << u"否"_s << u"b.mp3"_s << u"B"_s << QByteArray("A");
        QTest::newRow("取消") << u"取消"_s << u"a.mp3"_s << u"typed"_s << QByteArray("A");
    }
    void unsavedEditsAreAskedAbout()
    {
        QFETCH(QString, answer);
        QFETCH(QString, shownFile);
        QFETCH(QString, titleShown);
        QFETCH(QByteArray, titleOfA);
        MusicFolder music;
        music.add(u"a.mp3"_s, v2File("A"));
        music.add(u"b.mp3"_s, v2File("B"));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        typeTitle(w, u"typed"_s);
        ModalAnswers answers({answerSave(answer)});
        program.clickRow(1);
        QCOMPARE(answers.messages(), QStringList{u"保存修改吗?"_s});
        QCOMPARE(w.ui.EditFile->text(), music.file(shownFile));
        QCOMPARE(w.ui.EditTitle->text(), titleShown);
        QCOMPARE(program.selected().size(), 1);
        QCOMPARE(rowPathOf(w, program.selected().constFirst()), music.file(shownFile));
        QCOMPARE(QByteArray::fromStdString(v2Title(music.file(u"a.mp3"_s))), titleOfA);
        if (answer == u"是"_s)
            QCOMPARE(program.cells(0).at(0), u"typed"_s);
    }

    // Edits that were saved, or none at all, are never asked about; the
    // window's close asks like a move does.
    void onlyUnsavedEditsAreAskedAbout()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, v2File("A"));
        music.add(u"b.mp3"_s, v2File("B"));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        {
            const ModalAnswers none;
            program.clickRow(0);
            program.clickRow(1);
            typeTitle(w, u"B2"_s);
            typeTitle(w, u"B"_s); // typed back to what the file holds
            program.clickRow(0);
            QCOMPARE(none.answered(), 0);
            typeTitle(w, u"saved"_s);
            QTest::keyClick(w.ui.EditTitle, Qt::Key_Return);
            QCOMPARE(none.answered(), 0);
        }
        typeTitle(w, u"unsaved"_s);
        ModalAnswers stay({answerSave(u"取消"_s)});
        QVERIFY(!w.close());
        QCOMPARE(stay.messages(), QStringList{u"保存修改吗?"_s});
        QVERIFY(w.isVisible());
        QCOMPARE(w.ui.EditTitle->text(), u"unsaved"_s);
    }

    // A change of folder with unsaved edits: 取消 keeps the folder, the rows
    // and the edits; the tree goes back to the folder shown.
    void folderChangeCanBeCancelled()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, v2File("A"));
        const QString other = music.subfolder(u"other"_s) + u'/';
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        typeTitle(w, u"typed"_s);
        {
            ModalAnswers stay({answerSave(u"取消"_s)});
            w.ui.ShellTree->setSelectedFolder(other);
            QCOMPARE(stay.messages(), QStringList{u"保存修改吗?"_s});
        }
        QCOMPARE(w.ui.ShellList->Path(), music.path());
        QCOMPARE(w.ui.ShellTree->SelectedFolder(), music.path());
        QCOMPARE(program.captions(), QStringList{u"a.mp3"_s});
        QCOMPARE(w.ui.EditTitle->text(), u"typed"_s);
        ModalAnswers save({answerSave(u"是"_s)});
        w.ui.ShellTree->setSelectedFolder(other);
        QCOMPARE(w.ui.ShellList->Path(), other);
        QCOMPARE(program.rows(), 0);
        QCOMPARE(v2Title(music.file(u"a.mp3"_s)), std::string("typed"));
    }

    // The year takes four typed characters, but a longer stored year is
    // shown whole and survives a save that did not touch it.
    void longStoredYearSurvivesASave()
    {
        MusicFolder music;
        music.add(u"a.mp3"_s, v2File("A", "1999-2000"));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditYear->text(), u"1999-2000"_s);
        typeTitle(w, u"B"_s);
        w.ui.BtnChgProp->click();
        TID3v2 tag;
        tag.ReadFromFile(nativePath(music.file(u"a.mp3"_s)));
        QCOMPARE(tag.Year.bytes, std::string("1999-2000"));
        QCOMPARE(tag.Title.bytes, std::string("B"));
        w.ui.EditYear->clear();
        QTest::keyClicks(w.ui.EditYear, u"20245"_s);
        QCOMPARE(w.ui.EditYear->text(), u"2024"_s);
    }

    // The label says which fields ID3v1 will cut, in its code-page bytes,
    // as the user types; nothing when the priority writes no ID3v1.
    void v1FitFollowsTheTyping()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A", {}, 7); // a track number: the comment has 28 bytes
        music.addV1(u"b.mp3"_s, "B");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"0"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QLabel* fit = program.find<QLabel>(u"LabelV1Fit"_s);
        QCOMPARE(fit->text(), QString());
        w.ui.EditTitle->setText(QString(15, u'歌')); // 30 bytes: fits
        QCOMPARE(fit->text(), QString());
        w.ui.EditTitle->setFocus();
        QTest::keyClick(w.ui.EditTitle, Qt::Key_A);
        QCOMPARE(fit->text(), u"ID3v1将截断: 标题"_s);
        w.ui.EditComment->setText(QString(29, u'c'));
        QCOMPARE(fit->text(), u"ID3v1将截断: 标题, 备注"_s);
        w.ui.EditComment->setText(QString(28, u'c') + u"   "_s); // trailing blanks go
        QCOMPARE(fit->text(), u"ID3v1将截断: 标题"_s);
        {
            const ModalAnswers drop({answerSave(u"否"_s)});
            program.clickRow(1);
        }
        w.ui.EditComment->setText(QString(29, u'c')); // no track number: 30 bytes
        QCOMPARE(fit->text(), QString());
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
        w.ShowId = 1;
        w.ui.EditComment->clear();
        program.list()->clearSelection();
        program.clickRow(1);
        typeTitle(w, QString(40, u'T'));
        QCOMPARE(fit->text(), QString());
    }

    // A file whose ID3v2 tag lacks texts ID3v1 holds (only ID3v1, or a tag
    // that holds a cover only): the page shows ID3v1's texts, and a title
    // typed and saved leaves every other text in both versions.
    void pageShowsAndKeepsTheOtherVersionsTexts_data()
    {
        QTest::addColumn<QString>("showId");
        QTest::addColumn<QByteArray>("v2Tag");
        const QByteArray cover =
            frame23("APIC", QByteArray("\0image/jpeg\0\x03\0\xFF\xD8\xFF", 17));
        QTest::newRow("ID3v1 only, prefer ID3v2") << u"2"_s << QByteArray();
        QTest::newRow("ID3v1 only, ID3v2 only") << u"1"_s << QByteArray();
        QTest::newRow("a cover only, prefer ID3v2") << u"2"_s << id3v2Tag(3, cover, 16);
    }
    void pageShowsAndKeepsTheOtherVersionsTexts()
    {
        QFETCH(QString, showId);
        QFETCH(QByteArray, v2Tag);
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2Tag + silentMpegFrames() +
                                                    id3v1Trailer(gbk(u"甜蜜蜜"_s), gbk(u"邓丽君"_s),
                                                                 gbk(u"甜蜜蜜专辑"_s), "1979",
                                                                 gbk(u"经典"_s), 5));
        writeSetting(u"SysInfo"_s, u"ShowId"_s, showId);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QCOMPARE(w.ui.EditArt->text(), u"邓丽君"_s);
        QCOMPARE(w.ui.EditAlbum->text(), u"甜蜜蜜专辑"_s);
        w.ui.EditTitle->setText(u"新标题"_s);
        w.ui.BtnChgProp->click();
        TID3v1 v1;
        TID3v2 v2;
        QVERIFY(v1.ReadFromFile(nativePath(a)) && v2.ReadFromFile(nativePath(a)));
        QCOMPARE(v2.Title, tags::unicodeText("新标题"));
        QCOMPARE(v2.Artist, tags::unicodeText("邓丽君"));
        QCOMPARE(v2.Album, tags::unicodeText("甜蜜蜜专辑"));
        QCOMPARE(v2.Year.bytes, std::string("1979"));
        QCOMPARE(v2.Comment, tags::unicodeText("经典"));
        QCOMPARE(v1.Artist(), gbk(u"邓丽君"_s).toStdString());
        QCOMPARE(v1.Album(), gbk(u"甜蜜蜜专辑"_s).toStdString());
        QCOMPARE(v1.Comment(), gbk(u"经典"_s).toStdString());
    }

    // The label also names the fields with characters ID3v1's code page
    // lacks, by the file's code page: "ö" is GBK's "o", Windows-1252's own.
    void v1FitNamesCharactersTheCodePageLacks()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, gbk(u"童话故事"_s));
        music.addV1(u"b.mp3"_s, "Caf\xE9 D\xE9"
                                "but");
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"2"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        QLabel* fit = program.find<QLabel>(u"LabelV1Fit"_s);
        w.ui.EditArt->setText(u"Björk"_s);
        QCOMPARE(fit->text(), u"ID3v1将替换字符: 作者"_s);
        w.ui.EditTitle->setText(QString(31, u'x'));
        QCOMPARE(fit->text(), u"ID3v1将截断: 标题; 将替换字符: 作者"_s);
        {
            const ModalAnswers drop({answerSave(u"否"_s)});
            program.clickRow(1);
        }
        w.ui.EditArt->setText(u"Björk"_s);
        QCOMPARE(fit->text(), QString());
        w.ui.EditArt->setText(u"Dvořák"_s);
        QCOMPARE(fit->text(), u"ID3v1将替换字符: 作者"_s);
    }

private:
    static QString rowPathOf(TFormMain& w, int row) { return w.rowPath(row); }
};

MP3T_TEST_MAIN(PageEditsTest)
#include "PageEditsTest.moc"
