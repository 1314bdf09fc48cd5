// The window and the command line run the same copy and the same tags from
// file names: on twin folders they give every file the same outcome and
// leave it with the same bytes.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include "tags/ID3v2.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

using namespace apptest;
using namespace testsupport;

namespace {

// The files of each twin folder, in list order.
const QStringList kNames{u"a both.mp3"_s, u"b v1.mp3"_s, u"c none.mp3"_s, u"d v2.mp3"_s,
                         u"王菲 - 红豆.mp3"_s};

void fill(const MusicFolder& music)
{
    music.add(kNames[0], id3v2Tag(3, frame23("TIT2", textData(0, "Two")), 16) + silentMpegFrames() +
                             id3v1Trailer("One", {}, {}, {}, {}, 7));
    music.addV1(kNames[1], "Only", "Band");
    music.add(kNames[2], silentMpegFrames());
    music.addV2(kNames[3], "V2", "Artist", "Album");
    music.addV2(kNames[4], "old", "old", "old");
}

// The command line's report of each file: its outcome, or "!" and its error.
QStringList runCli(const QString& folder, QStringList args)
{
    args.prepend(u"--json"_s);
    args += kNames;
    QProcess cli;
    cli.setWorkingDirectory(folder);
    cli.start(QString::fromUtf8(MP3T_CLI_PROGRAM), args);
    if (!cli.waitForFinished(60000))
        return {};
    QStringList said;
    const QJsonArray files = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
    for (const QJsonValue& file : files) {
        const QJsonObject object = file.toObject();
        said << (object[u"ok"_s].toBool() ? object[u"outcome"_s].toString()
                                          : u"!"_s + object[u"error"_s].toString());
    }
    return said;
}

void compareBytes(const MusicFolder& window, const MusicFolder& cli)
{
    for (const QString& name : kNames) {
        if (readBytes(window.file(name)) != readBytes(cli.file(name)))
            QFAIL(qPrintable(u"the heads left "_s + name + u" differently"_s));
    }
}

} // namespace

class HeadsAgreeTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init() { QFile::remove(settingsPath()); }

    void copies_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("way");
        QTest::addColumn<int>("choice");
        QTest::newRow("v1 to v2, keep") << u"BtnV1V2"_s << u"v1-to-v2"_s << 0;
        QTest::newRow("v1 to v2, overwrite") << u"BtnV1V2"_s << u"v1-to-v2"_s << 1;
        QTest::newRow("v2 to v1, keep") << u"BtnV2V1"_s << u"v2-to-v1"_s << 0;
        QTest::newRow("v2 to v1, overwrite") << u"BtnV2V1"_s << u"v2-to-v1"_s << 1;
    }
    // Each file the command line reports is logged by the window with the
    // same words (a file without the tag to copy is only counted there).
    void copies()
    {
        QFETCH(QString, button);
        QFETCH(QString, way);
        QFETCH(int, choice);
        MusicFolder inWindow;
        MusicFolder onCommandLine;
        fill(inWindow);
        fill(onCommandLine);
        QStringList args{u"copy"_s, way};
        if (choice == 1)
            args << u"--overwrite"_s;
        const QStringList said = runCli(onCommandLine.path(), args);
        QCOMPARE(said.size(), kNames.size());

        Program program(inWindow.path());
        QCOMPARE(program.captions(), kNames);
        program.main().ui.MenuSelAll->trigger();
        ModalAnswers answers({[choice](QWidget* d) {
            d->findChild<TRadioGroup*>(u"RadioGrpSel"_s)->setItemIndex(choice);
            d->findChild<QPushButton*>(u"BtnOk"_s)->click();
        }});
        program.find<QPushButton>(button)->click();
        const QString noSource = way == u"v1-to-v2"_s ? u"!没有ID3v1标签"_s : u"!没有ID3v2标签"_s;
        QStringList logged;
        int succeeded = 0;
        for (qsizetype i = 0; i < kNames.size(); ++i) {
            succeeded += !said[i].startsWith(u'!');
            if (said[i] != noSource)
                logged << inWindow.file(kNames[i]) +
                              QString(said[i]).remove(0, said[i].startsWith(u'!'));
        }
        QCOMPARE(program.log().split(u'\n'), logged);
        QCOMPARE(program.status(2), u"共修改:%1  成功:%2  失败:%3"_s.arg(kNames.size())
                                        .arg(succeeded)
                                        .arg(kNames.size() - succeeded));
        compareBytes(inWindow, onCommandLine);
    }

    // "%2 - %1" with the title, the artist and the album all from the name:
    // both heads set the title and the artist, keep the album the file has,
    // and refuse the names that do not fit.
    void fieldsFromNames()
    {
        MusicFolder inWindow;
        MusicFolder onCommandLine;
        fill(inWindow);
        fill(onCommandLine);
        const QStringList said = runCli(onCommandLine.path(), {u"from-name"_s, u"%2 - %1"_s});
        QCOMPARE(said.size(), kNames.size());

        Program program(inWindow.path());
        TFormMain& w = program.main();
        w.ui.PageCtrlMain->setCurrentIndex(0);
        for (QCheckBox* box : {w.ui.CheckBoxTitle, w.ui.CheckBoxArtist, w.ui.CheckBoxAlbum})
            box->setChecked(true);
        for (TRadioGroup* source : {w.ui.RadioGrpMTitle, w.ui.RadioGrpMArtist, w.ui.RadioGrpMAlbum})
            source->setItemIndex(0);
        w.ui.EditNamePattern->setText(u"%2 - %1"_s);
        w.ui.MenuSelAll->trigger();
        w.ui.BtnChgMProp->click();
        for (qsizetype i = 0; i < kNames.size(); ++i) {
            const QString path = inWindow.file(kNames[i]);
            if (said[i].startsWith(u'!'))
                QVERIFY(program.log().contains(path + said[i].mid(1) + u"."_s));
            else
                QVERIFY(program.log().contains(path + u"修改标题.\n"_s + path + u"修改作者.\n"_s));
        }
        QCOMPARE(said.count(u"已修改"_s), 1);
        QCOMPARE(program.status(2), u"共修改:5  成功:1  失败:4"_s);
        TID3v2 v2;
        v2.ReadFromFile(nativePath(inWindow.file(kNames[4])));
        QCOMPARE(v2.Title, tags::unicodeText("红豆"));
        QCOMPARE(v2.Artist, tags::unicodeText("王菲"));
        QCOMPARE(v2.Album.bytes, std::string("old"));
        compareBytes(inWindow, onCommandLine);
    }
};

MP3T_TEST_MAIN(HeadsAgreeTest)
#include "HeadsAgreeTest.moc"
