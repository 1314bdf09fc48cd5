// The conversion of legacy texts to Unicode is one command under both
// heads: the window's encoding dialog and "encoding --convert" of the
// command line give each file the same outcome and the same bytes.

#include "tests/app/MainWindowFixture.h"
#include "tests/support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>
#include <QProcess>

using namespace apptest;
using namespace testsupport;

namespace {

QByteArray legacyFile(const char* codec, const QString& title, const QByteArray& tail = {})
{
    return id3v2Tag(3, frame23("TIT2", textData(0, encoded(codec, title))), 64) +
           silentMpegFrames() + tail;
}

// The same files in each folder: GBK in both versions, plain ASCII, Big5,
// GBK in ID3v1 alone.
void addFiles(const MusicFolder& music)
{
    music.add(u"a.mp3"_s, legacyFile("GBK", u"童话"_s, id3v1Trailer(gbk(u"后来"_s))));
    music.add(u"b.mp3"_s, legacyFile("GBK", u"Plain"_s));
    music.add(u"c.mp3"_s, legacyFile("Big5", u"月亮代表我的心"_s));
    // Listed for its GBK text, which ID3v1 keeps as it is.
    music.add(u"d.mp3"_s, silentMpegFrames() + id3v1Trailer(gbk(u"后来"_s)));
}

const QStringList& names()
{
    static const QStringList all{u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s};
    return all;
}

} // namespace

class ConversionHeadsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init()
    {
        QFile::remove(settingsPath());
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
    }

    void sameOutcomesFromBothHeads()
    {
        MusicFolder byWindow;
        MusicFolder byCommand;
        addFiles(byWindow);
        addFiles(byCommand);

        // The window: the whole folder selected, converted as detected.
        QString log;
        {
            const Program program(byWindow.path());
            program.main().ui.MenuSelAll->trigger();
            const ModalAnswers answers({ModalAnswers::click(u"BtnConvert"_s)});
            program.main().ui.MenuEncoding->trigger();
            QCOMPARE(answers.answered(), 1);
            QCOMPARE(program.status(2), u"共修改:2  成功:2  失败:0"_s);
            log = program.log();
        }

        QProcess cli;
        cli.setWorkingDirectory(byCommand.path());
        cli.start(QString::fromUtf8(MP3T_CLI_PROGRAM),
                  QStringList{u"encoding"_s, u"--convert"_s, u"--json"_s} + names());
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        const QJsonArray files = QJsonDocument::fromJson(cli.readAllStandardOutput()).array();
        QCOMPARE(files.size(), names().size());

        QStringList logged;
        for (int i = 0; i < names().size(); ++i) {
            const QJsonObject file = files[i].toObject();
            QVERIFY(file[u"ok"_s].toBool());
            const QString outcome = file[u"outcome"_s].toString();
            // The window logs the files it converted, and says nothing of the
            // ones that needed nothing.
            if (outcome == u"编码转换"_s)
                logged << byWindow.file(names()[i]) + u"编码转换."_s;
            else
                QCOMPARE(outcome, u"无需转换"_s);
            QVERIFY2(readBytes(byWindow.file(names()[i])) == readBytes(byCommand.file(names()[i])),
                     qPrintable(names()[i]));
        }
        QCOMPARE(logged.size(), 2);
        QCOMPARE(log, logged.join(u'\n'));
    }
};

MP3T_TEST_MAIN(ConversionHeadsTest)
#include "ConversionHeadsTest.moc"
