// Debian's python3-mutagen as a second reader beside TagLib: the fields
// beyond the six that mp3tagloom-cli writes, read back by another program in
// each write form, and the track byte of ID3v1.1. Skipped (exit 77, which
// CTest reports as skipped) when /usr/bin/python3 cannot import mutagen.

#include "tests/cli/CliRunner.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringDecoder>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace testsupport;
using namespace clitest;

namespace {

const QString Python = u"/usr/bin/python3"_s;
constexpr int Skipped = 77;

bool mutagenImports()
{
    QProcess python;
    python.start(Python, {u"-c"_s, u"import mutagen"_s});
    return python.waitForFinished(60000) && python.exitStatus() == QProcess::NormalExit &&
           python.exitCode() == 0;
}

// What mutagen reads of the file (see mutagen_fields.py).
QJsonObject mutagenRead(const QString& path)
{
    QProcess python;
    python.start(Python, {QString::fromUtf8(MP3T_MUTAGEN_SCRIPT), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        qWarning("mutagen: %s", python.readAllStandardError().constData());
        return {};
    }
    return QJsonDocument::fromJson(python.readAllStandardOutput()).array().at(0).toObject();
}

// A text as the program meant it: a legacy one (encoding 0) mutagen reads
// as Latin-1, so its bytes are those characters' codes, in the write form's
// code page.
QString meant(const QJsonObject& frame, const QString& text, bool gbkForm)
{
    if (frame[u"encoding"_s].toInt() != 0 || !gbkForm)
        return text;
    QStringDecoder decode("GBK");
    return decode(text.toLatin1());
}

QByteArray taggedFile()
{
    return id3v2Tag(3, frame23("TIT2", textData(0, "Song")), 32) + silentMpegFrames() +
           id3v1Trailer("Song", "Band");
}

} // namespace

class MutagenOracleTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void fieldsReadByMutagen_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("cjkEncoding"); // of a text beyond ASCII
        QTest::newRow("UTF-16") << QByteArray() << 1;
        QTest::newRow("GBK") << QByteArray("TextEncoding=gbk\n") << 0;
    }
    void fieldsReadByMutagen()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, cjkEncoding);
        const bool gbkForm = cjkEncoding == 0;
        TestFolder dir;
        writeSettings(settings);
        const QString a = dir.add(u"a.mp3"_s, taggedFile());
        const QString lyrics = u"[00:01.00]第一句\n[00:02.50]second"_s;
        const Run set = cli({u"set"_s, u"track=3/12"_s, u"disc=1/2"_s, u"albumartist=群星"_s,
                             u"composer=周杰伦"_s, u"lyrics="_s + lyrics, u"a.mp3"_s},
                            dir.path());
        QVERIFY2(set.code == 0, set.err.constData());
        const QJsonObject read = mutagenRead(a);
        QVERIFY(!read.isEmpty());

        const auto only = [&](const QString& id) {
            const QJsonArray frames = read[id].toArray();
            if (frames.size() != 1)
                qWarning("%s: %lld frames", qPrintable(id), qlonglong(frames.size()));
            return frames.at(0).toObject();
        };
        const auto text = [&](const QString& id) {
            const QJsonObject frame = only(id);
            return meant(frame, frame[u"text"_s].toArray().at(0).toString(), gbkForm);
        };
        QCOMPARE(text(u"TRCK"_s), u"3/12"_s);
        QCOMPARE(text(u"TPOS"_s), u"1/2"_s);
        QCOMPARE(text(u"TPE2"_s), u"群星"_s);
        QCOMPARE(text(u"TCOM"_s), u"周杰伦"_s);
        // ASCII keeps the legacy encoding in either form.
        QCOMPARE(only(u"TRCK"_s)[u"encoding"_s].toInt(), 0);
        QCOMPARE(only(u"TPE2"_s)[u"encoding"_s].toInt(), cjkEncoding);
        QCOMPARE(only(u"TCOM"_s)[u"encoding"_s].toInt(), cjkEncoding);

        const QJsonObject uslt = only(u"USLT"_s);
        QCOMPARE(uslt[u"encoding"_s].toInt(), cjkEncoding);
        QCOMPARE(uslt[u"lang"_s].toString(), u"XXX"_s);
        QCOMPARE(uslt[u"desc"_s].toString(), QString());
        QCOMPARE(meant(uslt, uslt[u"text"_s].toString(), gbkForm), lyrics);

        QCOMPARE(read[u"v1track"_s].toString(), u"3"_s);
    }
};

int main(int argc, char** argv)
{
    testsupport::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    if (!mutagenImports()) {
        std::fputs("SKIP: /usr/bin/python3 cannot import mutagen (Debian's python3-mutagen, "
                   "see debian-packages.txt)\n",
                   stderr);
        return Skipped;
    }
    MutagenOracleTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "MutagenOracleTest.moc"
