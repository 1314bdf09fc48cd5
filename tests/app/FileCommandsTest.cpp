// Moving files by dropping rows onto the tree, creating sub-folders and
// deleting files, on real folders; and the listen button against a fake
// player.

#include "tests/app/MainWindowFixture.h"
#include "tests/app/TreeDrops.h"
#include "tests/support/ItemPoint.h"
#include "tests/support/TestEnvironment.h"

#include "platform/WindowMessages.h"
#include "player/Winamp.h"
#include "tests/support/FakeWindows.h"

#include <QLabel>
#include <QMimeData>

using namespace apptest;
using namespace testsupport;

namespace {

// A player window for the length of a test.
struct PlayerWindow {
    platform::FakeWindows& desktop;
    platform::HWND window = desktop.addWindow(u"Winamp v1.x"_s);
    ~PlayerWindow() { desktop.closeWindow(window); }
};

} // namespace

class FileCommandsTest : public QObject {
    Q_OBJECT

    platform::FakeWindows desktop_;
    std::unique_ptr<platform::WindowBackendScope> scope_;

private Q_SLOTS:
    void initTestCase() { scope_ = std::make_unique<platform::WindowBackendScope>(desktop_); }
    void init()
    {
        QFile::remove(settingsPath());
        desktop_.clearMessages();
    }

    void dropMovesTheSelectedFiles()
    {
        MusicFolder music;
        const QString target = music.subfolder(u"target"_s);
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            music.addV1(QString::fromLatin1(name), name);
        Program program(music.path());
        TFormMain& w = program.main();
        const PlayerWindow player{desktop_};
        w.Winamp->StartWinAmp();
        desktop_.clearMessages();
        QTreeWidgetItem* node = nodeOf(w, target);
        program.select({0, 2});
        QVERIFY(dropRowsOn(w, node));
        QVERIFY(QFile::exists(target + u"/a.mp3"_s));
        QVERIFY(QFile::exists(target + u"/c.mp3"_s));
        QVERIFY(QFile::exists(music.file(u"b.mp3"_s)));
        QCOMPARE(program.captions(), QStringList{u"b.mp3"_s});
        QCOMPARE(program.log(), music.file(u"a.mp3"_s) + u"->"_s + target + u"/a.mp3\n"_s +
                                    music.file(u"c.mp3"_s) + u"->"_s + target + u"/c.mp3"_s);
        // The player was told to stop first.
        QVERIFY(!desktop_.messages().isEmpty());
        QCOMPARE(desktop_.messages().first().wParam, platform::WPARAM(40047));
    }

    void dropOnTheListsOwnFolderChangesNothing()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        TFormMain& w = program.main();
        QTreeWidgetItem* node = nodeOf(w, music.path());
        program.select({0});
        QVERIFY(dropRowsOn(w, node));
        QCOMPARE(program.rows(), 1);
        QCOMPARE(program.log(), QString());
        QVERIFY(QFile::exists(music.file(u"a.mp3"_s)));
    }

    void dropNeverReplacesAFile()
    {
        MusicFolder music;
        const QString target = music.subfolder(u"target"_s);
        music.addV1(u"a.mp3"_s, "mine");
        writeBytes(target + u"/a.mp3"_s, "theirs");
        Program program(music.path());
        TFormMain& w = program.main();
        QTreeWidgetItem* node = nodeOf(w, target);
        program.select({0});
        // The clash is planned first: skipping leaves nothing to run.
        bool nothingToRun = false;
        ModalAnswers plan({[&](QWidget* dialog) {
            nothingToRun = !dialog->findChild<QPushButton*>(u"BtnPlanRun"_s)->isEnabled();
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        QVERIFY(dropRowsOn(w, node));
        QTRY_COMPARE(plan.answered(), 1);
        QVERIFY(nothingToRun);
        QCOMPARE(readBytes(target + u"/a.mp3"_s), QByteArray("theirs"));
        QVERIFY(QFile::exists(music.file(u"a.mp3"_s)));
        QCOMPARE(program.captions(), QStringList{u"a.mp3"_s});
        QCOMPARE(program.log(), QString());
    }

    void onlyRowsOfTheListAreAccepted()
    {
        MusicFolder music;
        const QString target = music.subfolder(u"target"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        QMimeData foreign;
        foreign.setText(u"x"_s);
        TShellTree* tree = w.ui.ShellTree;
        const QPoint at = testsupport::pointOn(*tree, nodeOf(w, target));
        QDragEnterEvent enter(at, Qt::MoveAction, &foreign, Qt::LeftButton, {});
        QCoreApplication::sendEvent(tree->viewport(), &enter);
        QDragMoveEvent move(at, Qt::MoveAction, &foreign, Qt::LeftButton, {});
        QCoreApplication::sendEvent(tree->viewport(), &move);
        QVERIFY(!move.isAccepted());
    }

    // Another running copy of the program names the same list in its drag
    // data: its drag must not move this copy's selected rows.
    void aDragOfAnotherCopyOfTheProgramIsRefused()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        const QString target = music.subfolder(u"target"_s);
        Program program(music.path());
        TFormMain& w = program.main();
        program.select({0});
        const QAbstractItemView* list = w.ui.ListViewMain;
        std::unique_ptr<QMimeData> ours(
            list->model()->mimeData(list->selectionModel()->selectedIndexes()));
        const QString format = QString::fromLatin1(ShellControls::DragSourceFormat);
        QVERIFY(ours->hasFormat(format));
        TShellTree* tree = w.ui.ShellTree;
        const QPoint at = testsupport::pointOn(*tree, nodeOf(w, target));
        // As this version and as an earlier one name the list.
        for (const QByteArray& marked :
             {QByteArray("0f0e0d0c-0b0a-0908-0706-050403020100 ListViewMain"),
              QByteArray("ListViewMain")}) {
            QMimeData theirs;
            for (const QString& f : ours->formats())
                theirs.setData(f, ours->data(f));
            theirs.setData(format, marked);
            QDragEnterEvent enter(at, Qt::MoveAction, &theirs, Qt::LeftButton, {});
            QCoreApplication::sendEvent(tree->viewport(), &enter);
            QDragMoveEvent move(at, Qt::MoveAction, &theirs, Qt::LeftButton, {});
            QCoreApplication::sendEvent(tree->viewport(), &move);
            QVERIFY(!move.isAccepted());
            QDropEvent drop(at, Qt::MoveAction, &theirs, Qt::LeftButton, {});
            QCoreApplication::sendEvent(tree->viewport(), &drop);
            QVERIFY(QFile::exists(music.file(u"a.mp3"_s)));
            QCOMPARE(program.rows(), 1);
        }
    }

    // "计算机" is no folder of the file system: a drop there and a new
    // sub-folder under it do nothing.
    void commandsWithoutAFolderDoNothing()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        TFormMain& w = program.main();
        QTreeWidgetItem* computer = nodeOf(w, QString());
        QVERIFY(computer);
        QCOMPARE(w.ui.ShellTree->GetNodePath(computer), QString());
        program.select({0});
        QVERIFY(dropRowsOn(w, computer));
        QCOMPARE(program.rows(), 1);
        QCOMPARE(program.log(), QString());
        w.ui.ShellTree->setSelectedFolder(QString());
        bool asked = false;
        w.InputBox = [&](const QString&, const QString&, const QString&) {
            asked = true;
            return u"new"_s;
        };
        w.ui.MenuCreSub->trigger();
        QVERIFY(asked);
        QCOMPARE(w.ui.ShellTree->GetNodePath(w.ui.ShellTree->currentItem()), QString());
    }

    void createSubFolder()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        TFormMain& w = program.main();
        nodeOf(w, music.path());
        QString asked;
        w.InputBox = [&](const QString& caption, const QString& prompt, const QString& text) {
            asked = caption + u'|' + prompt + u'|' + text;
            return u"新歌"_s;
        };
        w.ui.MenuCreSub->trigger();
        QCOMPARE(asked, u"新建子目录|目录名|"_s);
        const QString created = music.path() + u"新歌"_s;
        QVERIFY(QFileInfo(created).isDir());
        QCOMPARE(w.ui.ShellTree->SelectedFolder(), created + u'/');
        QCOMPARE(w.ui.ShellList->Path(), created + u'/');
        QCOMPARE(program.rows(), 0);
    }

    void cancelledSubFolderDoesNothing()
    {
        MusicFolder music;
        Program program(music.path());
        TFormMain& w = program.main();
        nodeOf(w, music.path());
        w.InputBox = [](const QString&, const QString&, const QString& text) {
            return text;
        };
        w.ui.MenuCreSub->trigger();
        QCOMPARE(QDir(music.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
                 QStringList());
    }

    void deleteMovesTheSelectedFilesToTheTrash()
    {
        MusicFolder music;
        for (const char* name : {"a.mp3", "b.mp3", "c.mp3"})
            music.addV1(QString::fromLatin1(name), name);
        Program program(music.path());
        program.select({0, 1});
        program.main().ui.MenuDelFile->trigger();
        QCOMPARE(program.captions(), QStringList{u"c.mp3"_s});
        QVERIFY(!QFile::exists(music.file(u"a.mp3"_s)));
        const QString trash = qEnvironmentVariable("XDG_DATA_HOME") + u"/Trash/files/"_s;
        QVERIFY(QFile::exists(trash + u"a.mp3"_s));
        QVERIFY(QFile::exists(trash + u"b.mp3"_s));
        QCOMPARE(program.log(), QString());
    }

    void listenPlaysWithARunningPlayerWithoutAsking()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        TFormMain& w = program.main();
        const PlayerWindow player{desktop_};
        bool asked = false;
        w.OpenDlg = [&](QWidget*) {
            asked = true;
            return QString();
        };
        program.clickRow(0);
        w.ui.BtnLsn->click();
        QVERIFY(!asked);
        bool played = false;
        for (const auto& m : desktop_.messages())
            played = played || (m.msg == 0x111 && m.wParam == 40157);
        QVERIFY(played);
        QCOMPARE(readSetting(u"WinampInfo"_s, u"Path"_s), QString());
    }

    // Without a player to start, the question is for a media player program
    // of this desktop, not for the Windows one.
    void listenAsksForAMediaPlayer()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        QString title;
        QString text;
        ModalAnswers answers({[&](QWidget* dialog) {
            title = dialog->windowTitle();
            for (const QLabel* label : dialog->findChildren<QLabel*>())
                text += label->text();
            QTest::keyClick(dialog, Qt::Key_Escape);
        }});
        program.clickRow(0);
        program.main().ui.BtnLsn->click();
        QCOMPARE(answers.answered(), 1);
        QCOMPARE(title, u"选择媒体播放器"_s);
        QVERIFY2(text.contains(u"媒体播放器"_s) && !text.contains(u"Winamp"_s), qPrintable(text));
        QCOMPARE(readSetting(u"WinampInfo"_s, u"Path"_s), u"<none>"_s);
    }

    void listenAsksUntilCancelledAndWritesNothing()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        Program program(music.path());
        TFormMain& w = program.main();
        int asked = 0;
        w.OpenDlg = [&](QWidget*) {
            return ++asked < 3 ? u"/no/such/player"_s : QString();
        };
        program.clickRow(0);
        w.ui.BtnLsn->click();
        QCOMPARE(asked, 3);
        QCOMPARE(readSetting(u"WinampInfo"_s, u"Path"_s), u"<none>"_s);
    }
};

MP3T_TEST_MAIN(FileCommandsTest)
#include "FileCommandsTest.moc"
