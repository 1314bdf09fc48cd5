// mp3tagloom-cli as scripts meet it: the built program run on real files in a
// private home, its output, files and exit status checked.

#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "tags/ID3v2.h"
#include "tests/cli/CliRunner.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>

#include <csignal>
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace testsupport;

using namespace clitest;

class CommandLineTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    QString file(const QString& name) const { return dir_->filePath(name); }
    QString add(const QString& name, const QByteArray& bytes) const
    {
        writeBytes(file(name), bytes);
        return file(name);
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mp3tdex.ini"_s);
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
    }

    // Each code page's texts, for scripts and for people: the columns are
    // padded by the terminal width of the texts, two columns per CJK one.
    void lsReadsEveryCodePage()
    {
        add(u"a.mp3"_s, legacyFile(gbk(u"晴天"_s), gbk(u"周杰伦"_s)));
        add(u"b.mp3"_s, legacyFile(big5(u"月亮代表我的心"_s), big5(u"鄧麗君"_s)));
        add(u"c.mp3"_s, id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(u"十年"_s)))) +
                            silentMpegFrames());
        add(u"d.mp3"_s, legacyFile("ab", "x"));

        const Run json = cli({u"ls"_s, u"--json"_s, u"."_s}, dir_->path());
        QCOMPARE(json.code, 0);
        const QJsonArray rows = json.json();
        QCOMPARE(filesOf(rows),
                 QStringList({u"./a.mp3"_s, u"./b.mp3"_s, u"./c.mp3"_s, u"./d.mp3"_s}));
        QCOMPARE(rows[0][u"title"_s].toString(), u"晴天"_s);
        QCOMPARE(rows[0][u"artist"_s].toString(), u"周杰伦"_s);
        QCOMPARE(rows[1][u"title"_s].toString(), u"月亮代表我的心"_s);
        QCOMPARE(rows[1][u"artist"_s].toString(), u"鄧麗君"_s);
        QCOMPARE(rows[2][u"title"_s].toString(), u"十年"_s);
        QCOMPARE(rows[2][u"ok"_s].toBool(), true);

        const Run text = cli({u"ls"_s}, dir_->path());
        QCOMPARE(text.code, 0);
        QCOMPARE(QString::fromUtf8(text.out), u"a.mp3  晴天            周杰伦\n"
                                              u"b.mp3  月亮代表我的心  鄧麗君\n"
                                              u"c.mp3  十年\n"
                                              u"d.mp3  ab              x\n"_s);
    }

    // The priority of the window's settings, unless the command names one.
    void lsShowsByPriority_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QString>("title");
        QTest::newRow("default prefers ID3v2") << QByteArray() << QStringList() << u"two"_s;
        QTest::newRow("settings: ID3v1 only")
            << QByteArray("ShowId=0\n") << QStringList() << u"one"_s;
        QTest::newRow("option over settings")
            << QByteArray("ShowId=0\n") << QStringList{u"--priority=v2"_s} << u"two"_s;
        QTest::newRow("option v1")
            << QByteArray() << QStringList{u"--priority"_s, u"v1"_s} << u"one"_s;
    }
    void lsShowsByPriority()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QStringList, options);
        QFETCH(QString, title);
        writeSettings(settings);
        add(u"a.mp3"_s, legacyFile("two") + id3v1Trailer("one"));
        const Run run = cli(QStringList{u"ls"_s, u"--json"_s} + options, dir_->path());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.json().size(), 1);
        QCOMPARE(run.json()[0][u"title"_s].toString(), title);
    }

    // MP3 files by their extension in any case; sub-folders with -r; the
    // working folder when no path is given.
    void lsListsFolders_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("files");
        QTest::newRow("working folder") << QStringList() << QStringList{u"A.MP3"_s, u"b.mp3"_s};
        QTest::newRow("folder") << QStringList{u"sub"_s} << QStringList{u"sub/c.mp3"_s};
        QTest::newRow("recursive")
            << QStringList{u"-r"_s}
            << QStringList{u"A.MP3"_s, u"b.mp3"_s, u"sub/c.mp3"_s, u"sub/deeper/d.Mp3"_s};
        QTest::newRow("recursive folder") << QStringList{u"--recursive"_s, u"sub/"_s}
                                          << QStringList{u"sub/c.mp3"_s, u"sub/deeper/d.Mp3"_s};
        QTest::newRow("file") << QStringList{u"notes.txt"_s} << QStringList{u"notes.txt"_s};
    }
    void lsListsFolders()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, files);
        QDir(dir_->path()).mkpath(u"sub/deeper"_s);
        for (const QString& name :
             {u"A.MP3"_s, u"b.mp3"_s, u"notes.txt"_s, u"sub/c.mp3"_s, u"sub/deeper/d.Mp3"_s})
            add(name, legacyFile("t"));
        const Run run = cli(QStringList{u"ls"_s, u"--json"_s} + args, dir_->path());
        QCOMPARE(run.code, 0);
        QCOMPARE(filesOf(run.json()), files);
    }

    // A system error is told in Chinese, not in the system's English.
    void systemErrorsInChinese()
    {
        add(u"a.mp3"_s, legacyFile("A"));
        const Run run = cli({u"get"_s, u"title"_s, u"a.mp3/b.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 1);
        QVERIFY2(run.err.contains("a.mp3/b.mp3: 路径中的一项不是文件夹"), run.err.constData());
    }

    // Fields first, up to the first that is none or "--"; a file that is not
    // there fails alone.
    void getPrintsFields()
    {
        add(u"a.mp3"_s, legacyFile(gbk(u"晴天"_s), "Jay"));
        add(u"title"_s, legacyFile("named title"));
        const Run run =
            cli({u"get"_s, u"artist"_s, u"title"_s, u"a.mp3"_s, u"gone.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 1);
        QCOMPARE(QString::fromUtf8(run.out), u"a.mp3  Jay  晴天\n"_s);
        QVERIFY(run.err.contains("gone.mp3: 文件不存在"));

        const Run json =
            cli({u"get"_s, u"--json"_s, u"title"_s, u"--"_s, u"title"_s}, dir_->path());
        QCOMPARE(json.code, 0);
        QCOMPARE(json.json().size(), 1);
        const QJsonObject object = json.json()[0].toObject();
        QCOMPARE(object.keys(), QStringList({u"file"_s, u"ok"_s, u"title"_s}));
        QCOMPARE(object[u"title"_s].toString(), u"named title"_s);
    }

    // Mistakes in the command line end with status 2 and nothing done.
    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList();
        QTest::newRow("unknown command") << QStringList{u"list"_s};
        QTest::newRow("unknown option") << QStringList{u"ls"_s, u"--all"_s};
        QTest::newRow("unknown short option") << QStringList{u"ls"_s, u"-x"_s};
        QTest::newRow("bad priority") << QStringList{u"ls"_s, u"--priority=v3"_s};
        QTest::newRow("option without value") << QStringList{u"ls"_s, u"--priority"_s};
        QTest::newRow("unknown field") << QStringList{u"get"_s, u"titel"_s, u"a.mp3"_s};
        QTest::newRow("get without files") << QStringList{u"get"_s, u"title"_s};
        QTest::newRow("set a field ID3v1 lacks")
            << QStringList{u"set"_s, u"--priority=v1"_s, u"albumartist=x"_s, u"a.mp3"_s};
        QTest::newRow("set without values") << QStringList{u"set"_s, u"a.mp3"_s};
        QTest::newRow("set without files") << QStringList{u"set"_s, u"title=x"_s};
        QTest::newRow("undo count") << QStringList{u"undo"_s, u"twice"_s};
        QTest::newRow("history argument") << QStringList{u"history"_s, u"1"_s};
    }
    void badUsage()
    {
        QFETCH(QStringList, args);
        const QByteArray before = legacyFile("t");
        add(u"a.mp3"_s, before);
        const Run run = cli(args, dir_->path());
        QCOMPARE(run.code, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY(run.err.startsWith("mp3tagloom-cli: "));
        QCOMPARE(readBytes(file(u"a.mp3"_s)), before);
    }

    void helpForEachCommand_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("usage");
        QTest::newRow("program") << QStringList{u"--help"_s} << QByteArray("mp3tagloom-cli [");
        QTest::newRow("set") << QStringList{u"set"_s, u"--help"_s}
                             << QByteArray("mp3tagloom-cli set ");
        QTest::newRow("undo") << QStringList{u"undo"_s, u"-h"_s}
                              << QByteArray("mp3tagloom-cli undo ");
    }
    void helpForEachCommand()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, usage);
        const Run run = cli(args);
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.contains(usage), run.out.constData());
    }

    // The batch change, read back; the settings' write form is the window's.
    void setThenGet_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QByteArray>("written");
        QTest::newRow("unicode") << QByteArray() << textData(1, utf16WithBom(u"新歌"_s));
        QTest::newRow("gbk") << QByteArray("TextEncoding=gbk\n") << textData(0, gbk(u"新歌"_s));
    }
    void setThenGet()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QByteArray, written);
        writeSettings(settings + "ShowId=1\n");
        const QString a = add(u"a.mp3"_s, legacyFile("old", "keep"));
        add(u"b.mp3"_s, legacyFile("old"));
        const Run set =
            cli({u"set"_s, u"title=新歌"_s, u"album=专辑"_s, u"a.mp3"_s, u"b.mp3"_s}, dir_->path());
        QCOMPARE(set.code, 0);
        QVERIFY(set.err.isEmpty());
        QVERIFY(readBytes(a).contains(written));
        const Run get = cli({u"get"_s, u"title"_s, u"artist"_s, u"album"_s, u"a.mp3"_s, u"b.mp3"_s},
                            dir_->path());
        QCOMPARE(get.code, 0);
        QCOMPARE(QString::fromUtf8(get.out), u"a.mp3  新歌  keep  专辑\n"
                                             u"b.mp3  新歌        专辑\n"_s);
    }

    // A file with only an ID3v1 tag: the ID3v2 tag `set` makes starts as a
    // copy of it, so only the artist changes, in both versions.
    void setOnAV1OnlyFileKeepsItsTexts()
    {
        const QString path =
            add(u"v1only.mp3"_s,
                silentMpegFrames() + id3v1Trailer(gbk(u"甜蜜蜜"_s), gbk(u"邓丽君"_s),
                                                  gbk(u"甜蜜蜜专辑"_s), "1979", gbk(u"经典"_s), 5));
        const Run set = cli({u"set"_s, u"artist=新作者"_s, u"--"_s, u"v1only.mp3"_s}, dir_->path());
        QCOMPARE(set.code, 0);
        TID3v2 v2;
        QVERIFY(v2.ReadFromFile(nativePath(path)) && v2.Exists());
        QCOMPARE(v2.Title, tags::unicodeText("甜蜜蜜"));
        QCOMPARE(v2.Artist, tags::unicodeText("新作者"));
        QCOMPARE(v2.Album, tags::unicodeText("甜蜜蜜专辑"));
        QCOMPARE(v2.Year.bytes, std::string("1979"));
        QCOMPARE(v2.Comment, tags::unicodeText("经典"));
        QCOMPARE(v2.Track.bytes, std::string("5"));
        const Run get = cli({u"get"_s, u"--priority=v1"_s, u"title"_s, u"artist"_s, u"album"_s,
                             u"year"_s, u"v1only.mp3"_s},
                            dir_->path());
        QCOMPARE(QString::fromUtf8(get.out), u"v1only.mp3  甜蜜蜜  新作者  甜蜜蜜专辑  1979\n"_s);
    }

    // A file that cannot be written fails alone, with its reason; the
    // others of the batch are written.
    void failureInTheMiddleOfABatch()
    {
        writeSettings("ShowId=1\n");
        const QString a = add(u"a.mp3"_s, silentMpegFrames());
        const QString b = add(u"b.mp3"_s, silentMpegFrames());
        const QString c = add(u"c.mp3"_s, silentMpegFrames());
        // A folder in the place of the rewrite's temporary copy cannot be cleared away.
        QDir(dir_->path()).mkpath(u"b.mp3.tdexbak/inside"_s);
        QDir(dir_->path()).mkpath(u"folder.mp3"_s);
        const Run run = cli({u"set"_s, u"--json"_s, u"title=new"_s, u"a.mp3"_s, u"b.mp3"_s,
                             u"folder.mp3"_s, u"c.mp3"_s},
                            dir_->path());
        QCOMPARE(run.code, 1);
        const QJsonArray rows = run.json();
        QCOMPARE(filesOf(rows), QStringList({u"a.mp3"_s, u"b.mp3"_s, u"folder.mp3"_s, u"c.mp3"_s}));
        QCOMPARE(rows[0][u"ok"_s].toBool(), true);
        QCOMPARE(rows[1][u"ok"_s].toBool(), false);
        QVERIFY(rows[1][u"error"_s].toString().startsWith(u"写入失败"_s));
        QCOMPARE(rows[2][u"ok"_s].toBool(), false);
        QCOMPARE(rows[2][u"error"_s].toString(), u"是文件夹"_s);
        QCOMPARE(rows[3][u"ok"_s].toBool(), true);
        QVERIFY(run.err.contains("b.mp3: 写入失败"));
        QVERIFY(run.err.contains("folder.mp3: 是文件夹"));
        QCOMPARE(readBytes(b), silentMpegFrames());
        const Run get = cli({u"get"_s, u"title"_s, u"a.mp3"_s, u"c.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(get.out), u"a.mp3  new\nc.mp3  new\n"_s);
    }

    // A ".mp3" that holds neither a tag nor MPEG audio (a text file) is
    // refused and left as it is; the audio beside it is written.
    void refusesAFileThatIsNoMp3()
    {
        const QByteArray text = QByteArray("just some notes, no music\n").repeated(10);
        const QString notes = add(u"notes.mp3"_s, text);
        add(u"song.mp3"_s, silentMpegFrames());
        const Run run =
            cli({u"set"_s, u"title=new"_s, u"--"_s, u"notes.mp3"_s, u"song.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains("notes.mp3: 不是MP3文件"));
        QVERIFY(!run.out.contains("notes.mp3  已修改"));
        QCOMPARE(readBytes(notes), text);
        const Run get = cli({u"get"_s, u"title"_s, u"song.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(get.out), u"song.mp3  new\n"_s);
    }

    // One step of the window's journal for the whole batch: listed, undone
    // byte for byte, redone.
    void undoAndRedoTheBatch()
    {
        const QString a = add(u"a.mp3"_s, legacyFile("a"));
        const QString b = add(u"b.mp3"_s, legacyFile("b"));
        const QByteArray aBefore = readBytes(a);
        const QByteArray bBefore = readBytes(b);
        QCOMPARE(cli({u"set"_s, u"artist=X"_s, u"a.mp3"_s, u"b.mp3"_s}, dir_->path()).code, 0);
        const QByteArray aAfter = readBytes(a);
        QVERIFY(aAfter != aBefore);

        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.code, 0);
        QCOMPARE(history.json().size(), 1);
        const QJsonObject step = history.json()[0].toObject();
        QCOMPARE(step[u"name"_s].toString(), u"批量修改"_s);
        QCOMPARE(step[u"files"_s].toInt(), 2);
        QCOMPARE(step[u"state"_s].toString(), QString());

        const Run undo = cli({u"--json"_s, u"undo"_s});
        QCOMPARE(undo.code, 0);
        QCOMPARE(filesOf(undo.json()), QStringList({a, b}));
        QCOMPARE(readBytes(a), aBefore);
        QCOMPARE(readBytes(b), bBefore);
        const Run undone = cli({u"history"_s});
        QVERIFY2(undone.out.contains("批量修改  2  已撤销"), undone.out.constData());
        // Nothing more to undo: said, and a failure.
        const Run nothing = cli({u"undo"_s});
        QCOMPARE(nothing.code, 1);
        QVERIFY(nothing.err.contains("没有可撤销的操作"));

        QCOMPARE(cli({u"redo"_s}).code, 0);
        QCOMPARE(readBytes(a), aAfter);
    }

    // A journal that cannot be opened: the files are still changed, and the
    // user is told that this change cannot be undone, in one line each.
    void changeWithoutTheJournalIsSaid()
    {
        const QString a = add(u"a.mp3"_s, legacyFile("a"));
        const QString state = qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s;
        QVERIFY(QDir().mkpath(state));
        writeBytes(state + u"/journal.sqlite"_s, QByteArray(8192, 'x'));
        const Run run = cli({u"set"_s, u"title=new"_s, u"a.mp3"_s}, dir_->path());
        QVERIFY(readBytes(a) != legacyFile("a"));
        const QStringList lines = QString::fromUtf8(run.err).split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(lines.size() == 2, run.err.constData());
        QVERIFY2(lines[0].contains(u"操作历史无法打开"_s) && lines[0].contains(u"修改日志未改动"_s),
                 run.err.constData());
        QCOMPARE(lines[1], u"mp3tagloom-cli: 文件已照常修改, 但这次修改无法撤销"_s);
        // The same title again changes nothing: nothing to take back either.
        const Run same = cli({u"set"_s, u"title=new"_s, u"a.mp3"_s}, dir_->path());
        QCOMPARE(same.code, 0);
        QVERIFY2(!same.err.contains("无法撤销"), same.err.constData());
    }

    // A new step ends the redo chain: after undoing A, making B and undoing
    // it, redo brings back B only; A stays listed as undone.
    void redoStopsAtTheLastNewStep()
    {
        const QString a = add(u"a.mp3"_s, legacyFile("a"));
        const QString b = add(u"b.mp3"_s, legacyFile("b"));
        const QByteArray aBefore = readBytes(a);
        QCOMPARE(cli({u"set"_s, u"title=A"_s, u"a.mp3"_s}, dir_->path()).code, 0);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(cli({u"set"_s, u"title=B"_s, u"b.mp3"_s}, dir_->path()).code, 0);
        const QByteArray bAfter = readBytes(b);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(cli({u"redo"_s}).code, 0);
        QCOMPARE(readBytes(b), bAfter);
        QCOMPARE(readBytes(a), aBefore);
        const Run again = cli({u"redo"_s});
        QCOMPARE(again.code, 1);
        QVERIFY(again.err.contains("没有可重做的操作"));
        QCOMPARE(readBytes(a), aBefore);
        const QJsonArray steps = cli({u"history"_s, u"--json"_s}).json();
        QCOMPARE(steps.size(), 2);
        QCOMPARE(steps[1][u"state"_s].toString(), u"已撤销"_s);
    }

    // A file changed by someone else since the step is left alone: a
    // failure of that file, the other one undone.
    void undoLeavesAChangedFileAlone()
    {
        const QString a = add(u"a.mp3"_s, legacyFile("a"));
        const QString b = add(u"b.mp3"_s, legacyFile("b"));
        const QByteArray bBefore = readBytes(b);
        QCOMPARE(cli({u"set"_s, u"artist=X"_s, u"a.mp3"_s, u"b.mp3"_s}, dir_->path()).code, 0);
        QByteArray changed = readBytes(a);
        changed[changed.size() - 1] = 'z';
        writeBytes(a, changed);
        const Run undo = cli({u"undo"_s, u"--json"_s});
        QCOMPARE(undo.code, 1);
        const QJsonArray rows = undo.json();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][u"ok"_s].toBool(), false);
        QVERIFY(rows[0][u"error"_s].toString().startsWith(u"文件已被修改"_s));
        QCOMPARE(rows[1][u"ok"_s].toBool(), true);
        QVERIFY(undo.err.contains((a + u": 文件已被修改"_s).toUtf8()));
        QCOMPARE(readBytes(a), changed);
        QCOMPARE(readBytes(b), bBefore);
    }

    // With the window running (its journal open), a batch killed midway is
    // finished by the next undo, which takes back the files it wrote; a step
    // that a running program still writes is not undone, and that is a
    // failure.
    void undoOfAKilledBatchWhileTheWindowRuns()
    {
        const operations::Journal window(operations::Journal::defaultFile());
        std::vector<tags::TagChange> changes;
        QList<QByteArray> before;
        for (const QString& name : {u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}) {
            const QString path = add(name, legacyFile(name.toUtf8()));
            before.append(readBytes(path));
            auto change = tags::beginChange(nativePath(path));
            QVERIFY(change);
            change->setTail(id3v1Trailer("New").toStdString());
            changes.push_back(*change);
        }
        const pid_t batch = ::fork();
        if (batch == 0) {
            operations::Journal journal(operations::Journal::defaultFile());
            operations::TagWrites writes(&journal, operations::StepKind::FieldChange);
            for (const tags::TagChange& change : changes)
                writes.add(change);
            writes.write([](std::size_t index, const operations::Outcome&) {
                if (index == 1)
                    ::raise(SIGKILL);
            });
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(batch, &status, 0), batch);
        QVERIFY(WIFSIGNALED(status));
        // Two files were reported; the third may be written already.
        int written = 0;
        for (int i = 0; i < 3; ++i)
            written += readBytes(file(QString(QChar(u'a' + i)) + u".mp3"_s)) != before[i] ? 1 : 0;
        QVERIFY(written >= 2);
        const Run undo = cli({u"undo"_s});
        QCOMPARE(undo.code, 0);
        const QByteArray count = QByteArray::number(written);
        QVERIFY2(undo.out.contains(count + '/' + count), undo.out.constData());
        for (int i = 0; i < 3; ++i)
            QCOMPARE(readBytes(file(QString(QChar(u'a' + i)) + u".mp3"_s)), before[i]);

        operations::Journal running(operations::Journal::defaultFile());
        running.beginWrites(operations::StepKind::Save, {changes[0]});
        const Run refused = cli({u"undo"_s});
        QCOMPARE(refused.code, 1);
        QVERIFY2(refused.err.contains("另一个程序"), refused.err.constData());
        QVERIFY2(!refused.out.contains("已撤销"), refused.out.constData());
    }

    // The window's steps are the program's: a save the window made is
    // listed and undone here.
    void undoesAStepOfTheWindow()
    {
        const QString a = add(u"a.mp3"_s, legacyFile("a"));
        const QByteArray before = readBytes(a);
        {
            operations::Journal journal(operations::Journal::defaultFile());
            TID3v2 v2;
            v2.ReadFromFile(nativePath(a));
            v2.Title = tags::legacyText("b");
            auto change = operations::tagChange(nativePath(a), nullptr, &v2);
            QVERIFY(change);
            QVERIFY(operations::writeOne(&journal, operations::StepKind::Save, *change).succeeded);
            journal.flushWrites();
        }
        QVERIFY(readBytes(a) != before);
        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.json().size(), 1);
        QCOMPARE(history.json()[0][u"name"_s].toString(), u"修改属性"_s);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), before);
    }

    // A name in GBK bytes: read and written by its bytes, printed as them,
    // and in JSON as the text the code page reads plus the bytes.
    void nonUtf8FileName()
    {
        const QByteArray name = gbk(u"老歌"_s) + ".mp3";
        const QByteArray folder = QFile::encodeName(dir_->path());
        QVERIFY(writeNative(folder + '/' + name, legacyFile("old")));

        const Run set = cliBytes({"set", "title=new", name}, dir_->path());
        QCOMPARE(set.code, 0);
        const Run get = cliBytes({"get", "title", name}, dir_->path());
        QCOMPARE(get.code, 0);
        QCOMPARE(get.out, name + "  new\n");

        const Run text = cli({u"ls"_s}, dir_->path());
        QCOMPARE(text.out, name + "  new\n");
        const Run json = cli({u"ls"_s, u"--json"_s}, dir_->path());
        QCOMPARE(json.json().size(), 1);
        const QJsonObject object = json.json()[0].toObject();
        QCOMPARE(object[u"file"_s].toString(), u"老歌.mp3"_s);
        QCOMPARE(object[u"path_bytes"_s].toString(), u"%C0%CF%B8%E8.mp3"_s);
        QCOMPARE(object[u"title"_s].toString(), u"new"_s);
    }
    // QDir cannot remove a name that is not UTF-8.
    void cleanup()
    {
        ::unlink(
            QFile::encodeName(dir_->path() + u"/"_s).append(gbk(u"老歌"_s) + ".mp3").constData());
    }
};

MP3T_TEST_GUILESS_MAIN(CommandLineTest)
#include "CommandLineTest.moc"
