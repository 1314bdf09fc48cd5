#include "operations/LyricsFile.h"

#include "tests/support/TestEnvironment.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;
using operations::LyricsEncoding;

namespace {

const QString kSimplified = u"[00:01.00]我们的爱情像童话\n[00:05.50]没有结局的故事\n"
                            u"[00:09.00]让我们一起唱这首歌\n"_s;
const QString kTraditional = u"[00:01.00]月亮代表我的心\n[00:05.00]你問我愛你有多深\n"
                             u"[00:09.00]我愛你有幾分\n"_s;
const QString kWestern = u"[00:01.00]Caf\u00e9 cr\u00e8me, d\u00e9j\u00e0 vu\n"_s;

QByteArray encodedIn(const QString& text, const char* codec)
{
    QStringEncoder encoder(codec);
    return encoder.encode(text);
}

QByteArray utf16(const QString& text, bool littleEndian)
{
    QByteArray out(littleEndian ? "\xFF\xFE" : "\xFE\xFF", 2);
    for (const QChar c : text) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        out += littleEndian ? lo : hi;
        out += littleEndian ? hi : lo;
    }
    return out;
}

} // namespace

class LyricsFileTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodes_data();
    void decodes();
    void oddUtf16ByteGoes();
    void readsFiles();
};

void LyricsFileTest::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("encoding");
    QTest::newRow("UTF-8 with BOM")
        << "\xEF\xBB\xBF" + kSimplified.toUtf8() << kSimplified << u"UTF-8 (BOM)"_s;
    QTest::newRow("UTF-8") << kSimplified.toUtf8() << kSimplified << u"UTF-8"_s;
    QTest::newRow("UTF-16LE") << utf16(kSimplified, true) << kSimplified << u"UTF-16LE"_s;
    QTest::newRow("UTF-16BE") << utf16(kTraditional, false) << kTraditional << u"UTF-16BE"_s;
    QTest::newRow("GBK") << encodedIn(kSimplified, "GBK") << kSimplified << u"GBK"_s;
    QTest::newRow("Big5") << encodedIn(kTraditional, "Big5") << kTraditional << u"Big5"_s;
    QTest::newRow("Windows-1252") << encodedIn(kWestern, "windows-1252") << kWestern << u"CP1252"_s;
    QTest::newRow("ASCII") << QByteArray("[00:01]la la\n") << u"[00:01]la la\n"_s << u"UTF-8"_s;
    QTest::newRow("empty") << QByteArray() << QString() << u"UTF-8"_s;
}

void LyricsFileTest::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QFETCH(QString, encoding);
    const auto decoded = operations::decodeLyrics(bytes);
    QCOMPARE(decoded.text, text);
    QCOMPARE(decoded.encodingName(), encoding);
}

void LyricsFileTest::oddUtf16ByteGoes()
{
    const auto decoded = operations::decodeLyrics(utf16(u"词"_s, true) + 'x');
    QCOMPARE(decoded.text, u"词"_s);
    QCOMPARE(decoded.encoding, LyricsEncoding::Utf16LE);
}

void LyricsFileTest::readsFiles()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"歌.lrc"_s);
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(encodedIn(kTraditional, "Big5"));
    file.close();
    const auto read = operations::readLyricsFile(path);
    QVERIFY(read);
    QCOMPARE(read->text, kTraditional);
    QCOMPARE(read->encoding, LyricsEncoding::Legacy);
    QCOMPARE(read->codePage, platform::LegacyCodePage::Big5);
    QVERIFY(!operations::readLyricsFile(dir.filePath(u"missing.lrc"_s)));
    QVERIFY(!operations::readLyricsFile(dir.path()));
}

MP3T_TEST_GUILESS_MAIN(LyricsFileTest)
#include "LyricsFileTest.moc"
