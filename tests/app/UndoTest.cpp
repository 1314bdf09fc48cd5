// Undo and redo from the Edit menu and its keys, and the history dialog, on
// real files with the journal in the test's own state folder.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "app/HistoryDialog.h"
#include "operations/History.h"
#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"

#include <QCheckBox>
#include <QDateTime>
#include <QRegularExpression>

using namespace apptest;
using namespace testsupport;

namespace {

QString journalFolder()
{
    return qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s;
}

// A journal file that is no database: the window runs without a history.
bool breakJournal()
{
    QDir().mkpath(journalFolder());
    return writeBytes(journalFolder() + u"/journal.sqlite"_s, QByteArray(4096, 'g'));
}

std::string v2Title(const QString& path)
{
    TID3v2 tag;
    tag.ReadFromFile(nativePath(path));
    return tag.Title.bytes;
}

// The ID3v2 tag alone; a title of the same length gives a tag of the same size.
QByteArray v2Head(const QByteArray& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(0, title)), 16);
}

QByteArray v2File(const QByteArray& title)
{
    return v2Head(title) + silentMpegFrames();
}

// Types into the title field and presses Enter, as a user saves.
void saveTitle(TFormMain& w, const QString& text)
{
    w.ui.EditTitle->setFocus();
    w.ui.EditTitle->selectAll();
    QTest::keyClicks(w.ui.EditTitle, text);
    QTest::keyClick(w.ui.EditTitle, Qt::Key_Return);
}

// A key on the widget that has the focus, as the keyboard delivers it.
void pressOnFocus(TFormMain& w, Qt::Key key, Qt::KeyboardModifiers modifiers = {})
{
    QTest::keyClick(w.focusWidget() ? w.focusWidget() : &w, key, modifiers);
}

QStringList logLines(const Program& program)
{
    return program.log().split(u'\n');
}

QStringList column(const QAbstractItemView* list, int c)
{
    QStringList out;
    const QAbstractItemModel* model = list->model();
    for (int i = 0; i < model->rowCount(); ++i)
        out << model->index(i, c).data().toString();
    return out;
}

// One change of a file's ID3v2 title, in place.
tags::TagChange titleChange(const QString& path, const QByteArray& title)
{
    std::optional<tags::TagChange> change = tags::beginChange(nativePath(path));
    if (!change)
        return {};
    change->setHead(v2Head(title).toStdString());
    return *change;
}

} // namespace

class UndoTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        // Every test starts with an empty history.
        QDir(journalFolder()).removeRecursively();
        writeSetting(u"SysInfo"_s, u"ShowId"_s, u"1"_s);
    }

    // A save is taken back with Ctrl+Z right where the save left the focus,
    // and made again with Ctrl+Y; the file is byte for byte what it was, and
    // the list and the page show it.
    void undoAndRedoASave()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        const QByteArray original = readBytes(a);
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(!w.ui.MenuUndo->isEnabled());
        QVERIFY(!w.ui.MenuRedo->isEnabled());
        program.clickRow(0);
        saveTitle(w, u"new"_s);
        const QByteArray saved = readBytes(a);
        QCOMPARE(v2Title(a), std::string("new"));
        QVERIFY(w.ui.MenuUndo->isEnabled());
        QCOMPARE(w.ui.MenuUndo->text(), u"撤销(&U)"_s);
        QCOMPARE(w.ui.MenuUndo->statusTip(), u"撤销: 修改属性"_s);

        QCOMPARE(w.focusWidget(), w.ui.EditTitle);
        pressOnFocus(w, Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readBytes(a), original);
        QCOMPARE(logLines(program).constLast(), u"撤销: 修改属性 (1 个文件)"_s);
        QCOMPARE(program.status(0), u"已撤销: 修改属性"_s);
        QCOMPARE(program.cells(0).at(0), u"old"_s);
        QCOMPARE(w.ui.EditTitle->text(), u"old"_s);
        QVERIFY(!w.ui.MenuUndo->isEnabled());
        QVERIFY(w.ui.MenuRedo->isEnabled());
        QCOMPARE(w.ui.MenuRedo->text(), u"重做(&R)"_s);
        QCOMPARE(w.ui.MenuRedo->statusTip(), u"重做: 修改属性"_s);

        pressOnFocus(w, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(readBytes(a), saved);
        QCOMPARE(logLines(program).constLast(), u"重做: 修改属性 (1 个文件)"_s);
        QCOMPARE(program.cells(0).at(0), u"new"_s);
        QCOMPARE(w.ui.EditTitle->text(), u"new"_s);
        QVERIFY(w.ui.MenuUndo->isEnabled());
        QVERIFY(!w.ui.MenuRedo->isEnabled());

        // Nothing to turn: said in the status bar, nothing logged.
        const QString log = program.log();
        w.MenuRedoClick();
        QCOMPARE(program.status(0), u"没有可重做的操作"_s);
        QCOMPARE(program.log(), log);
    }

    // Unsaved edits on the page are asked about first: 否 gives them up and
    // the page shows the file as the undo left it; 取消 undoes nothing.
    void unsavedEditsBeforeAnUndo_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QByteArray>("title");
        QTest::addColumn<QString>("shown");
        QTest::newRow("否") << u"否"_s << QByteArray("old") << u"old"_s;
        QTest::newRow("取消") << u"取消"_s << QByteArray("new") << u"typed"_s;
    }
    void unsavedEditsBeforeAnUndo()
    {
        QFETCH(QString, answer);
        QFETCH(QByteArray, title);
        QFETCH(QString, shown);
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        program.clickRow(0);
        saveTitle(w, u"new"_s);
        w.ui.EditTitle->selectAll();
        QTest::keyClicks(w.ui.EditTitle, u"typed"_s);
        ModalAnswers answers({[answer](QWidget* box) {
            for (QAbstractButton* b : box->findChildren<QAbstractButton*>()) {
                if (b->text() == answer)
                    b->click();
            }
        }});
        QTest::keyClick(program.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(answers.messages(), QStringList{u"保存修改吗?"_s});
        QCOMPARE(QByteArray::fromStdString(v2Title(a)), title);
        QCOMPARE(w.ui.EditTitle->text(), shown);
    }

    // The history outlives the program: a new window undoes the save.
    void undoAfterARestart()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        const QByteArray original = readBytes(a);
        {
            Program first(music.path());
            first.clickRow(0);
            saveTitle(first.main(), u"new"_s);
            QCOMPARE(v2Title(a), std::string("new"));
        }
        Program again(music.path());
        TFormMain& w = again.main();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QVERIFY(w.ui.MenuUndo->isEnabled());
        QTest::keyClick(again.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readBytes(a), original);
        QCOMPARE(again.cells(0).at(0), u"old"_s);
    }

    // The dialog lists the saves newest first; "撤销到此" on the second
    // undoes the newest two and leaves the oldest. Enter in the list only
    // closes the dialog.
    void historyUndoesDownToTheChosenStep_data()
    {
        QTest::addColumn<bool>("byKeyboard");
        QTest::newRow("click") << false;
        QTest::newRow("keyboard") << true;
    }
    void historyUndoesDownToTheChosenStep()
    {
        QFETCH(bool, byKeyboard);
        MusicFolder music;
        QStringList files;
        QList<QByteArray> originals;
        for (const char* name : {"a", "b", "c"}) {
            files << music.add(QString::fromLatin1(name) + u".mp3"_s, v2File(name));
            originals << readBytes(files.constLast());
        }
        Program program(music.path());
        TFormMain& w = program.main();
        program.clickRow(0);
        // Each save moves the page on to the next file.
        for (const QString& title : {u"A2"_s, u"B2"_s, u"C2"_s})
            saveTitle(w, title);
        const QByteArray savedA = readBytes(files[0]);
        const QByteArray savedC = readBytes(files[2]);

        if (byKeyboard) {
            bool stayedOpen = false;
            ModalAnswers enter({[&stayedOpen](QWidget* dialog) {
                QTest::keyClick(dialog->findChild<QTreeWidget*>(u"ListViewHistory"_s),
                                Qt::Key_Return);
                stayedOpen = dialog->isVisible();
                dialog->close();
            }});
            w.ui.MenuHistory->trigger();
            QCOMPARE(enter.answered(), 1);
            QVERIFY(!stayedOpen);
            QCOMPARE(readBytes(files[2]), savedC);
        }

        QStringList names, counts, statesBefore, statesAfter, times;
        bool enabledOnUndone = true;
        ModalAnswers answers({[&](QWidget* dialog) {
            auto* list = dialog->findChild<QTreeWidget*>(u"ListViewHistory"_s);
            auto* undo = dialog->findChild<QPushButton*>(u"BtnHistoryUndo"_s);
            names = column(list, 1);
            counts = column(list, 2);
            statesBefore = column(list, 3);
            times = column(list, 0);
            if (byKeyboard) {
                QTest::keyClick(list, Qt::Key_Down);
                QTest::keyClick(list, Qt::Key_Tab);
                QCOMPARE(dialog->focusWidget(), undo);
                QTest::keyClick(undo, Qt::Key_Space);
            } else {
                list->setCurrentItem(list->topLevelItem(1));
                undo->click();
            }
            statesAfter = column(list, 3);
            list->setCurrentItem(list->topLevelItem(0));
            enabledOnUndone = undo->isEnabled();
            dialog->findChild<QPushButton*>(u"BtnClose"_s)->click();
        }});
        w.ui.MenuHistory->trigger();
        QCOMPARE(answers.answered(), 1);

        QCOMPARE(names, QStringList(3, u"修改属性"_s));
        QCOMPARE(counts, QStringList(3, u"1"_s));
        QCOMPARE(statesBefore, QStringList(3, QString()));
        QCOMPARE(statesAfter, (QStringList{u"已撤销"_s, u"已撤销"_s, QString()}));
        QVERIFY(!enabledOnUndone);
        const QRegularExpression timeFormat(u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$"_s);
        for (const QString& time : times) {
            QVERIFY2(timeFormat.match(time).hasMatch(), qPrintable(time));
            const QDateTime at = QDateTime::fromString(time, u"yyyy-MM-dd HH:mm:ss"_s);
            QVERIFY(qAbs(at.secsTo(QDateTime::currentDateTime())) < 120);
        }
        QCOMPARE(readBytes(files[0]), savedA);
        QCOMPARE(readBytes(files[1]), originals[1]);
        QCOMPARE(readBytes(files[2]), originals[2]);
        QCOMPARE(logLines(program).constLast(), u"撤销: 修改属性 (2 个文件)"_s);
        QCOMPARE(column(program.list(), 1), (QStringList{u"A2"_s, u"b"_s, u"c"_s}));
        QVERIFY(w.ui.MenuUndo->isEnabled());
        QVERIFY(w.ui.MenuRedo->isEnabled());
    }

    // The dialog's state column: a step in force, one whose redo a changed
    // file kept from being whole, one whose undo a changed file did, and one
    // undone; only a step not undone can be chosen.
    void historyShowsWhatWasUndone()
    {
        MusicFolder music;
        QMap<char, QString> files;
        for (const char name : {'x', 'y', 'z', 'u', 'w', 'v'})
            files[name] =
                music.add(QChar::fromLatin1(name) + u".mp3"_s, v2File(QByteArray(1, name)));
        operations::Journal journal(operations::Journal::defaultFile());
        operations::History history(journal);
        const auto write = [&](operations::StepKind kind, const QByteArray& names) {
            operations::TagWrites writes(&journal, kind);
            for (const char name : names)
                writes.add(titleChange(files[name], "N"));
            writes.write([](std::size_t, const operations::Outcome& outcome) {
                QVERIFY(outcome.succeeded);
            });
        };
        const auto someoneElseChanges = [&](char name) {
            writeBytes(files[name], v2File("o"));
        };
        write(operations::StepKind::Save, "x");
        write(operations::StepKind::FieldChange, "yz");
        QCOMPARE(history.undo().turned, 2);
        someoneElseChanges('z');
        QCOMPARE(history.redo().refused, 1);
        write(operations::StepKind::FieldChange, "uw");
        someoneElseChanges('w');
        QCOMPARE(history.undo().refused, 1);
        write(operations::StepKind::Save, "v");
        QCOMPARE(history.undo().turned, 1);

        TFormHistory dialog(journal, history);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QTreeWidget* list = dialog.ListViewHistory;
        QCOMPARE(column(list, 1),
                 (QStringList{u"修改属性"_s, u"批量修改"_s, u"批量修改"_s, u"修改属性"_s}));
        QCOMPARE(column(list, 2), (QStringList{u"1"_s, u"2"_s, u"2"_s, u"1"_s}));
        QCOMPARE(column(list, 3),
                 (QStringList{u"已撤销"_s, u"部分撤销"_s, u"部分撤销"_s, QString()}));
        const QList<bool> choosable{false, false, true, true};
        for (int i = 0; i < 4; ++i) {
            list->setCurrentItem(list->topLevelItem(i));
            QCOMPARE(dialog.BtnHistoryUndo->isEnabled(), choosable[i]);
        }
        QVERIFY(dialog.outcomes().empty());
        dialog.BtnHistoryUndo->click();
        QCOMPARE(dialog.outcomes().size(), std::size_t(1));
        QCOMPARE(column(list, 3).constLast(), u"已撤销"_s);
        QCOMPARE(v2Title(files['x']), std::string("x"));
        QCOMPARE(v2Title(files['y']), std::string("y"));
        QVERIFY(!dialog.BtnHistoryUndo->isEnabled());
    }

    // A file changed by someone else since the save is left as it is and
    // named in the log.
    void changedFileIsLeftAlone()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        Program program(music.path());
        TFormMain& w = program.main();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        program.clickRow(0);
        saveTitle(w, u"new"_s);
        writeBytes(a, v2File("else"));
        const QByteArray changed = readBytes(a);
        QTest::keyClick(program.list(), Qt::Key_Z, Qt::ControlModifier);
        QCOMPARE(readBytes(a), changed);
        const QStringList lines = logLines(program);
        const qsizetype header = lines.indexOf(u"撤销: 修改属性 (1 个文件)"_s);
        QVERIFY(header >= 0);
        QCOMPARE(lines.size(), header + 2);
        QVERIFY2(lines.constLast().startsWith(a), qPrintable(lines.constLast()));
        QCOMPARE(program.status(0), u"撤销: 修改属性, 1 个文件未能撤销"_s);
        QCOMPARE(program.cells(0).at(0), u"else"_s);
    }

    // A journal that cannot be opened: said in the log and the status bar,
    // no box at start, nothing to undo, and saves still work.
    void unreadableJournal()
    {
        QVERIFY(breakJournal());
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        Program program(music.path());
        TFormMain& w = program.main();
        QCOMPARE(program.startupMessages(), QStringList());
        const QString said = logLines(program).constFirst();
        QVERIFY2(said.startsWith(u"操作历史无法打开: "_s), qPrintable(said));
        QVERIFY2(said.endsWith(u"; 保存将整体重写文件,无法撤销."_s), qPrintable(said));
        QVERIFY(said.size() > 30); // the reason is in between
        QCOMPARE(program.status(0), said);
        QVERIFY(!w.journal());
        QVERIFY(!w.ui.MenuUndo->isEnabled());
        QVERIFY(!w.ui.MenuHistory->isEnabled());
        program.clickRow(0);
        saveTitle(w, u"new"_s);
        QCOMPARE(v2Title(a), std::string("new"));
        QVERIFY(!w.ui.MenuUndo->isEnabled());
    }

    // Without a journal a batch still writes its files, and says after it
    // that this change cannot be taken back, as the command line says it.
    void batchWithoutJournalSaysSo()
    {
        QVERIFY(breakJournal());
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        w.ui.CheckBoxTitle->setChecked(true);
        w.ui.BtnChgMProp->click();
        QCOMPARE(v2Title(a), std::string("a"));
        QVERIFY2(logLines(program).contains(u"文件已照常修改, 但这次修改无法撤销"_s),
                 qPrintable(program.log()));
    }

    // So does the property page's save.
    void saveWithoutJournalSaysSo()
    {
        QVERIFY(breakJournal());
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        saveTitle(w, u"new"_s);
        QCOMPARE(v2Title(a), std::string("new"));
        QVERIFY2(logLines(program).contains(u"文件已照常修改, 但这次修改无法撤销"_s),
                 qPrintable(program.log()));
        QVERIFY2(logLines(program).contains(a + u"修改属性."_s), qPrintable(program.log()));
    }

    // A write that a crash interrupted is finished when the window opens;
    // the file it had torn (and put back) is said, one written whole is not.
    void recoveredWriteIsLogged()
    {
        MusicFolder music;
        const QString a = music.add(u"a.mp3"_s, v2File("old"));
        const QString b = music.add(u"b.mp3"_s, v2File("old"));
        {
            QDir().mkpath(journalFolder());
            operations::Journal journal(operations::Journal::defaultFile());
            const tags::TagChange torn = titleChange(a, "new");
            const tags::TagChange whole = titleChange(b, "new");
            journal.beginWrites(operations::StepKind::FieldChange, {torn, whole});
            // The head of a.mp3 written up to "ne" of its title.
            QFile file(a);
            QVERIFY(file.open(QIODevice::ReadWrite));
            file.write(QByteArray::fromStdString(torn.after().head.substr(0, 23)));
            file.close();
            QVERIFY(tags::writeInPlace(whole).written());
            // The program ends here, before the write is made durable.
        }
        Program program(music.path());
        const QStringList lines = logLines(program);
        QVERIFY2(lines.contains(a + u": 恢复了中断的写入"_s), qPrintable(program.log()));
        QVERIFY2(!program.log().contains(b), qPrintable(program.log()));
        QCOMPARE(readBytes(a), v2File("old"));
    }
};

MP3T_TEST_MAIN(UndoTest)
#include "UndoTest.moc"
