// The window among the desktop's programs: started on a folder or a file,
// a folder dropped onto it from a file manager, and its size, splitters and
// columns kept from one run to the next; and the command line it takes.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "app/CommandLine.h"
#include "platform/NativePath.h"

#include <QDropEvent>
#include <QHeaderView>
#include <QMimeData>
#include <QSplitter>
#include <QTabWidget>

using namespace apptest;
using namespace testsupport;

namespace {

// A file manager drops one URL onto the window (no source inside the program).
bool dropUrl(TFormMain& w, const QUrl& url)
{
    QMimeData data;
    data.setUrls({url});
    const QPoint at = w.ui.ListViewMain->mapTo(&w, QPoint(20, 40));
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&w, &enter);
    if (!enter.isAccepted())
        return false;
    QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, {});
    QCoreApplication::sendEvent(&w, &drop);
    return drop.isAccepted();
}

TCommandLine parse(const QList<QByteArray>& args)
{
    std::vector<const char*> argv{"mp3tagloom"};
    for (const QByteArray& arg : args)
        argv.push_back(arg.constData());
    return ParseCommandLine(int(argv.size()), argv.data());
}

} // namespace

class DesktopTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void commandLine()
    {
        QCOMPARE(parse({}).path, QString());
        QVERIFY(!parse({}).exit);
        // A GBK folder name keeps its bytes.
        const QByteArray gbkName = "/m/" + gbk(u"老歌"_s);
        QCOMPARE(platform::NativePath(parse({gbkName}).path), gbkName.toStdString());
        QCOMPARE(parse({"--", "-odd.mp3"}).path, u"-odd.mp3"_s);
        const TCommandLine help = parse({"--help"});
        QVERIFY(help.exit);
        QCOMPARE(help.status, 0);
        QVERIFY(help.output.contains(u"mp3tagloom"_s));
        QCOMPARE(parse({"a", "b"}).status, 2);
        QCOMPARE(parse({"--bogus"}).status, 2);
        QVERIFY(parse({"--bogus"}).exit);
    }

    // The argument wins over the folder of the settings; a file is selected
    // and shown on the page.
    void startsOnAFolderOrAFile()
    {
        MusicFolder stored;
        stored.addV1(u"stored.mp3"_s, "Stored");
        MusicFolder given;
        given.addV1(u"a.mp3"_s, "A");
        given.addV1(u"b.mp3"_s, gbk(u"第二首"_s));
        {
            Program program(stored.path(), {}, given.path().chopped(1));
            QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s}));
            QVERIFY(program.selected().isEmpty());
        }
        Program program(stored.path(), {}, given.file(u"b.mp3"_s));
        QCOMPARE(program.captions(), QStringList({u"a.mp3"_s, u"b.mp3"_s}));
        QCOMPARE(program.selectedCaptions(), QStringList{u"b.mp3"_s});
        QCOMPARE(program.main().ui.EditFile->text(), given.file(u"b.mp3"_s));
        QCOMPARE(program.main().ui.EditTitle->text(), u"第二首"_s);
    }

    void aMissingStartPathIsSaidAndTheStoredFolderShown()
    {
        MusicFolder stored;
        stored.addV1(u"stored.mp3"_s, "Stored");
        QStringList said;
        Program program(stored.path(), {[&](QWidget* box) {
                            said << static_cast<QMessageBox*>(box)->text();
                            static_cast<QMessageBox*>(box)->accept();
                        }},
                        stored.file(u"gone.mp3"_s));
        QCOMPARE(said.size(), 1);
        QVERIFY(said.first().contains(stored.file(u"gone.mp3"_s)));
        QCOMPARE(program.captions(), QStringList{u"stored.mp3"_s});
    }

    void folderDroppedFromAFileManagerOpens()
    {
        MusicFolder first;
        first.addV1(u"one.mp3"_s, "One");
        MusicFolder second;
        second.addV1(u"x.mp3"_s, "X");
        second.addV1(u"y.mp3"_s, "Y");
        Program program(first.path());
        TFormMain& w = program.main();
        QVERIFY(dropUrl(w, QUrl::fromLocalFile(second.path())));
        QCOMPARE(program.captions(), QStringList({u"x.mp3"_s, u"y.mp3"_s}));
        // A file opens its folder with the file selected.
        QVERIFY(dropUrl(w, QUrl::fromLocalFile(first.file(u"one.mp3"_s))));
        QCOMPARE(program.captions(), QStringList{u"one.mp3"_s});
        QCOMPARE(w.ui.EditTitle->text(), u"One"_s);
        // What is no local file is not taken.
        QVERIFY(!dropUrl(w, QUrl(u"https://example.org/song.mp3"_s)));
        QCOMPARE(program.captions(), QStringList{u"one.mp3"_s});
    }

    // Size, place, splitters and the widths the user gave the columns come
    // back at the next start.
    void windowAsItWasLeft()
    {
        MusicFolder music;
        music.addV1(u"a.mp3"_s, "A");
        QRect geometry;
        {
            Program program(music.path());
            TFormMain& w = program.main();
            // Until the user sizes a column, none is kept.
            w.close();
            QCOMPARE(readSetting(u"Window"_s, u"Columns"_s), QString());
        }
        {
            Program program(music.path());
            TFormMain& w = program.main();
            w.setGeometry(30, 40, 760, 470);
            w.ui.SplitterVer->setSizes({250, 760 - 250 - w.ui.SplitterVer->handleWidth()});
            const int height = w.ui.SplitterHor->height() - w.ui.SplitterHor->handleWidth();
            w.ui.SplitterHor->setSizes({height - 230, 230});
            w.ui.ListViewMain->header()->resizeSection(0, 210); // as the user drags it
            w.ui.ListViewMain->header()->resizeSection(2, 77);
            geometry = w.geometry();
            w.close();
        }
        Program program(music.path());
        TFormMain& w = program.main();
        program.forms().showMain();
        QCOMPARE(w.geometry(), geometry);
        QCOMPARE(w.ui.SplitterVer->sizes().value(0), 250);
        QCOMPARE(w.ui.SplitterHor->sizes().value(1), 230);
        QCOMPARE(w.ui.ListViewMain->header()->sectionSize(0), 210);
        QCOMPARE(w.ui.ListViewMain->header()->sectionSize(2), 77);
        // A rebuild no longer fits the name column over the user's width.
        w.ui.MenuReFlash->trigger();
        QCOMPARE(w.ui.ListViewMain->header()->sectionSize(0), 210);
    }

    // A settings file of an older build has the widths of the first five
    // columns only: they are taken, and the others keep theirs.
    void widthsOfAnOlderSettingsFileAreTaken()
    {
        writeSetting(u"Window"_s, u"Columns"_s, u"210,100,77,100,100"_s);
        Program program;
        program.forms().showMain();
        const QHeaderView* header = program.list()->header();
        QCOMPARE(header->sectionSize(0), 210);
        QCOMPARE(header->sectionSize(2), 77);
        program.main().close();
        QVERIFY(readSetting(u"Window"_s, u"Columns"_s).startsWith(u"210,100,77,100,100,"_s));
    }

    void aPlaceOnNoScreenIsNotKept()
    {
        writeSetting(u"Window"_s, u"Left"_s, u"-9000"_s);
        writeSetting(u"Window"_s, u"Top"_s, u"-9000"_s);
        writeSetting(u"Window"_s, u"Width"_s, u"700"_s);
        writeSetting(u"Window"_s, u"Height"_s, u"400"_s);
        writeSetting(u"Window"_s, u"Columns"_s, u"10,x,30"_s);
        Program program;
        program.forms().showMain();
        QVERIFY(QGuiApplication::primaryScreen()->geometry().intersects(
            program.main().frameGeometry()));
    }
};

MP3T_TEST_MAIN(DesktopTest)
#include "DesktopTest.moc"
