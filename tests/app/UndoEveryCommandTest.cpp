// Every command of the window that changes files, undone in a new window
// (the program closed and started again) and made again: the music folder
// and the trash are byte for byte and name for name as before the command,
// then as after it.

#include "tests/app/MainWindowFixture.h"
#include "tests/app/TreeDrops.h"
#include "tests/support/NativeNameFiles.h"
#include "tests/support/TestEnvironment.h"

#include "platform/Trash.h"
#include "widgets/RadioGroup.h"

#include <QBuffer>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QRadioButton>
#include <QTabWidget>

#include <sys/stat.h>
#include <unistd.h>

using namespace apptest;
using namespace testsupport;

namespace {

// Every item under a folder by its name's bytes (names that are not UTF-8
// included): a folder as its name + "/", a file with its bytes.
using Snapshot = QMap<QByteArray, QByteArray>;

bool isFolder(const QByteArray& path)
{
    struct ::stat st {};
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

void addTree(Snapshot& out, const QByteArray& folder, const QByteArray& key)
{
    for (const QByteArray& name : nativetest::namesIn(folder)) {
        const QByteArray path = folder + '/' + name;
        if (isFolder(path)) {
            out[key + name + '/'] = {};
            addTree(out, path, key + name + '/');
        } else {
            out[key + name] = nativetest::readAt(path);
        }
    }
}

// A trashing made again writes another deletion time: the rest of its
// .trashinfo must match.
void dropDeletionTimes(Snapshot& out)
{
    for (auto it = out.begin(); it != out.end(); ++it) {
        if (!it.key().endsWith(".trashinfo"))
            continue;
        QByteArrayList lines = it.value().split('\n');
        lines.removeIf([](const QByteArray& line) { return line.startsWith("DeletionDate="); });
        it.value() = lines.join('\n');
    }
}

Snapshot snapshotOf(const MusicFolder& music)
{
    Snapshot out;
    addTree(out, QFile::encodeName(music.path()).chopped(1), "music/");
    addTree(out, QFile::encodeName(platform::HomeTrashPath()), "Trash/");
    dropDeletionTimes(out);
    return out;
}

// What differs, one line per name, for the failure message.
QString differences(const Snapshot& expected, const Snapshot& actual)
{
    QStringList lines;
    for (auto it = expected.begin(); it != expected.end(); ++it) {
        if (!actual.contains(it.key()))
            lines << u"missing: "_s + QString::fromUtf8(it.key());
        else if (actual.value(it.key()) != it.value())
            lines << u"other bytes: "_s + QString::fromUtf8(it.key());
    }
    for (auto it = actual.begin(); it != actual.end(); ++it) {
        if (!expected.contains(it.key()))
            lines << u"unexpected: "_s + QString::fromUtf8(it.key());
    }
    return lines.join(u'\n');
}

ino_t inodeOf(const QString& path)
{
    struct ::stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

QByteArray gbkV2(const QString& title, const QString& artist)
{
    return id3v2Tag(3,
                    frame23("TIT2", textData(0, gbk(title))) +
                        frame23("TPE1", textData(0, gbk(artist))),
                    64) +
           silentMpegFrames();
}

// An ID3v2 tag with room for every field the window writes.
QByteArray roomyV2(const QByteArray& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(0, title)), 256) + silentMpegFrames();
}

QByteArray bothTags(const QByteArray& v2Title, const QByteArray& v1Title)
{
    return roomyV2(v2Title) + id3v1Trailer(v1Title);
}

// The copy dialog answered with the item of that caption, then OK.
ModalAnswers::Answer choose(const QString& caption)
{
    return [caption](QWidget* dialog) {
        auto* choices = dialog->findChild<TRadioGroup*>(u"RadioGrpSel"_s);
        const int index = int(choices->items().indexOf(caption));
        QVERIFY2(index >= 0, qPrintable(choices->items().join(u'|')));
        choices->button(index)->click();
        dialog->findChild<QPushButton*>(u"BtnOk"_s)->click();
    };
}

// The drop's destination, in every folder so that each starts alike.
QString targetOf(const MusicFolder& music)
{
    return music.path() + u"target"_s;
}

// The GBK name of the file whose name the window repairs.
QByteArray gbkNamed(const MusicFolder& music)
{
    return QFile::encodeName(music.path()) + nativetest::gbk(u"老歌.mp3"_s);
}

// ---------------------------------------------------------------- the commands

// One command: the files it starts from, and how a user gives it.
struct Scenario {
    const char* name;
    QString step; // as the log names it
    int files;    // how many files its undo turns
    void (*prepare)(const MusicFolder& music);
    void (*run)(const Program& program, const MusicFolder& music);
};

void batchChangeFiles(const MusicFolder& music)
{
    music.add(u"a.mp3"_s, bothTags("Alpha", "Alpha"));
    music.add(u"b.mp3"_s, roomyV2("Beta"));
    music.addV1(u"c.mp3"_s, "Gamma");
    music.addV2(u"d.mp3"_s, "Delta"); // not selected
}

void batchChange(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    const ino_t fitting = inodeOf(music.file(u"a.mp3"_s));
    const ino_t withoutV2 = inodeOf(music.file(u"c.mp3"_s));
    program.select({0, 1, 2});
    w.ui.PageCtrlMain->setCurrentIndex(0);
    w.ui.CheckBoxTitle->click();
    QVERIFY(w.ui.CheckBoxTitle->isChecked());
    w.ui.RadioGrpMTitle->button(1)->click();
    w.ui.EditMTitle->setText(u"新标题"_s);
    w.ui.BtnChgMProp->click();
    QCOMPARE(program.status(2), u"共修改:3  成功:3  失败:0"_s);
    // Both ways of writing are in the step: in place where the tag fits,
    // a new file where there was no ID3v2 tag.
    QCOMPARE(inodeOf(music.file(u"a.mp3"_s)), fitting);
    QVERIFY(inodeOf(music.file(u"c.mp3"_s)) != withoutV2);
}

void copyFiles(const MusicFolder& music)
{
    music.add(u"a.mp3"_s, bothTags("Two", "One"));
    music.addV1(u"b.mp3"_s, "Only v1");
    music.addV2(u"c.mp3"_s, "Only v2");
}

void copy(const Program& program, QPushButton* button, const QString& choice)
{
    program.select({0, 1, 2});
    const ModalAnswers answers({choose(choice)});
    button->click();
    QCOMPARE(answers.answered(), 1);
    QCOMPARE(program.status(2), u"共修改:3  成功:2  失败:1"_s);
}

void copyV1ToV2(const Program& program, const MusicFolder&)
{
    copy(program, program.main().ui.BtnV1V2, u"用ID3v1覆盖ID3v2"_s);
}

void copyV2ToV1(const Program& program, const MusicFolder&)
{
    copy(program, program.main().ui.BtnV2V1, u"用ID3v2覆盖ID3v1"_s);
}

void renameFiles(const MusicFolder& music)
{
    music.addV2(u"a.mp3"_s, "Song", "Band");
    music.addV2(u"b.mp3"_s, "Tune", "Group");
}

void rename(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    program.select({0, 1});
    w.ui.PageCtrlMain->setCurrentIndex(1);
    w.ui.EditNameFormat->setText(u"%2-%1"_s);
    runRenaming(w);
    QVERIFY(QFile::exists(music.file(u"Band-Song.MP3"_s)));
    QVERIFY(QFile::exists(music.file(u"Group-Tune.MP3"_s)));
}

void conversionFiles(const MusicFolder& music)
{
    music.add(u"a.mp3"_s, gbkV2(u"童话"_s, u"光良"_s) + id3v1Trailer(gbk(u"后来"_s)));
    music.addV2(u"b.mp3"_s, "Plain");
}

void conversion(const Program& program, const MusicFolder&)
{
    TFormMain& w = program.main();
    program.select({0});
    w.PopupMenuListPopup();
    QVERIFY(w.ui.MenuEncoding->isEnabled());
    const ModalAnswers answers({ModalAnswers::click(u"BtnConvert"_s)});
    w.ui.MenuEncoding->trigger();
    QCOMPARE(answers.answered(), 1);
    QCOMPARE(program.status(2), u"共修改:1  成功:1  失败:0"_s);
}

void fixNameFiles(const MusicFolder& music)
{
    QVERIFY(nativetest::makeFileAt(gbkNamed(music), gbkV2(u"老歌"_s, u"歌手"_s)));
    music.addV1(u"a.mp3"_s, "A");
}

void fixName(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    const int row = int(program.captions().indexOf(u"老歌.mp3"_s));
    QVERIFY(row >= 0);
    program.select({row});
    w.PopupMenuListPopup();
    QVERIFY(w.ui.MenuFixName->isEnabled());
    w.ui.MenuFixName->trigger();
    QVERIFY(QFile::exists(music.file(u"老歌.mp3"_s)));
}

void threeFiles(const MusicFolder& music)
{
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
        music.addV1(QString::fromLatin1(name), name);
}

void drop(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    // Finding the node shows its folder for a moment: the rows are chosen after.
    QTreeWidgetItem* node = nodeOf(w, targetOf(music));
    program.select({0, 2});
    QVERIFY(dropRowsOn(w, node));
    QCOMPARE(program.captions(), QStringList{u"b.mp3"_s});
}

void trash(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    program.select({1});
    w.PopupMenuListPopup();
    QVERIFY(w.ui.MenuDelFile->isEnabled());
    w.ui.MenuDelFile->trigger();
    QVERIFY(!QFile::exists(music.file(u"b.mp3"_s)));
}

void newFolder(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    nodeOf(w, music.path());
    w.InputBox = [](const QString&, const QString&, const QString&) {
        return u"新歌"_s;
    };
    w.ui.MenuCreSub->trigger();
    QVERIFY(QFileInfo(music.path() + u"新歌"_s).isDir());
}

// One file with a front cover (written in place), one without (growing).
void coverFiles(const MusicFolder& music)
{
    const QByteArray cover = frame23("APIC", "\0image/jpeg\0\x03\0\xFF\xD8\xFF old"_ba);
    music.add(u"a.mp3"_s,
              id3v2Tag(3, frame23("TIT2", textData(0, "A")) + cover, 256) + silentMpegFrames());
    music.addV2(u"b.mp3"_s, "B");
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    music.add(u"cover.png"_s, png);
}

void setCover(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    w.CoverOpenDlg = [&music](QWidget*) {
        return music.file(u"cover.png"_s);
    };
    program.select({0, 1});
    w.ui.MenuCoverSet->trigger();
    QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
}

void removeCover(const Program& program, const MusicFolder&)
{
    program.select({0});
    program.main().ui.MenuCoverRemove->trigger();
    QCOMPARE(program.status(2), u"共修改:1  成功:1  失败:0"_s);
}

// A folder with a file in it, beside the music.
void albumFolder(const MusicFolder& music)
{
    threeFiles(music);
    music.subfolder(u"专辑"_s);
    music.addV1(u"专辑/d.mp3"_s, "D");
}

// The folder tree's menu on the folder's node, the shell's `verb` picked in
// it, and a deletion confirmed.
void treeMenu(TFormMain& w, const QString& folder, const QString& verb)
{
    TShellTree* tree = w.ui.ShellTree;
    QTreeWidgetItem* node = nodeOf(w, folder);
    QVERIFY(node);
    tree->setCurrentItem(node);
    const TShellBrowser::Ui saved = TShellBrowser::ui();
    TShellBrowser::ui().confirmDelete = [](const QStringList&) {
        return true;
    };
    TShellBrowser::ui().execMenu = [verb](QMenu& menu, const QPoint&) -> QAction* {
        for (QAction* action : menu.findChildren<QAction*>()) {
            if (action->objectName() == verb)
                return action;
        }
        return nullptr;
    };
    const QPoint at = pointOn(*tree, node);
    QContextMenuEvent click(QContextMenuEvent::Mouse, at, tree->viewport()->mapToGlobal(at));
    QApplication::sendEvent(tree->viewport(), &click);
    TShellBrowser::ui() = saved;
}

void deleteFolder(const Program& program, const MusicFolder& music)
{
    treeMenu(program.main(), music.path() + u"专辑"_s, u"delete"_s);
    QVERIFY(!QFileInfo::exists(music.path() + u"专辑"_s));
}

// F2 on the folder's node, the new name given and Enter.
void renameFolder(const Program& program, const MusicFolder& music)
{
    TFormMain& w = program.main();
    TShellTree* tree = w.ui.ShellTree;
    tree->setCurrentItem(nodeOf(w, music.path() + u"专辑"_s));
    QTest::keyClick(tree, Qt::Key_F2);
    auto* editor = tree->viewport()->findChild<QLineEdit*>();
    QVERIFY(editor);
    editor->setText(u"新专辑"_s); // a Chinese name comes through an input method
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(QFileInfo(music.path() + u"新专辑"_s).isDir());
}

void cutAndPasteFolder(const Program& program, const MusicFolder& music)
{
    treeMenu(program.main(), music.path() + u"专辑"_s, u"cut"_s);
    treeMenu(program.main(), targetOf(music), u"paste"_s);
    QTRY_VERIFY(QFileInfo(targetOf(music) + u"/专辑/d.mp3"_s).isFile());
    QVERIFY(!QFileInfo::exists(music.path() + u"专辑"_s));
}

const std::vector<Scenario>& scenarios()
{
    static const std::vector<Scenario> all{
        {"batch change", u"批量修改"_s, 3, batchChangeFiles, batchChange},
        {"ID3v1->ID3v2", u"ID3v1->ID3v2"_s, 2, copyFiles, copyV1ToV2},
        {"ID3v2->ID3v1", u"ID3v2->ID3v1"_s, 2, copyFiles, copyV2ToV1},
        {"renaming", u"批量改名"_s, 2, renameFiles, rename},
        {"encoding conversion", u"转换编码"_s, 1, conversionFiles, conversion},
        {"name repair", u"批量改名"_s, 1, fixNameFiles, fixName},
        {"drop onto a folder", u"移动"_s, 2, threeFiles, drop},
        {"deletion to the trash", u"删除"_s, 1, threeFiles, trash},
        {"new sub-folder", u"新建文件夹"_s, 1, threeFiles, newFolder},
        {"folder deleted from the tree", u"删除"_s, 1, albumFolder, deleteFolder},
        {"folder renamed in the tree", u"批量改名"_s, 1, albumFolder, renameFolder},
        {"folder cut and pasted in the tree", u"移动"_s, 1, albumFolder, cutAndPasteFolder},
        {"cover set", u"封面"_s, 2, coverFiles, setCover},
        {"cover removal", u"封面"_s, 1, coverFiles, removeCover},
    };
    return all;
}

// Ctrl+Z or Ctrl+Y on the list, or the Edit menu's item.
void turn(const Program& program, QAction* item, Qt::Key key, bool byKeys)
{
    QVERIFY(item->isEnabled());
    if (byKeys)
        QTest::keyClick(program.list(), key, Qt::ControlModifier);
    else
        item->trigger();
}

// A file with a name that is not UTF-8 would keep the temporary folder from
// being removed when a test stops half-way.
struct NativeNameRemover {
    QByteArray path;
    ~NativeNameRemover() { ::unlink(path.constData()); }
};

} // namespace

class UndoEveryCommandTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
        // A trash the user has used before, emptied.
        QDir trash(platform::HomeTrashPath());
        trash.removeRecursively();
        trash.mkpath(u"files"_s);
        trash.mkpath(u"info"_s);
    }

    void undoneAndRedoneAfterARestart_data()
    {
        QTest::addColumn<int>("scenario");
        QTest::addColumn<bool>("byKeys");
        for (std::size_t i = 0; i < scenarios().size(); ++i)
            QTest::newRow(scenarios()[i].name) << int(i) << (i % 2 == 0);
    }
    void undoneAndRedoneAfterARestart()
    {
        QFETCH(int, scenario);
        QFETCH(bool, byKeys);
        const Scenario& s = scenarios()[std::size_t(scenario)];
        MusicFolder music;
        const NativeNameRemover remover{gbkNamed(music)};
        music.subfolder(u"target"_s);
        s.prepare(music);
        if (QTest::currentTestFailed())
            return;
        const Snapshot before = snapshotOf(music);
        Snapshot after;
        QStringList rows;
        {
            const Program program(music.path());
            rows = program.captions();
            s.run(program, music);
            if (QTest::currentTestFailed())
                return;
            after = snapshotOf(music);
        }
        QVERIFY2(after != before, "the command changed nothing");

        const Program again(music.path());
        TFormMain& w = again.main();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        turn(again, w.ui.MenuUndo, Qt::Key_Z, byKeys);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(again.log().contains(u"撤销: %1 (%2 个文件)"_s.arg(s.step).arg(s.files)),
                 qPrintable(again.log()));
        QVERIFY2(snapshotOf(music) == before, qPrintable(differences(before, snapshotOf(music))));
        // The list shows the files back at once, as the folder was read.
        QCOMPARE(again.captions(), rows);

        turn(again, w.ui.MenuRedo, Qt::Key_Y, byKeys);
        if (QTest::currentTestFailed())
            return;
        QVERIFY2(again.log().contains(u"重做: %1 (%2 个文件)"_s.arg(s.step).arg(s.files)),
                 qPrintable(again.log()));
        QVERIFY2(snapshotOf(music) == after, qPrintable(differences(after, snapshotOf(music))));
    }

    // A folder renamed in the tree is undone by the command line too.
    void folderStepOfTheTreeUndoneByTheCommandLine()
    {
        MusicFolder music;
        albumFolder(music);
        {
            const Program program(music.path());
            renameFolder(program, music);
            if (QTest::currentTestFailed())
                return;
        }
        QProcess cli;
        cli.start(QString::fromUtf8(MP3T_CLI_PROGRAM), {u"undo"_s});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(QFileInfo(music.path() + u"专辑/d.mp3"_s).isFile());
        QVERIFY(!QFileInfo::exists(music.path() + u"新专辑"_s));
    }

    // A step the command line makes while the window is open is the
    // window's next undo, by the keys as by the menu.
    void stepOfTheCommandLineUndoneInTheWindow()
    {
        MusicFolder music;
        music.addV2(u"a.mp3"_s, "\xc7\xe7\xcc\xec"); // 晴天 in GBK
        const QByteArray before = testsupport::readBytes(music.file(u"a.mp3"_s));
        const Program program(music.path());
        QProcess cli;
        cli.setWorkingDirectory(music.path());
        cli.start(QString::fromUtf8(MP3T_CLI_PROGRAM),
                  {u"rename"_s, u"--priority=v2"_s, u"%1"_s, u"a.mp3"_s});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(QFile::exists(music.file(u"晴天.MP3"_s)));
        // The user comes back from the terminal.
        {
            QWidget terminal;
            terminal.show();
            terminal.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&terminal));
        }
        program.main().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&program.main()));

        turn(program, program.main().ui.MenuUndo, Qt::Key_Z, true);
        QVERIFY2(program.log().contains(u"撤销: 批量改名 (1 个文件)"_s), qPrintable(program.log()));
        QCOMPARE(testsupport::readBytes(music.file(u"a.mp3"_s)), before);
        QVERIFY(!QFile::exists(music.file(u"晴天.MP3"_s)));
    }
};

MP3T_TEST_MAIN(UndoEveryCommandTest)
#include "UndoEveryCommandTest.moc"
