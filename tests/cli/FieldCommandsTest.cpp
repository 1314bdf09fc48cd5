// The command line's fields beyond the six, frames, lyrics and covers: the
// built program run on real files in a private home.

#include "tests/cli/CliRunner.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonObject>

using namespace Qt::StringLiterals;
using namespace testsupport;
using namespace clitest;

namespace {

QByteArray taggedFile()
{
    return id3v2Tag(3, frame23("TIT2", textData(0, "Song")) + frame23("TRCK", textData(0, "2")),
                    32) +
           silentMpegFrames() + id3v1Trailer("Song", "Band", {}, {}, {}, 2);
}

QByteArray jpeg()
{
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "JPEG");
    return bytes;
}

QByteArray le32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (8 * i)) & 0xFF);
    return b;
}

} // namespace

class FieldCommandsTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Every field by name, and frames by ID, written in one step that undo
    // takes back byte for byte.
    void setAndGetEveryField()
    {
        TestFolder dir;
        const QString a = dir.add(u"a.mp3"_s, taggedFile());
        const QByteArray before = readBytes(a);
        const Run set =
            cli({u"set"_s, u"track=3/12"_s, u"disc=1/2"_s, u"albumartist=群星"_s,
                 u"composer=周杰伦"_s, u"year=2003"_s, u"genre=Pop"_s, u"lyrics=[00:01]歌"_s,
                 u"TXXX:心情=平静"_s, u"WOAR=http://a.b/c"_s, u"a.mp3"_s},
                dir.path());
        QCOMPARE(set.code, 0);
        const Run get = cli({u"--json"_s, u"get"_s, u"title"_s, u"track"_s, u"disc"_s,
                             u"albumartist"_s, u"composer"_s, u"year"_s, u"genre"_s, u"lyrics"_s,
                             u"TXXX:心情"_s, u"WOAR"_s, u"--"_s, u"a.mp3"_s},
                            dir.path());
        QCOMPARE(get.code, 0);
        const QJsonObject row = get.json()[0].toObject();
        QCOMPARE(row[u"title"_s].toString(), u"Song"_s);
        QCOMPARE(row[u"track"_s].toString(), u"3/12"_s);
        QCOMPARE(row[u"disc"_s].toString(), u"1/2"_s);
        QCOMPARE(row[u"albumartist"_s].toString(), u"群星"_s);
        QCOMPARE(row[u"composer"_s].toString(), u"周杰伦"_s);
        QCOMPARE(row[u"year"_s].toString(), u"2003"_s);
        QCOMPARE(row[u"genre"_s].toString(), u"Pop"_s);
        QCOMPARE(row[u"lyrics"_s].toString(), u"[00:01]歌"_s);
        QCOMPARE(row[u"TXXX:心情"_s].toString(), u"平静"_s);
        QCOMPARE(row[u"WOAR"_s].toString(), u"http://a.b/c"_s);
        // ID3v1.1: the track byte and the genre byte.
        QCOMPARE(quint8(readBytes(a).right(2).at(0)), quint8(3));
        QCOMPARE(quint8(readBytes(a).right(1).at(0)), quint8(13));

        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), before);
    }

    // A field name the program does not know is a usage error before any
    // file is read or written, never a file's name.
    void unknownFieldIsBadUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("get before --")
            << QStringList{u"get"_s, u"title"_s, u"trak"_s, u"--"_s, u"a.mp3"_s};
        QTest::newRow("get misspelt") << QStringList{u"get"_s, u"title"_s, u"trak"_s, u"a.mp3"_s};
        QTest::newRow("set misspelt")
            << QStringList{u"set"_s, u"title=x"_s, u"albumartst=y"_s, u"a.mp3"_s};
        QTest::newRow("set before --")
            << QStringList{u"set"_s, u"title=x"_s, u"b.mp3"_s, u"--"_s, u"a.mp3"_s};
        QTest::newRow("bad track") << QStringList{u"set"_s, u"track=x/y"_s, u"a.mp3"_s};
        QTest::newRow("frame it cannot set") << QStringList{u"set"_s, u"APIC=x"_s, u"a.mp3"_s};
        QTest::newRow("ls column") << QStringList{u"ls"_s, u"--fields=title,trak"_s, u"."_s};
        QTest::newRow("lyrics verb") << QStringList{u"lyrics"_s, u"load"_s, u"a.mp3"_s};
        QTest::newRow("cover verb") << QStringList{u"cover"_s, u"put"_s, u"a.mp3"_s};
    }
    void unknownFieldIsBadUsage()
    {
        QFETCH(QStringList, args);
        TestFolder dir;
        const QString a = dir.add(u"a.mp3"_s, taggedFile());
        dir.add(u"b.mp3"_s, taggedFile());
        const Run run = cli(args, dir.path());
        QCOMPARE(run.code, 2);
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.startsWith("mp3tagloom-cli: "), run.err.constData());
        QCOMPARE(readBytes(a), taggedFile());
        QCOMPARE(readBytes(dir.file(u"b.mp3"_s)), taggedFile());
        QCOMPARE(cli({u"history"_s, u"--json"_s}).json().size(), 0);
    }

    // "--" ends the fields: a file may be named like one.
    void fieldsThenFiles()
    {
        TestFolder dir;
        dir.add(u"a.mp3"_s, taggedFile());
        const Run run = cli({u"get"_s, u"title"_s, u"track"_s, u"--"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(run.code, 0);
        QCOMPARE(QString::fromUtf8(run.out), u"a.mp3  Song  2\n"_s);
        // After the assignments a word without "=" is a file, missing or not.
        const Run missing = cli({u"set"_s, u"title=x"_s, u"song"_s}, dir.path());
        QCOMPARE(missing.code, 1);
        QVERIFY2(missing.err.contains("song: 文件不存在"), missing.err.constData());
    }

    // The columns chosen; JSON has every field whatever is chosen.
    void lsChoosesColumns()
    {
        TestFolder dir;
        dir.add(u"a.mp3"_s, taggedFile());
        const Run text = cli({u"ls"_s, u"--fields=track,title"_s}, dir.path());
        QCOMPARE(text.code, 0);
        QCOMPARE(QString::fromUtf8(text.out), u"a.mp3  2  Song\n"_s);
        const Run json = cli({u"ls"_s, u"--json"_s, u"--fields=track"_s}, dir.path());
        const QJsonObject row = json.json()[0].toObject();
        for (const char* name : {"title", "artist", "album", "year", "genre", "comment", "track",
                                 "disc", "albumartist", "composer", "lyrics"})
            QVERIFY2(row.contains(QString::fromLatin1(name)), name);
        QCOMPARE(row[u"artist"_s].toString(), u"Band"_s);
    }

    // The .lrc beside each file in any of its encodings, in one step; a file
    // without one is a failure; undo takes the step back.
    void lyricsImport()
    {
        TestFolder dir;
        const QString text = u"[00:01.00]月亮代表我的心"_s;
        const QStringList names{u"utf8"_s, u"bom"_s, u"gbk"_s, u"big5"_s, u"none"_s};
        const QList<QByteArray> lrc{text.toUtf8(), "\xEF\xBB\xBF" + text.toUtf8(), gbk(text),
                                    big5(text)};
        QStringList args{u"--json"_s, u"lyrics"_s, u"import"_s};
        for (int i = 0; i < names.size(); ++i) {
            dir.add(names[i] + u".mp3"_s, taggedFile());
            if (i < lrc.size())
                dir.add(names[i] + u".lrc"_s, lrc[i]);
            args.append(names[i] + u".mp3"_s);
        }
        const Run run = cli(args, dir.path());
        QCOMPARE(run.code, 1);
        const QJsonArray rows = run.json();
        QCOMPARE(rows.size(), 5);
        const QStringList encodings{u"UTF-8"_s, u"UTF-8 (BOM)"_s, u"GBK"_s, u"Big5"_s};
        for (int i = 0; i < encodings.size(); ++i) {
            QCOMPARE(rows[i][u"encoding"_s].toString(), encodings[i]);
            QVERIFY(rows[i][u"outcome"_s].toString().contains(encodings[i]));
        }
        QCOMPARE(rows[4][u"ok"_s].toBool(), false);
        QVERIFY2(run.err.contains("none.mp3") && run.err.contains("none.lrc"), run.err.constData());

        QStringList get{u"--json"_s, u"get"_s, u"lyrics"_s, u"--"_s};
        for (const QString& name : names)
            get.append(name + u".mp3"_s);
        const QJsonArray read = cli(get, dir.path()).json();
        for (int i = 0; i < encodings.size(); ++i)
            QCOMPARE(read[i][u"lyrics"_s].toString(), text);
        QVERIFY(readBytes(dir.file(u"gbk.mp3"_s)).contains("USLT"));

        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.json().size(), 1);
        QCOMPARE(history.json()[0][u"files"_s].toInt(), 4);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        for (const QString& name : names)
            QCOMPARE(readBytes(dir.file(name + u".mp3"_s)), taggedFile());
    }

    // Export writes UTF-8 beside the file, and never over a file unless asked.
    void lyricsExport()
    {
        TestFolder dir;
        const QString lyrics = u"[00:02]晴天"_s;
        dir.add(u"a.mp3"_s, taggedFile());
        QCOMPARE(cli({u"set"_s, u"lyrics="_s + lyrics, u"a.mp3"_s}, dir.path()).code, 0);
        QCOMPARE(cli({u"lyrics"_s, u"export"_s, u"a.mp3"_s}, dir.path()).code, 0);
        QCOMPARE(readBytes(dir.file(u"a.lrc"_s)), lyrics.toUtf8());

        writeBytes(dir.file(u"a.lrc"_s), "mine");
        const Run refused = cli({u"lyrics"_s, u"export"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(refused.code, 1);
        QCOMPARE(readBytes(dir.file(u"a.lrc"_s)), "mine"_ba);
        QCOMPARE(cli({u"lyrics"_s, u"export"_s, u"--force"_s, u"a.mp3"_s}, dir.path()).code, 0);
        QCOMPARE(readBytes(dir.file(u"a.lrc"_s)), lyrics.toUtf8());

        dir.add(u"b.mp3"_s, taggedFile());
        QCOMPARE(cli({u"lyrics"_s, u"export"_s, u"b.mp3"_s}, dir.path()).code, 1);
        QVERIFY(!QFile::exists(dir.file(u"b.lrc"_s)));
    }

    // Every frame: the unknown one with its bytes in hex, the ID3v1 fields and
    // the APEv2 items as rows of their own.
    void framesListsEveryTag()
    {
        TestFolder dir;
        const QByteArray item = le32(4) + le32(0) + "MP3GAIN_MINMAX" + '\0' + "1,20";
        const QByteArray ape = item + "APETAGEX" + le32(2000) + le32(quint32(item.size() + 32)) +
                               le32(1) + le32(0) + QByteArray(8, '\0');
        dir.add(u"a.mp3"_s, id3v2Tag(3, frame23("TPE2", textData(0, gbk(u"群星"_s))) +
                                            frame23("ZZZZ", "\xCA\xFE\x00\x01"_ba)) +
                                silentMpegFrames() + ape + id3v1Trailer("v1 title"));
        const Run json = cli({u"--json"_s, u"frames"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(json.code, 0);
        const QJsonArray rows = json.json();
        QCOMPARE(rows.size(), 4);
        QCOMPARE(rows[0][u"id"_s].toString(), u"TPE2"_s);
        QCOMPARE(rows[0][u"name"_s].toString(), u"专辑艺术家"_s);
        QCOMPARE(rows[0][u"text"_s].toString(), u"群星"_s);
        QCOMPARE(rows[1][u"id"_s].toString(), u"ZZZZ"_s);
        QCOMPARE(rows[1][u"hex"_s].toString(), u"cafe0001"_s);
        QCOMPARE(rows[1][u"size"_s].toInt(), 4);
        QVERIFY(!rows[1].toObject().contains(u"text"_s));
        QCOMPARE(rows[2][u"tag"_s].toString(), u"ID3v1"_s);
        QCOMPARE(rows[2][u"text"_s].toString(), u"v1 title"_s);
        QCOMPARE(rows[3][u"tag"_s].toString(), u"APEv2"_s);
        QCOMPARE(rows[3][u"id"_s].toString(), u"MP3GAIN_MINMAX"_s);
        QCOMPARE(rows[3][u"text"_s].toString(), u"1,20"_s);

        const Run text = cli({u"frames"_s, u"a.mp3"_s}, dir.path());
        QVERIFY2(text.out.contains("ca fe 00 01"), text.out.constData());
        QVERIFY(text.out.contains("专辑艺术家"));
    }

    // Set on several files in one step, exported as its bytes, removed; each
    // write undone byte for byte.
    void coverSetExportRemove()
    {
        TestFolder dir;
        const QByteArray picture = jpeg();
        dir.add(u"pic.jpg"_s, picture);
        const QString a = dir.add(u"a.mp3"_s, taggedFile());
        const QString b = dir.add(u"b.mp3"_s, taggedFile());
        QCOMPARE(cli({u"cover"_s, u"set"_s, u"pic.jpg"_s, u"a.mp3"_s, u"b.mp3"_s}, dir.path()).code,
                 0);
        QVERIFY(readBytes(b).contains(picture));
        const QByteArray withCover = readBytes(a);

        QCOMPARE(cli({u"cover"_s, u"export"_s, u"a.mp3"_s, u"out.jpg"_s}, dir.path()).code, 0);
        QCOMPARE(readBytes(dir.file(u"out.jpg"_s)), picture);
        writeBytes(dir.file(u"out.jpg"_s), "keep");
        QCOMPARE(cli({u"cover"_s, u"export"_s, u"a.mp3"_s, u"out.jpg"_s}, dir.path()).code, 1);
        QCOMPARE(readBytes(dir.file(u"out.jpg"_s)), "keep"_ba);

        QCOMPARE(cli({u"cover"_s, u"remove"_s, u"a.mp3"_s}, dir.path()).code, 0);
        QVERIFY(!readBytes(a).contains(picture));
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), withCover);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), taggedFile());
        QCOMPARE(readBytes(b), taggedFile());

        // A file that is no picture changes nothing.
        dir.add(u"not.jpg"_s, "text");
        QCOMPARE(cli({u"cover"_s, u"set"_s, u"not.jpg"_s, u"a.mp3"_s}, dir.path()).code, 1);
        QCOMPARE(readBytes(a), taggedFile());
    }

    // A file that has nothing to change is said so, is left byte for byte,
    // and is no failure; a removal names what it took out.
    void coverWithNothingToDo()
    {
        TestFolder dir;
        dir.add(u"pic.jpg"_s, jpeg());
        const QString a = dir.add(u"a.mp3"_s, taggedFile());
        const Run none = cli({u"cover"_s, u"remove"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(none.code, 0);
        QVERIFY2(none.out.contains("没有封面"), none.out.constData());
        QCOMPARE(readBytes(a), taggedFile());

        QCOMPARE(cli({u"cover"_s, u"set"_s, u"pic.jpg"_s, u"a.mp3"_s}, dir.path()).code, 0);
        const QByteArray withCover = readBytes(a);
        const Run again = cli({u"cover"_s, u"set"_s, u"pic.jpg"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(again.code, 0);
        QVERIFY2(again.out.contains("已是这张封面"), again.out.constData());
        QCOMPARE(readBytes(a), withCover);

        const Run removed = cli({u"cover"_s, u"remove"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(removed.code, 0);
        QVERIFY2(removed.out.contains("已删除封面"), removed.out.constData());
    }

    // set makes each file's change from what the file holds when its turn
    // comes, never from an older reading: a second name of the same file,
    // reached in the first name's slice or after it (a cover of 5 MB fills a
    // slice), finds the new title there and writes nothing over it.
    // (A file written by another program between the making and the write
    // is refused by the write itself: TagCommandTest.)
    void setMakesEachChangeFromTheFileAsItIsNow_data()
    {
        QTest::addColumn<int>("coverBytes");
        QTest::newRow("same slice") << 0;
        QTest::newRow("next slice") << 5'000'000;
    }
    void setMakesEachChangeFromTheFileAsItIsNow()
    {
        QFETCH(int, coverBytes);
        TestFolder dir;
        const QByteArray cover = coverBytes > 0 ? noiseCoverFrame23(7, coverBytes) : QByteArray();
        const QByteArray bytes =
            id3v2Tag(3, frame23("TIT2", textData(0, "old")) + cover, 4096) + silentMpegFrames();
        const QString a = dir.add(u"a.mp3"_s, bytes);
        QCOMPARE(::link(QFile::encodeName(a).constData(),
                        QFile::encodeName(dir.file(u"b.mp3"_s)).constData()),
                 0);
        const Run run = cli({u"set"_s, u"title=new"_s, u"a.mp3"_s, u"b.mp3"_s}, dir.path());
        QVERIFY2(run.code == 0, (run.out + run.err).constData());
        QVERIFY2(run.out.contains("a.mp3  已修改"), run.out.constData());
        QVERIFY2(run.out.contains("b.mp3  已是这些值"), run.out.constData());
        QCOMPARE(cli({u"get"_s, u"title"_s, u"a.mp3"_s}, dir.path()).out,
                 QByteArray("a.mp3  new\n"));

        // The same value again: nothing to do, a row of its own and no failure.
        const Run again = cli({u"--json"_s, u"set"_s, u"title=new"_s, u"a.mp3"_s}, dir.path());
        QCOMPARE(again.code, 0);
        QCOMPARE(again.json()[0][u"outcome"_s].toString(), u"已是这些值"_s);
    }
};

MP3T_TEST_GUILESS_MAIN(FieldCommandsTest)
#include "FieldCommandsTest.moc"
