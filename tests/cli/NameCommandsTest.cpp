// rename and fix-names run as a child process on real files.

#include "platform/FolderNames.h"
#include "tests/cli/CliRunner.h"

#include <QDir>

#include <sys/stat.h>

using namespace Qt::StringLiterals;
using namespace testsupport;
using namespace clitest;

namespace {

QJsonObject objectOf(const Run& run, qsizetype i)
{
    return run.json()[i].toObject();
}

QStringList namesIn(const QString& folder)
{
    return QDir(folder).entryList(QDir::Files, QDir::Name);
}

// Also the names that are not UTF-8, which QDir does not list.
std::size_t entriesIn(const QString& folder)
{
    return platform::FolderEntries(folder).value_or(std::vector<QString>{}).size();
}

} // namespace

class NameCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> dir_;

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TestFolder>();
        writeSettings("ShowId=1\n");
    }

    // The plan of every state, printed and changing nothing: a name two
    // files would take, one a file that stays has, an empty one, one the
    // file has already.
    void dryRunPrintsThePlan()
    {
        dir_->add(u"a.mp3"_s, legacyFile("same"));
        dir_->add(u"b.mp3"_s, legacyFile("same"));
        dir_->add(u"c.mp3"_s, legacyFile("taken"));
        dir_->add(u"taken.MP3"_s, legacyFile("other"));
        dir_->add(u"d.mp3"_s, silentMpegFrames());
        dir_->add(u"e.MP3"_s, legacyFile("e"));
        dir_->add(u"f.mp3"_s, legacyFile(gbk(u"晴天"_s)));
        const QStringList before = namesIn(dir_->path());

        const Run run = cli({u"rename"_s, u"--dry-run"_s, u"--json"_s, u"%1"_s, u"a.mp3"_s,
                             u"b.mp3"_s, u"c.mp3"_s, u"d.mp3"_s, u"e.MP3"_s, u"f.mp3"_s},
                            dir_->path());
        QCOMPARE(run.code, 1);
        QStringList states;
        for (const QJsonValue& row : run.json())
            states.append(row[u"state"_s].toString());
        QCOMPARE(states, QStringList({u"conflict"_s, u"conflict"_s, u"conflict"_s, u"empty"_s,
                                      u"unchanged"_s, u"rename"_s}));
        QCOMPARE(objectOf(run, 5)[u"new_name"_s].toString(), u"晴天.MP3"_s);
        QCOMPARE(objectOf(run, 5)[u"ok"_s].toBool(), true);
        QCOMPARE(objectOf(run, 5)[u"done"_s].toBool(), false);
        QCOMPARE(objectOf(run, 0)[u"ok"_s].toBool(), false);
        QVERIFY(!objectOf(run, 0)[u"error"_s].toString().isEmpty());
        QVERIFY(run.err.contains("d.mp3: "));
        QCOMPARE(namesIn(dir_->path()), before);

        const Run text = cli({u"rename"_s, u"--dry-run"_s, u"%1"_s, u"f.mp3"_s}, dir_->path());
        QCOMPARE(text.code, 0);
        QCOMPARE(QString::fromUtf8(text.out), u"f.mp3  晴天.MP3  重命名\n"_s);
        QCOMPARE(namesIn(dir_->path()), before);
    }

    // A swap, a Chinese name and files of two folders: renamed as one step,
    // every file's bytes under its new name, all undone at once.
    void renameAndUndo()
    {
        QDir(dir_->path()).mkpath(u"sub"_s);
        const QByteArray x = legacyFile("y");
        const QByteArray y = legacyFile("x");
        const QByteArray z = legacyFile(gbk(u"晴天"_s), gbk(u"周杰伦"_s));
        dir_->add(u"x.MP3"_s, x);
        dir_->add(u"y.MP3"_s, y);
        dir_->add(u"sub/z.mp3"_s, z);

        const Run run =
            cli({u"rename"_s, u"%1"_s, u"x.MP3"_s, u"y.MP3"_s, u"sub/z.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 0);
        QVERIFY(run.err.isEmpty());
        QCOMPARE(readBytes(dir_->file(u"y.MP3"_s)), x);
        QCOMPARE(readBytes(dir_->file(u"x.MP3"_s)), y);
        QCOMPARE(readBytes(dir_->file(u"sub/晴天.MP3"_s)), z);
        QCOMPARE(namesIn(dir_->path()), QStringList({u"x.MP3"_s, u"y.MP3"_s}));

        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.json().size(), 1);
        QCOMPARE(history.json()[0][u"name"_s].toString(), u"批量改名"_s);
        QCOMPARE(history.json()[0][u"files"_s].toInt(), 3);

        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(dir_->file(u"x.MP3"_s)), x);
        QCOMPARE(readBytes(dir_->file(u"y.MP3"_s)), y);
        QCOMPARE(readBytes(dir_->file(u"sub/z.mp3"_s)), z);
        QCOMPARE(namesIn(dir_->file(u"sub"_s)), QStringList({u"z.mp3"_s}));
    }

    // A file without tags gets no name made of the pattern's separators; a
    // title's control character and leading dot never reach a name, and the
    // run does what the dry run showed.
    void namesFromUntaggedFilesAndAwkwardTitles()
    {
        dir_->add(u"untagged.mp3"_s, silentMpegFrames());
        dir_->add(u"control.mp3"_s, legacyFile("x\x01y", "Band"));
        dir_->add(u"dot.mp3"_s, legacyFile(".hidden song", "Band"));
        const QStringList files{u"untagged.mp3"_s, u"control.mp3"_s, u"dot.mp3"_s};
        const Run dry =
            cli(QStringList{u"rename"_s, u"--dry-run"_s, u"--json"_s, u"%2 - %1"_s} + files,
                dir_->path());
        QCOMPARE(dry.code, 1);
        QCOMPARE(objectOf(dry, 0)[u"state"_s].toString(), u"empty"_s);
        QVERIFY(!objectOf(dry, 0).contains(u"new_name"_s));
        QCOMPARE(objectOf(dry, 1)[u"new_name"_s].toString(), u"Band - x_y.MP3"_s);
        const Run dot = cli({u"rename"_s, u"--dry-run"_s, u"%1"_s, u"dot.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(dot.out), u"dot.mp3  _hidden song.MP3  重命名\n"_s);

        const Run run = cli(QStringList{u"rename"_s, u"%1"_s} + files, dir_->path());
        QCOMPARE(run.code, 1);
        QVERIFY(run.err.contains("untagged.mp3: "));
        QCOMPARE(namesIn(dir_->path()),
                 QStringList({u"_hidden song.MP3"_s, u"untagged.mp3"_s, u"x_y.MP3"_s}));
    }

    // Files that cannot be renamed in the middle of the batch (gone, a name
    // too long for the file system) fail alone; the others are renamed.
    void failureInTheMiddleOfABatch()
    {
        dir_->add(u"a.mp3"_s, legacyFile("first"));
        const QString longName = u"b.mp3"_s;
        dir_->add(longName, legacyFile(QByteArray(300, 'x')));
        dir_->add(u"c.mp3"_s, legacyFile("third"));
        const Run run = cli(
            {u"rename"_s, u"--json"_s, u"%1"_s, u"a.mp3"_s, u"gone.mp3"_s, u"b.mp3"_s, u"c.mp3"_s},
            dir_->path());
        QCOMPARE(run.code, 1);
        QCOMPARE(filesOf(run.json()),
                 QStringList({u"a.mp3"_s, u"gone.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}));
        QCOMPARE(objectOf(run, 0)[u"done"_s].toBool(), true);
        QCOMPARE(objectOf(run, 1)[u"error"_s].toString(), u"文件不存在"_s);
        QCOMPARE(objectOf(run, 2)[u"state"_s].toString(), u"invalid"_s);
        QCOMPARE(objectOf(run, 3)[u"done"_s].toBool(), true);
        QVERIFY(run.err.contains("gone.mp3: 文件不存在"));
        QVERIFY(run.err.contains("b.mp3: "));
        QCOMPARE(namesIn(dir_->path()), QStringList({u"b.mp3"_s, u"first.MP3"_s, u"third.MP3"_s}));
    }

    // A name in GBK bytes takes the name the list shows; a folder's UTF-8
    // names are not listed, a file named is said to be unchanged; a name
    // that is taken is left, the dry run saying so as the run does; undo
    // gives the bytes back.
    void fixNames()
    {
        const QByteArray folder = QFile::encodeName(dir_->path()) + '/';
        const QByteArray legacy = gbk(u"老歌.mp3"_s);
        const QByteArray taken = gbk(u"新歌.mp3"_s);
        QVERIFY(writeNative(folder + legacy, "old song"));
        QVERIFY(writeNative(folder + taken, "taken"));
        dir_->add(u"新歌.mp3"_s, "the other");
        dir_->add(u"plain.mp3"_s, "plain");

        const Run dry = cli({u"fix-names"_s, u"--dry-run"_s, u"--json"_s, u"."_s, u"plain.mp3"_s},
                            dir_->path());
        QCOMPARE(dry.code, 1);
        QCOMPARE(entriesIn(dir_->path()), 4u);

        const Run run = cli({u"fix-names"_s, u"--json"_s, u"."_s, u"plain.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 1);
        QCOMPARE(run.json().size(), 3);
        // In byte order: 老 is C0CF in GBK, 新 D0C2.
        QCOMPARE(objectOf(run, 0)[u"file"_s].toString(), u"./老歌.mp3"_s);
        QCOMPARE(objectOf(run, 0)[u"done"_s].toBool(), true);
        QCOMPARE(objectOf(run, 1)[u"file"_s].toString(), u"./新歌.mp3"_s);
        QCOMPARE(objectOf(run, 1)[u"ok"_s].toBool(), false);
        QCOMPARE(objectOf(run, 1)[u"error"_s].toString(), u"文件夹中已有“新歌.mp3”"_s);
        QCOMPARE(objectOf(run, 2)[u"state"_s].toString(), u"unchanged"_s);
        for (qsizetype i = 0; i < 3; ++i) {
            for (const QString& key : {u"state"_s, u"new_name"_s, u"ok"_s, u"error"_s})
                QCOMPARE(objectOf(dry, i)[key], objectOf(run, i)[key]);
        }
        QCOMPARE(readBytes(dir_->file(u"老歌.mp3"_s)), QByteArray("old song"));
        QCOMPARE(readBytes(dir_->file(u"新歌.mp3"_s)), QByteArray("the other"));

        QCOMPARE(cli({u"undo"_s}).code, 0);
        QVERIFY(!QFile::exists(dir_->file(u"老歌.mp3"_s)));
        QVERIFY(::access((folder + legacy).constData(), F_OK) == 0);
        QCOMPARE(entriesIn(dir_->path()), 4u);
    }

    // A Shift-JIS name reads as Japanese, not as Windows-1252; a name that
    // no code page reads with confidence stays, its row saying so.
    void fixNamesOnlyWhenSure()
    {
        const QByteArray folder = QFile::encodeName(dir_->path()) + '/';
        const QByteArray unknown = "\x80\xFF.mp3";
        QVERIFY(writeNative(folder + "\x93\xFA\x96\x7B\x8C\xEA.mp3", "japanese"));
        QVERIFY(writeNative(folder + unknown, "unknown"));
        const Run dry = cli({u"fix-names"_s, u"--dry-run"_s, u"."_s}, dir_->path());
        QCOMPARE(dry.code, 1);
        QVERIFY(QString::fromUtf8(dry.out).contains(u"日本語.mp3  重命名\n"_s));
        QVERIFY(QString::fromUtf8(dry.out).contains(u"无法确定编码\n"_s));

        const Run run = cli({u"fix-names"_s, u"--json"_s, u"."_s}, dir_->path());
        QCOMPARE(run.code, 1);
        QCOMPARE(run.json().size(), 2);
        QCOMPARE(objectOf(run, 0)[u"state"_s].toString(), u"unchanged"_s);
        QCOMPARE(objectOf(run, 0)[u"error"_s].toString(), u"无法确定编码"_s);
        QCOMPARE(objectOf(run, 0)[u"done"_s].toBool(), false);
        QCOMPARE(objectOf(run, 1)[u"new_name"_s].toString(), u"日本語.mp3"_s);
        QCOMPARE(objectOf(run, 1)[u"done"_s].toBool(), true);
        QCOMPARE(readBytes(dir_->file(u"日本語.mp3"_s)), QByteArray("japanese"));
        QVERIFY(::access((folder + unknown).constData(), F_OK) == 0);
    }

    // Only the names are mended: a folder whose own name is GBK bytes
    // leaves its UTF-8 names alone.
    void fixNamesInAFolderNamedInGbk()
    {
        const QByteArray folder = QFile::encodeName(dir_->path()) + '/' + gbk(u"老歌"_s);
        QVERIFY(::mkdir(folder.constData(), 0755) == 0);
        QVERIFY(writeNative(folder + "/" + gbk(u"晴天.mp3"_s), "legacy"));
        QVERIFY(writeNative(folder + "/十年.mp3", "utf-8"));
        const Run run = cliBytes({"fix-names", "--json", gbk(u"老歌"_s)}, dir_->path());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.json().size(), 1);
        QCOMPARE(objectOf(run, 0)[u"new_name"_s].toString(), u"晴天.mp3"_s);
        QVERIFY(::access((folder + "/晴天.mp3").constData(), F_OK) == 0);
        QVERIFY(::access((folder + "/十年.mp3").constData(), F_OK) == 0);
        for (const QByteArray name : {"/晴天.mp3", "/十年.mp3"})
            ::unlink((folder + name).constData());
        ::rmdir(folder.constData());
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("rename without pattern") << QStringList{u"rename"_s};
        QTest::newRow("rename without files") << QStringList{u"rename"_s, u"%1"_s};
        QTest::newRow("fix-names without paths") << QStringList{u"fix-names"_s};
        QTest::newRow("rename bad priority")
            << QStringList{u"rename"_s, u"--priority=v9"_s, u"%1"_s, u"a.mp3"_s};
    }
    void badUsage()
    {
        QFETCH(QStringList, args);
        dir_->add(u"a.mp3"_s, legacyFile("t"));
        const Run run = cli(args, dir_->path());
        QCOMPARE(run.code, 2);
        QCOMPARE(namesIn(dir_->path()), QStringList{u"a.mp3"_s});
    }

    // QDir cannot remove names that are not UTF-8.
    void cleanup()
    {
        const QByteArray folder = QFile::encodeName(dir_->path()) + '/';
        for (const QString& name : {u"老歌.mp3"_s, u"新歌.mp3"_s})
            ::unlink((folder + gbk(name)).constData());
    }
};

MP3T_TEST_GUILESS_MAIN(NameCommandsTest)
#include "NameCommandsTest.moc"
