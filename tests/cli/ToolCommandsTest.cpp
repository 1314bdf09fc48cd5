// tool run as a child process on real files: the dry run shows what the run
// then writes, undo takes the run back byte for byte, file names go through
// the plan, and a wrong line touches no file.

#include "tests/cli/CliRunner.h"

using namespace Qt::StringLiterals;
using namespace testsupport;
using namespace clitest;

namespace {

QByteArray song(const QString& title, const QString& artist)
{
    return id3v2Tag(3,
                    frame23("TIT2", textData(1, utf16WithBom(title))) +
                        frame23("TPE1", textData(1, utf16WithBom(artist))),
                    64) +
           silentMpegFrames();
}

QString got(const QString& field, const QString& file, const QString& folder)
{
    return QString::fromUtf8(cli({u"get"_s, field, u"--"_s, file}, folder).out).trimmed();
}

} // namespace

class ToolCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> dir_;

private Q_SLOTS:
    void init() { dir_ = std::make_unique<TestFolder>(); }

    void dryRunShowsWhatTheRunWritesAndUndoTakesItBack()
    {
        const QByteArray a = song(u"理发店 头发"_s, u"JAY CHOU"_s);
        const QByteArray b = song(u"晴天"_s, u"周杰伦"_s);
        dir_->add(u"a.mp3"_s, a);
        dir_->add(u"b.mp3"_s, b);
        const QStringList line{u"tool"_s,  u"chinese"_s, u"--to=s2t"_s, u"--fields=title,artist"_s,
                               u"a.mp3"_s, u"b.mp3"_s};

        const Run preview =
            cli(QStringList{u"--json"_s} + line + QStringList{u"--dry-run"_s}, dir_->path());
        QCOMPARE(preview.code, 0);
        const QJsonArray rows = preview.json();
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0][u"new"_s].toString(), u"理髮店 頭髮"_s);
        QCOMPARE(readBytes(dir_->file(u"a.mp3"_s)), a);

        QCOMPARE(cli(line, dir_->path()).code, 0);
        for (const QJsonValue& row : rows)
            QCOMPARE(got(row[u"field"_s].toString(), row[u"file"_s].toString(), dir_->path()),
                     row[u"file"_s].toString() + u"  "_s + row[u"new"_s].toString());

        QCOMPARE(cli({u"undo"_s}, dir_->path()).code, 0);
        QCOMPARE(readBytes(dir_->file(u"a.mp3"_s)), a);
        QCOMPARE(readBytes(dir_->file(u"b.mp3"_s)), b);
    }

    void fileNamesGoThroughThePlan()
    {
        dir_->add(u"ＡＢ.mp3"_s, song(u"t"_s, u"a"_s));
        dir_->add(u"ＣＤ.mp3"_s, song(u"t"_s, u"a"_s));
        const QByteArray taken = song(u"other"_s, u"x"_s);
        dir_->add(u"CD.mp3"_s, taken);

        const Run run =
            cli({u"tool"_s, u"halfwidth"_s, u"--fields=filename"_s, u"ＡＢ.mp3"_s, u"ＣＤ.mp3"_s},
                dir_->path());
        QCOMPARE(run.code, 1);
        QVERIFY(QFile::exists(dir_->file(u"AB.mp3"_s)));
        QVERIFY(!QFile::exists(dir_->file(u"ＡＢ.mp3"_s)));
        // "CD.mp3" is another file: it stays, and so does the one wanting it.
        QVERIFY(QFile::exists(dir_->file(u"ＣＤ.mp3"_s)));
        QCOMPARE(readBytes(dir_->file(u"CD.mp3"_s)), taken);
        QVERIFY(run.err.contains("ＣＤ.mp3"));
    }

    // Tags and names in one run are one step: undo brings back the names
    // and the bytes, redo makes both again. A name the plan refuses keeps
    // its file's name, not its tags.
    void tagsAndNamesAreOneStep()
    {
        const QByteArray a = song(u"ＡＢ"_s, u"x"_s);
        const QByteArray c = song(u"ＣＤ"_s, u"x"_s);
        dir_->add(u"ＡＢ.mp3"_s, a);
        dir_->add(u"ＣＤ.mp3"_s, c);
        dir_->add(u"CD.mp3"_s, song(u"other"_s, u"x"_s));
        const Run run = cli(
            {u"tool"_s, u"halfwidth"_s, u"--fields=title,filename"_s, u"ＡＢ.mp3"_s, u"ＣＤ.mp3"_s},
            dir_->path());
        QCOMPARE(run.code, 1); // "ＣＤ.mp3" cannot be "CD.mp3"
        QCOMPARE(got(u"title"_s, u"AB.mp3"_s, dir_->path()), u"AB.mp3  AB"_s);
        QCOMPARE(got(u"title"_s, u"ＣＤ.mp3"_s, dir_->path()), u"ＣＤ.mp3  CD"_s);
        const QByteArray abNew = readBytes(dir_->file(u"AB.mp3"_s));

        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.json().size(), 1);
        QCOMPARE(history.json()[0][u"name"_s].toString(), u"批量处理"_s);
        QCOMPARE(history.json()[0][u"files"_s].toInt(), 2);

        QCOMPARE(cli({u"undo"_s}, dir_->path()).code, 0);
        QVERIFY(!QFile::exists(dir_->file(u"AB.mp3"_s)));
        QCOMPARE(readBytes(dir_->file(u"ＡＢ.mp3"_s)), a);
        QCOMPARE(readBytes(dir_->file(u"ＣＤ.mp3"_s)), c);
        QCOMPARE(cli({u"redo"_s}, dir_->path()).code, 0);
        QVERIFY(!QFile::exists(dir_->file(u"ＡＢ.mp3"_s)));
        QCOMPARE(readBytes(dir_->file(u"AB.mp3"_s)), abNew);
    }

    void storedAdPatternsReplaceTheShippedOnes()
    {
        dir_->add(u"a.mp3"_s, song(u"稻香 广告 [www.x.com]"_s, u"a"_s));
        writeSettings("[Tools]\nAdPatterns=1\nAd1=广告\n");
        QCOMPARE(
            cli({u"tool"_s, u"strip-ads"_s, u"--fields=title"_s, u"a.mp3"_s}, dir_->path()).code,
            0);
        QCOMPARE(got(u"title"_s, u"a.mp3"_s, dir_->path()), u"a.mp3  稻香 [www.x.com]"_s);
    }

    void aWrongLineTouchesNoFile()
    {
        const QByteArray a = song(u"JAY"_s, u"x"_s);
        dir_->add(u"a.mp3"_s, a);
        for (const QStringList& line :
             {QStringList{u"tool"_s, u"bogus"_s, u"a.mp3"_s},
              QStringList{u"tool"_s, u"replace"_s, u"--find=("_s, u"--regex"_s, u"a.mp3"_s},
              QStringList{u"tool"_s, u"case"_s, u"--fields=title,nosuch"_s, u"a.mp3"_s},
              QStringList{u"tool"_s, u"number"_s, u"--total=some"_s, u"a.mp3"_s},
              QStringList{u"tool"_s, u"format"_s, u"--pattern=%1"_s, u"a.mp3"_s}}) {
            const Run run = cli(line, dir_->path());
            QVERIFY2(run.code == 2, qPrintable(line.join(u' ')));
            QCOMPARE(readBytes(dir_->file(u"a.mp3"_s)), a);
        }
    }
};

MP3T_TEST_GUILESS_MAIN(ToolCommandsTest)
#include "ToolCommandsTest.moc"
