// copy, from-name and encoding run as a child process on real files.

#include "tests/cli/CliRunner.h"

using namespace Qt::StringLiterals;
using namespace testsupport;
using namespace clitest;

namespace {

QByteArray v2Only(const QByteArray& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(QString::fromUtf8(title)))), 64) +
           silentMpegFrames();
}

QJsonObject objectOf(const Run& run, qsizetype i)
{
    return run.json()[i].toObject();
}

} // namespace

class SourceCommandsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TestFolder> dir_;

private Q_SLOTS:
    void init() { dir_ = std::make_unique<TestFolder>(); }

    // ID3v1 into ID3v2: a GBK title comes over as text; an existing ID3v2
    // tag is kept without --overwrite (a failure of that file), replaced
    // with it; a file without the source tag fails.
    void copyV1ToV2()
    {
        const QString a = dir_->add(u"a.mp3"_s, silentMpegFrames() + id3v1Trailer(gbk(u"晴天"_s)));
        const QString b = dir_->add(u"b.mp3"_s, v2Only("two") + id3v1Trailer("one"));
        dir_->add(u"c.mp3"_s, v2Only("only v2"));
        const QByteArray bBefore = readBytes(b);

        const Run kept =
            cli({u"copy"_s, u"--json"_s, u"v1-to-v2"_s, u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s},
                dir_->path());
        QCOMPARE(kept.code, 1);
        QCOMPARE(filesOf(kept.json()), QStringList({u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}));
        QCOMPARE(objectOf(kept, 0)[u"ok"_s].toBool(), true);
        QCOMPARE(objectOf(kept, 0)[u"outcome"_s].toString(), u"将ID3v1复制到ID3v2成功."_s);
        QCOMPARE(objectOf(kept, 1)[u"error"_s].toString(), u"由于ID3v2已经存在,取消复制."_s);
        QCOMPARE(objectOf(kept, 2)[u"error"_s].toString(), u"没有ID3v1标签"_s);
        QVERIFY(kept.err.contains("c.mp3: 没有ID3v1标签"));
        QCOMPARE(readBytes(b), bBefore);

        const Run a2 = cli({u"get"_s, u"--priority=v2"_s, u"title"_s, u"a.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(a2.out), u"a.mp3  晴天\n"_s);

        QCOMPARE(cli({u"copy"_s, u"v1-to-v2"_s, u"--overwrite"_s, u"b.mp3"_s}, dir_->path()).code,
                 0);
        const Run b2 = cli({u"get"_s, u"--priority=v2"_s, u"title"_s, u"b.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(b2.out), u"b.mp3  one\n"_s);
    }

    // ID3v2 into ID3v1 (GBK there), as one step that undo takes back.
    void copyV2ToV1AndUndo()
    {
        const QString a = dir_->add(u"a.mp3"_s, v2Only("十年"));
        const QByteArray before = readBytes(a);
        const Run copy = cli({u"copy"_s, u"v2-to-v1"_s, u"a.mp3"_s}, dir_->path());
        QCOMPARE(copy.code, 0);
        QCOMPARE(QString::fromUtf8(copy.out), u"a.mp3  将ID3v2复制到ID3v1成功.\n"_s);
        QVERIFY(readBytes(a).right(128).startsWith("TAG" + gbk(u"十年"_s)));

        const Run history = cli({u"history"_s, u"--json"_s});
        QCOMPARE(history.json().size(), 1);
        QCOMPARE(history.json()[0][u"name"_s].toString(), u"ID3v2->ID3v1"_s);
        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), before);
    }

    // "%2 - %1" reads artist and title out of the name, also out of a name
    // in GBK bytes as the list shows it; a name that does not match fails
    // alone and is left as it was.
    void fromNameSetsFields()
    {
        writeSettings("ShowId=1\n");
        dir_->add(u"周杰伦 - 晴天.mp3"_s, silentMpegFrames());
        const QString plain = dir_->add(u"晴天.mp3"_s, silentMpegFrames());
        const QByteArray legacyName = gbk(u"鄧麗君 - 月亮.mp3"_s);
        QVERIFY(
            writeNative(QFile::encodeName(dir_->path()) + '/' + legacyName, silentMpegFrames()));

        const Run run = cliBytes(
            {"from-name", "--json", "%2 - %1", "周杰伦 - 晴天.mp3", "晴天.mp3", legacyName},
            dir_->path());
        QCOMPARE(run.code, 1);
        QCOMPARE(run.json().size(), 3);
        QCOMPARE(objectOf(run, 0)[u"title"_s].toString(), u"晴天"_s);
        QCOMPARE(objectOf(run, 0)[u"artist"_s].toString(), u"周杰伦"_s);
        QVERIFY(!objectOf(run, 0).contains(u"album"_s));
        QCOMPARE(objectOf(run, 1)[u"error"_s].toString(), u"文件名与格式不符"_s);
        QCOMPARE(objectOf(run, 2)[u"ok"_s].toBool(), true);
        QVERIFY(run.err.contains("晴天.mp3: 文件名与格式不符"));
        QCOMPARE(readBytes(plain), silentMpegFrames());

        const Run ls = cli({u"ls"_s, u"--json"_s}, dir_->path());
        const QJsonArray rows = ls.json();
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[0][u"file"_s].toString(), u"鄧麗君 - 月亮.mp3"_s);
        QCOMPARE(rows[0][u"title"_s].toString(), u"月亮"_s);
        QCOMPARE(rows[0][u"artist"_s].toString(), u"鄧麗君"_s);
        QCOMPARE(rows[1][u"artist"_s].toString(), u"周杰伦"_s);
        QCOMPARE(rows[2][u"title"_s].toString(), QString());
    }

    // %7 to %9 both ways: "%7. %1" names the third track "03. 歌名", and
    // reads the name back into the track and the title; %8 and %9 set the
    // disc and the album artist; a track that is no number fails its file.
    void trackDiscAndAlbumArtistPlaceholders()
    {
        writeSettings("ShowId=2\n");
        const QString a = dir_->add(u"a.mp3"_s, v2Only("歌名"));
        QCOMPARE(cli({u"set"_s, u"track=03"_s, u"a.mp3"_s}, dir_->path()).code, 0);
        const Run renamed = cli({u"rename"_s, u"%7. %1"_s, u"a.mp3"_s}, dir_->path());
        QCOMPARE(renamed.code, 0);
        QVERIFY2(QFile::exists(dir_->file(u"03. 歌名.MP3"_s)), renamed.out.constData());

        dir_->add(u"07. 群星 - 红豆 (2).mp3"_s, silentMpegFrames());
        dir_->add(u"xx. 群星 - 红豆 (2).mp3"_s, silentMpegFrames());
        const Run read = cli({u"from-name"_s, u"--json"_s, u"%7. %9 - %1 (%8)"_s,
                              u"07. 群星 - 红豆 (2).mp3"_s, u"xx. 群星 - 红豆 (2).mp3"_s},
                             dir_->path());
        QCOMPARE(read.code, 1);
        QCOMPARE(objectOf(read, 0)[u"track"_s].toString(), u"07"_s);
        QCOMPARE(objectOf(read, 1)[u"error"_s].toString(), u"track 应为 n 或 n/总数: xx"_s);
        const Run got = cli({u"--json"_s, u"get"_s, u"track"_s, u"disc"_s, u"albumartist"_s,
                             u"title"_s, u"--"_s, u"07. 群星 - 红豆 (2).mp3"_s},
                            dir_->path());
        const QJsonObject tags = objectOf(got, 0);
        QCOMPARE(tags[u"track"_s].toString(), u"07"_s);
        QCOMPARE(tags[u"disc"_s].toString(), u"2"_s);
        QCOMPARE(tags[u"albumartist"_s].toString(), u"群星"_s);
        QCOMPARE(tags[u"title"_s].toString(), u"红豆"_s);
        QCOMPARE(cli({u"from-name"_s, u"%7. %1"_s, u"03. 歌名.MP3"_s}, dir_->path()).code, 0);
    }

    void badUsage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("copy without direction") << QStringList{u"copy"_s};
        QTest::newRow("copy unknown direction") << QStringList{u"copy"_s, u"v1"_s, u"a.mp3"_s};
        QTest::newRow("copy without files") << QStringList{u"copy"_s, u"v2-to-v1"_s};
        QTest::newRow("from-name without placeholder")
            << QStringList{u"from-name"_s, u"%0 - x"_s, u"a.mp3"_s};
        QTest::newRow("from-name of a disc into ID3v1")
            << QStringList{u"from-name"_s, u"--priority=v1"_s, u"%8 %1"_s, u"a.mp3"_s};
        QTest::newRow("from-name without files") << QStringList{u"from-name"_s, u"%1"_s};
        QTest::newRow("codec without convert")
            << QStringList{u"encoding"_s, u"--codec=gbk"_s, u"a.mp3"_s};
        QTest::newRow("unknown codec")
            << QStringList{u"encoding"_s, u"--convert"_s, u"--codec=koi8"_s, u"a.mp3"_s};
    }
    void badUsage()
    {
        QFETCH(QStringList, args);
        const QByteArray before = legacyFile("t");
        const QString a = dir_->add(u"a.mp3"_s, before);
        const Run run = cli(args, dir_->path());
        QCOMPARE(run.code, 2);
        QVERIFY(run.out.isEmpty());
        QCOMPARE(readBytes(a), before);
    }

    // The inspector's findings: each legacy text with the code page its tag
    // reads in; a Unicode file has none.
    void encodingInspects()
    {
        dir_->add(u"a.mp3"_s, legacyFile(gbk(u"晴天"_s), gbk(u"周杰伦"_s)));
        dir_->add(u"b.mp3"_s, legacyFile(big5(u"月亮代表我的心"_s), big5(u"鄧麗君"_s)));
        dir_->add(u"c.mp3"_s, v2Only("十年"));
        const Run run =
            cli({u"encoding"_s, u"--json"_s, u"a.mp3"_s, u"b.mp3"_s, u"c.mp3"_s}, dir_->path());
        QCOMPARE(run.code, 0);
        const QJsonArray a = objectOf(run, 0)[u"texts"_s].toArray();
        QCOMPARE(a.size(), 2);
        QCOMPARE(a[0][u"field"_s].toString(), u"标题"_s);
        QCOMPARE(a[0][u"code_page"_s].toString(), u"GBK"_s);
        QCOMPARE(a[0][u"text"_s].toString(), u"晴天"_s);
        QCOMPARE(a[0][u"bytes"_s].toString(), QString::fromLatin1(gbk(u"晴天"_s).toHex()));
        const QJsonArray b = objectOf(run, 1)[u"texts"_s].toArray();
        QCOMPARE(b[1][u"code_page"_s].toString(), u"Big5"_s);
        QCOMPARE(b[1][u"text"_s].toString(), u"鄧麗君"_s);
        QCOMPARE(objectOf(run, 2)[u"texts"_s].toArray().size(), 0);

        const Run text = cli({u"encoding"_s, u"a.mp3"_s, u"c.mp3"_s}, dir_->path());
        QCOMPARE(QString::fromUtf8(text.out), u"a.mp3  标题      GBK  晴天\n"
                                              u"a.mp3  作者      GBK  周杰伦\n"
                                              u"c.mp3  无需转换\n"_s);
    }

    // The conversion writes UTF-16 texts read in the detected code page (or
    // the one named), leaves Unicode files alone, and is one undoable step.
    void encodingConverts_data()
    {
        QTest::addColumn<QStringList>("codec");
        QTest::addColumn<QString>("title");
        QTest::newRow("auto") << QStringList() << u"晴天"_s;
        QTest::newRow("named auto") << QStringList{u"--codec=auto"_s} << u"晴天"_s;
        QTest::newRow("cp1252") << QStringList{u"--codec"_s, u"cp1252"_s}
                                << QString::fromLatin1(gbk(u"晴天"_s));
    }
    void encodingConverts()
    {
        QFETCH(QStringList, codec);
        QFETCH(QString, title);
        const QString a = dir_->add(u"a.mp3"_s, legacyFile(gbk(u"晴天"_s)));
        const QString c = dir_->add(u"c.mp3"_s, v2Only("十年"));
        const QByteArray aBefore = readBytes(a);
        const QByteArray cBefore = readBytes(c);
        const Run run = cli(QStringList{u"encoding"_s, u"--convert"_s, u"--json"_s} + codec +
                                QStringList{u"a.mp3"_s, u"c.mp3"_s},
                            dir_->path());
        QCOMPARE(run.code, 0);
        QCOMPARE(objectOf(run, 0)[u"outcome"_s].toString(), u"编码转换"_s);
        QCOMPARE(objectOf(run, 1)[u"outcome"_s].toString(), u"无需转换"_s);
        QVERIFY(readBytes(a).contains(frame23("TIT2", textData(1, utf16WithBom(title)))));
        QCOMPARE(readBytes(c), cBefore);

        QCOMPARE(cli({u"undo"_s}).code, 0);
        QCOMPARE(readBytes(a), aBefore);
    }

    // QDir cannot remove a name that is not UTF-8.
    void cleanup()
    {
        ::unlink((QFile::encodeName(dir_->path()) + '/' + gbk(u"鄧麗君 - 月亮.mp3"_s)).constData());
    }
};

MP3T_TEST_GUILESS_MAIN(SourceCommandsTest)
#include "SourceCommandsTest.moc"
