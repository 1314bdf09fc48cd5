#include "platform/FileNameCodec.h"
#include "tests/platform/LegacyCorpus.h"

#include "tests/support/TestEnvironment.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <random>
#include <unistd.h>

using namespace Qt::StringLiterals;
using platform::decodeFileName;
using platform::encodeFileName;

namespace {

QByteArray gbk(const QString& text)
{
    QStringEncoder encoder("GB18030");
    return encoder.encode(text);
}

QString escaped(std::initializer_list<int> bytes)
{
    QString text;
    for (const int byte : bytes)
        text += QChar(char16_t(0xDC00 + byte));
    return text;
}

} // namespace

class FileNameCodecTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodes_data();
    void decodes();
    void strayLoneSurrogatesEncodeAsQuestionMark_data();
    void strayLoneSurrogatesEncodeAsQuestionMark();
    void everyByteStringRoundTrips();
    void opensFileWithGbkName();
    void showsName_data();
    void showsName();
    void repairsOnlyWhenSure_data();
    void repairsOnlyWhenSure();
    void neverRepairsIntoAnotherText();
};

// Each row also encodes back to its bytes.
void FileNameCodecTest::decodes_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("utf8");
    QTest::newRow("empty") << QByteArray() << QString() << true;
    QTest::newRow("ASCII") << "Track 01.mp3"_ba << u"Track 01.mp3"_s << true;
    QTest::newRow("UTF-8") << u"老歌 Café.mp3"_s.toUtf8() << u"老歌 Café.mp3"_s << true;
    QTest::newRow("UTF-8 four bytes") << "\xF0\x9F\x8E\xB5"_ba << u"\U0001F3B5"_s << true;
    QTest::newRow("byte order mark kept") << "\xEF\xBB\xBFx"_ba << u"\uFEFFx"_s << true;
    // GBK C0CF B8E8: CF B8 happens to be valid UTF-8 and reads as such.
    QTest::newRow("GBK") << gbk(u"老歌.mp3"_s)
                         << escaped({0xC0}) + u"\u03F8"_s + escaped({0xE8}) + u".mp3"_s << false;
    QTest::newRow("GBK, all escaped")
        << gbk(u"光良"_s) << escaped({0xB9, 0xE2, 0xC1, 0xBC}) << false;
    QTest::newRow("Latin-1") << "Caf\xE9.mp3"_ba << u"Caf"_s + escaped({0xE9}) + u".mp3"_s << false;
    QTest::newRow("cut sequence at the end")
        << "a\xE4\xB8"_ba << u"a"_s + escaped({0xE4, 0xB8}) << false;
    QTest::newRow("cut sequence before ASCII")
        << "\xE4\xB8x"_ba << escaped({0xE4, 0xB8}) + u"x"_s << false;
    QTest::newRow("stray continuation byte")
        << "\x80\xC3\xA9"_ba << escaped({0x80}) + u"é"_s << false;
    QTest::newRow("overlong slash") << "\xC0\xAF"_ba << escaped({0xC0, 0xAF}) << false;
    QTest::newRow("overlong three bytes")
        << "\xE0\x80\xAF"_ba << escaped({0xE0, 0x80, 0xAF}) << false;
    // UTF-8 of an escape itself must not decode to it, or two names would meet.
    QTest::newRow("encoded surrogate") << "\xED\xB3\xA9"_ba << escaped({0xED, 0xB3, 0xA9}) << false;
    QTest::newRow("above U+10FFFF")
        << "\xF4\x90\x80\x80"_ba << escaped({0xF4, 0x90, 0x80, 0x80}) << false;
    QTest::newRow("0xFF") << "\xFF"_ba << escaped({0xFF}) << false;
}

void FileNameCodecTest::decodes()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, name);
    QFETCH(bool, utf8);
    QCOMPARE(decodeFileName(native), name);
    QCOMPARE(encodeFileName(name), native);
    QCOMPARE(platform::isUtf8Name(native), utf8);
}

void FileNameCodecTest::strayLoneSurrogatesEncodeAsQuestionMark_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("native");
    QTest::newRow("high") << u"a"_s + QChar(0xD800) + u"b"_s << "a?b"_ba;
    QTest::newRow("high at the end") << u"a"_s + QChar(0xDBFF) << "a?"_ba;
    QTest::newRow("low below the escapes") << QString(QChar(0xDC7F)) << "?"_ba;
    QTest::newRow("low above the escapes") << QString(QChar(0xDD00)) << "?"_ba;
    QTest::newRow("pair") << u"\U00010000"_s << "\xF0\x90\x80\x80"_ba;
}

void FileNameCodecTest::strayLoneSurrogatesEncodeAsQuestionMark()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, native);
    QCOMPARE(encodeFileName(name), native);
}

// Random names, from bytes that make valid, broken and cut UTF-8 alike.
void FileNameCodecTest::everyByteStringRoundTrips()
{
    static constexpr unsigned char kBytes[] = {'a',  '.',  0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0,
                                               0xAF, 0xBF, 0xC0, 0xC2, 0xDF, 0xE0, 0xE4, 0xED,
                                               0xEF, 0xF0, 0xF4, 0xF5, 0xFF, 0xB8, 0xA5, 0x01};
    std::mt19937 random(11);
    for (int n = 0; n < 50000; ++n) {
        QByteArray native;
        const int length = int(random() % 10);
        for (int i = 0; i < length; ++i)
            native +=
                random() % 2 ? char(random() % 256) : char(kBytes[random() % std::size(kBytes)]);
        const QString name = decodeFileName(native);
        QVERIFY2(encodeFileName(name) == native, native.toHex().constData());
        // Qt's decoder as the judge; a plain byte after the name makes a cut
        // sequence an error instead of a wait for more.
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
        const QString byQt = utf8.decode(native + 'x');
        QVERIFY2(platform::isUtf8Name(native) == !utf8.hasError(), native.toHex().constData());
        if (!utf8.hasError())
            QCOMPARE(name + u'x', byQt);
    }
}

// The fault this codec exists for: such a file could not be opened by the
// name the program shows for it.
void FileNameCodecTest::opensFileWithGbkName()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray native = QFile::encodeName(dir.path()) + '/' + gbk(u"老歌.mp3"_s);
    const int created = ::open(native.constData(), O_CREAT | O_WRONLY | O_EXCL, 0600);
    QVERIFY(created >= 0);
    ::close(created);

    const QString name = decodeFileName(native);
    const int opened = ::open(encodeFileName(name).constData(), O_RDONLY);
    QVERIFY(opened >= 0);
    ::close(opened);
    QVERIFY(::unlink(encodeFileName(name).constData()) == 0);
}

void FileNameCodecTest::showsName_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("shown");
    QStringEncoder big5("Big5");
    QTest::newRow("UTF-8") << u"老歌.mp3"_s.toUtf8() << u"老歌.mp3"_s;
    QTest::newRow("GBK") << gbk(u"老歌.mp3"_s) << u"老歌.mp3"_s;
    QTest::newRow("GBK song") << gbk(u"01 童话 - 光良.mp3"_s) << u"01 童话 - 光良.mp3"_s;
    QTest::newRow("Big5") << QByteArray(big5.encode(u"月亮代表我的心.mp3"_s))
                          << u"月亮代表我的心.mp3"_s;
    QTest::newRow("Latin-1") << "Caf\xE9 D\xE9"
                                "but.mp3"_ba
                             << u"Café Début.mp3"_s;
}

void FileNameCodecTest::showsName()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, shown);
    platform::LegacyDetector detector;
    QCOMPARE(platform::shownFileName(native, detector), shown);
}

void FileNameCodecTest::repairsOnlyWhenSure_data()
{
    QTest::addColumn<QByteArray>("native");
    QTest::addColumn<QString>("repaired"); // null: the name stays
    QStringEncoder big5("Big5");
    QStringEncoder shiftJis("Shift_JIS");
    QTest::newRow("UTF-8 needs nothing") << u"老歌.mp3"_s.toUtf8() << QString();
    QTest::newRow("GBK") << gbk(u"01 童话 - 光良.mp3"_s) << u"01 童话 - 光良.mp3"_s;
    QTest::newRow("Big5") << QByteArray(big5.encode(u"月亮代表我的心.mp3"_s))
                          << u"月亮代表我的心.mp3"_s;
    QTest::newRow("Latin-1") << "Caf\xE9.mp3"_ba << u"Café.mp3"_s;
    // Read as Windows-1252 it was "“ú–{Œê.mp3".
    QTest::newRow("Shift-JIS kanji") << "\x93\xFA\x96\x7B\x8C\xEA.mp3"_ba << u"日本語.mp3"_s;
    QTest::newRow("Shift-JIS kana")
        << QByteArray(shiftJis.encode(u"さくらさくら.mp3"_s)) << u"さくらさくら.mp3"_s;
    QTest::newRow("bytes no code page reads") << "\x80\xFF.mp3"_ba << QString();
    QTest::newRow("symbols in every reading") << "\xA4\xA4\xA4.mp3"_ba << QString();
    QTest::newRow("mojibake either way") << "\xC3\x28\xA4\xA4.mp3"_ba << QString();
}

void FileNameCodecTest::repairsOnlyWhenSure()
{
    QFETCH(QByteArray, native);
    QFETCH(QString, repaired);
    platform::LegacyDetector detector;
    const auto got = platform::repairedFileName(native, detector);
    QCOMPARE(got.value_or(QString()), repaired);
    QCOMPARE(got.has_value(), !repaired.isNull());
    // The list shows a name as it would be repaired.
    if (got)
        QCOMPARE(platform::shownFileName(native, detector), *got);
}

// Titles of every kind of the legacy corpus as file names: a name is
// repaired into its own text or left, never into another text.
void FileNameCodecTest::neverRepairsIntoAnotherText()
{
    using testsupport::CorpusKind;
    platform::LegacyDetector detector;
    int chinese = 0;
    int repairedChinese = 0;
    for (const testsupport::CorpusFile& file : testsupport::legacyCorpus()) {
        const std::string& title = file.texts.front();
        const QByteArray native =
            QByteArray::fromStdString(title.substr(0, title.find('\0'))) + ".mp3";
        if (file.kind == CorpusKind::Ascii || platform::isUtf8Name(native))
            continue;
        const auto codePage = file.kind == CorpusKind::Simplified ? platform::LegacyCodePage::Gbk
                              : file.kind == CorpusKind::Traditional
                                  ? platform::LegacyCodePage::Big5
                                  : platform::LegacyCodePage::Cp1252;
        const auto preferred = file.kind == CorpusKind::Traditional ? platform::LegacyCodePage::Big5
                                                                    : platform::LegacyCodePage::Gbk;
        const auto repaired = platform::repairedFileName(native, detector, preferred);
        if (repaired)
            QCOMPARE(*repaired, platform::decodeLegacy(native.toStdString(), codePage));
        if (file.kind != CorpusKind::Western) {
            ++chinese;
            repairedChinese += repaired.has_value();
        }
    }
    // Most Chinese names are repaired: doubt is for the few that need it.
    QVERIFY2(repairedChinese * 10 >= chinese * 9,
             qPrintable(u"%1 of %2"_s.arg(repairedChinese).arg(chinese)));
}

MP3T_TEST_GUILESS_MAIN(FileNameCodecTest)
#include "FileNameCodecTest.moc"
