#include "platform/LegacyText.h"

#include "tests/platform/LegacyCorpus.h"
#include "tests/support/TestEnvironment.h"

#include <QStringEncoder>
#include <QTest>

#include <map>
#include <random>

using namespace Qt::StringLiterals;
using platform::LegacyCodePage;
using platform::LegacyDetector;
using testsupport::CorpusKind;

Q_DECLARE_METATYPE(LegacyCodePage)

namespace {

// Bytes of a text in a code page, by Qt's own encoder (not the code under test).
QByteArray bytesIn(const QString& text, const char* codePage)
{
    QStringEncoder encoder(codePage);
    return encoder.encode(text);
}

QByteArray gbk(const QString& text)
{
    return bytesIn(text, "GB18030");
}

QByteArray big5(const QString& text)
{
    return bytesIn(text, "Big5");
}

QByteArray cp1252(const QString& text)
{
    return bytesIn(text, "windows-1252");
}

std::vector<std::string_view> views(const QList<QByteArray>& texts)
{
    std::vector<std::string_view> result;
    for (const QByteArray& text : texts)
        result.emplace_back(text.constData(), std::size_t(text.size()));
    return result;
}

std::string_view view(const QByteArray& bytes)
{
    return {bytes.constData(), std::size_t(bytes.size())};
}

LegacyCodePage expectedFor(CorpusKind kind)
{
    switch (kind) {
    case CorpusKind::Traditional:
        return LegacyCodePage::Big5;
    case CorpusKind::Western:
        return LegacyCodePage::Cp1252;
    case CorpusKind::Simplified:
    case CorpusKind::Ascii:
        break;
    }
    return LegacyCodePage::Gbk; // ASCII files: the preferred code page
}

} // namespace

class LegacyTextTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void codePageNames_data();
    void codePageNames();
    void detects_data();
    void detects();
    void corpusAccuracy();
    void decodes_data();
    void decodes();
    void neverDecodesToReplacementCharacter_data();
    void neverDecodesToReplacementCharacter();
    void encodes_data();
    void encodes();
    void encodedTextReadsBack();
    void validity_data();
    void validity();
};

void LegacyTextTest::codePageNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("settingName"); // empty: not a code page
    QTest::newRow("GBK") << u"GBK"_s << u"GBK"_s;
    QTest::newRow("gb18030") << u"gb18030"_s << u"GBK"_s;
    QTest::newRow("Big5") << u"Big5"_s << u"Big5"_s;
    QTest::newRow("BIG-5") << u"BIG-5"_s << u"Big5"_s;
    QTest::newRow("cp950") << u"cp950"_s << u"Big5"_s;
    QTest::newRow("CP1252") << u"CP1252"_s << u"CP1252"_s;
    QTest::newRow("Windows-1252") << u"Windows-1252"_s << u"CP1252"_s;
    QTest::newRow("latin1") << u"latin1"_s << u"CP1252"_s;
    QTest::newRow("blanks around") << u" gbk "_s << u"GBK"_s;
    QTest::newRow("empty") << QString() << QString();
    QTest::newRow("UTF-8") << u"UTF-8"_s << QString();
    QTest::newRow("prefix") << u"GB"_s << QString();
}

// Any spelling of a code page reads as it, and writes back as the setting name.
void LegacyTextTest::codePageNames()
{
    QFETCH(QString, name);
    QFETCH(QString, settingName);
    const auto parsed = platform::codePageFromName(name);
    QCOMPARE(parsed ? platform::codePageName(*parsed) : QString(), settingName);
}

void LegacyTextTest::detects_data()
{
    QTest::addColumn<QList<QByteArray>>("texts");
    QTest::addColumn<LegacyCodePage>("preferred");
    QTest::addColumn<LegacyCodePage>("expected");
    const auto Gbk = LegacyCodePage::Gbk;
    const auto Big5 = LegacyCodePage::Big5;
    const auto Cp1252 = LegacyCodePage::Cp1252;

    QTest::newRow("Big5 song") << QList{big5(u"月亮代表我的心"_s)} << Gbk << Big5;
    QTest::newRow("Big5 title, artist") << QList{big5(u"後來"_s), big5(u"劉若英"_s)} << Gbk << Big5;
    QTest::newRow("Big5 two characters") << QList{big5(u"勇氣"_s)} << Gbk << Big5;
    QTest::newRow("Big5 with Latin") << QList{big5(u"戀愛ing"_s)} << Gbk << Big5;
    QTest::newRow("Latin-1 words") << QList{cp1252(u"Café Début"_s)} << Gbk << Cp1252;
    QTest::newRow("capital before letters") << QList{cp1252(u"Åsa"_s)} << Gbk << Cp1252;
    QTest::newRow("curly apostrophe") << QList{cp1252(u"Don’t Stop"_s)} << Gbk << Cp1252;
    QTest::newRow("accent at the end") << QList{cp1252(u"Blå"_s)} << Gbk << Cp1252;
    // "À" before "s " is also a frequent Big5 character: ICU's Portuguese settles it.
    QTest::newRow("tie settled by ICU") << QList{cp1252(u"Às vezes"_s)} << Gbk << Cp1252;
    QTest::newRow("GBK title") << QList{gbk(u"童话"_s)} << Gbk << Gbk;
    QTest::newRow("GBK artist") << QList{gbk(u"光良"_s)} << Gbk << Gbk;
    QTest::newRow("GBK title, artist") << QList{gbk(u"童话"_s), gbk(u"光良"_s)} << Big5 << Gbk;
    QTest::newRow("GBK with Latin") << QList{gbk(u"Live版"_s)} << Gbk << Gbk;
    QTest::newRow("GBK bracketed") << QList{gbk(u"《后来》（现场版）"_s)} << Gbk << Gbk;
    // The GBK write profile stores accents in GBK's pinyin row.
    QTest::newRow("Latin words in GBK")
        << QList{gbk(u"Café Début"_s), gbk(u"Zoé 和朋友"_s)} << Gbk << Gbk;
    QTest::newRow("Latin word in GBK, Big5 preferred") << QList{gbk(u"Déjà vu"_s)} << Big5 << Gbk;

    // Bytes a code page cannot have rule it out, whatever the rest says.
    QTest::newRow("E9 20 is not GBK")
        << QList{gbk(u"一千个伤心的理由"_s), "caf\xE9 noir"_ba} << Gbk << Cp1252;
    QTest::newRow("undefined in Windows-1252")
        << QList{gbk(u"童话"_s), "\x81\x40"_ba} << Cp1252 << Gbk;
    // An ID3v1 field cut at 30 bytes in the middle of a character.
    QTest::newRow("cut field") << QList{gbk(u"一千个伤心的理由"_s).left(15)} << Gbk << Gbk;
    QTest::newRow("after NUL") << QList{gbk(u"光良"_s) + QByteArray("\0\xE9 ", 3)} << Gbk << Gbk;

    // Nothing to go on: the preferred code page.
    QTest::newRow("ASCII, GBK") << QList{"Yesterday"_ba, "The Beatles"_ba} << Gbk << Gbk;
    QTest::newRow("ASCII, Big5") << QList{"Yesterday"_ba} << Big5 << Big5;
    QTest::newRow("ASCII, CP1252") << QList{"Yesterday"_ba} << Cp1252 << Cp1252;
    QTest::newRow("no texts") << QList<QByteArray>{} << Big5 << Big5;
    QTest::newRow("NUL-padded") << QList{QByteArray(30, '\0')} << Cp1252 << Cp1252;
    // Both Big5 and GBK characters of the everyday sets: undecidable.
    QTest::newRow("undecidable, Big5") << QList{big5(u"煎熬"_s)} << Big5 << Big5;
    QTest::newRow("undecidable, GBK") << QList{big5(u"煎熬"_s)} << Gbk << Gbk;
}

void LegacyTextTest::detects()
{
    QFETCH(QList<QByteArray>, texts);
    QFETCH(LegacyCodePage, preferred);
    QFETCH(LegacyCodePage, expected);
    LegacyDetector detector;
    QCOMPARE(detector.detect(views(texts), preferred), expected);
    QCOMPARE(platform::detectLegacyCodePage(views(texts), preferred), expected);
}

// Over the generated files of each kind (a third of them a lone short title),
// with the default preference for GBK.
void LegacyTextTest::corpusAccuracy()
{
    LegacyDetector detector;
    std::map<CorpusKind, std::pair<int, int>> counts; // right, all
    for (const auto& file : testsupport::legacyCorpus(150)) {
        const std::vector<std::string_view> texts(file.texts.begin(), file.texts.end());
        auto& [right, all] = counts[file.kind];
        right += detector.detect(texts) == expectedFor(file.kind);
        ++all;
    }
    const std::map<CorpusKind, const char*> names{{CorpusKind::Simplified, "GBK Simplified"},
                                                  {CorpusKind::Traditional, "Big5 Traditional"},
                                                  {CorpusKind::Western, "Windows-1252 Western"},
                                                  {CorpusKind::Ascii, "ASCII"}};
    for (const auto& [kind, count] : counts) {
        const double accuracy = 100.0 * count.first / count.second;
        qInfo("%s: %d of %d files (%.1f %%)", names.at(kind), count.first, count.second, accuracy);
        QVERIFY2(accuracy >= 97.0, names.at(kind));
    }
}

void LegacyTextTest::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<LegacyCodePage>("codePage");
    QTest::addColumn<QString>("text");
    const auto Gbk = LegacyCodePage::Gbk;
    const auto Big5 = LegacyCodePage::Big5;
    const auto Cp1252 = LegacyCodePage::Cp1252;

    QTest::newRow("GBK") << gbk(u"中文歌曲"_s) << Gbk << u"中文歌曲"_s;
    QTest::newRow("GBK four-byte form") << "\x95\x32\x82\x36"_ba << Gbk << u"\U00020000"_s;
    QTest::newRow("Big5") << big5(u"月亮代表我的心"_s) << Big5 << u"月亮代表我的心"_s;
    QTest::newRow("Big5 euro") << "\xA3\xE1"_ba << Big5 << u"€"_s;
    QTest::newRow("CP1252") << cp1252(u"Café “Début” – €"_s) << Cp1252 << u"Café “Début” – €"_s;

    // A byte starting no valid sequence is its Windows-1252 character.
    QTest::newRow("GBK lead before blank") << "\xE9 x"_ba << Gbk << u"é x"_s;
    QTest::newRow("GBK lead at the end") << "ab\xD6"_ba << Gbk << u"abÖ"_s;
    QTest::newRow("GBK 0x80") << "\x80"_ba << Gbk << u"€"_s;
    QTest::newRow("GBK 0xFF") << "a\xFF"_ba << Gbk << u"aÿ"_s;
    QTest::newRow("GBK cut four-byte form") << "\x95\x32"_ba << Gbk << u"•2"_s;
    QTest::newRow("GBK form of U+FFFD") << "\x84\x31\xA4\x37"_ba << Gbk << u"„1¤7"_s;
    QTest::newRow("Big5 bad trail") << "\xA4\x80\xA4\x40"_ba << Big5 << u"¤€一"_s;
    QTest::newRow("Big5 unassigned") << "\xA3\xC0"_ba << Big5 << u"£À"_s;
    QTest::newRow("Big5 0xFF") << "\xFF"_ba << Big5 << u"ÿ"_s;
    QTest::newRow("undefined in CP1252")
        << "\x81\x8D\x8F\x90\x9D"_ba << Cp1252 << u"\u0081\u008D\u008F\u0090\u009D"_s;
    QTest::newRow("undefined in GBK") << "\x81\x0A"_ba << Gbk << u"\u0081\n"_s;

    QTest::newRow("stops at NUL") << QByteArray("ab\0\xD6\xD0", 5) << Gbk << u"ab"_s;
    QTest::newRow("lead before NUL") << QByteArray("\xD6\0\xD0", 3) << Gbk << u"Ö"_s;
    QTest::newRow("empty") << QByteArray() << Big5 << QString();
}

void LegacyTextTest::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(LegacyCodePage, codePage);
    QFETCH(QString, text);
    QCOMPARE(platform::decodeLegacy(view(bytes), codePage), text);
}

void LegacyTextTest::neverDecodesToReplacementCharacter_data()
{
    QTest::addColumn<LegacyCodePage>("codePage");
    QTest::newRow("GBK") << LegacyCodePage::Gbk;
    QTest::newRow("Big5") << LegacyCodePage::Big5;
    QTest::newRow("CP1252") << LegacyCodePage::Cp1252;
}

// Random bytes, mostly high ones so that broken sequences abound, and every
// pair of bytes: each has a reading without U+FFFD, and a broken sequence
// never swallows the byte after it (0x7F continues no sequence).
void LegacyTextTest::neverDecodesToReplacementCharacter()
{
    QFETCH(LegacyCodePage, codePage);
    std::mt19937 random(7);
    for (int n = 0; n < 20000; ++n) {
        std::string bytes(random() % 12, '\0');
        for (char& b : bytes)
            b = char(random() % 4 == 0 ? 0x20 + random() % 0x60 : 0x80 + random() % 0x80);
        const QString text = platform::decodeLegacy(bytes, codePage);
        QVERIFY2(!text.contains(QChar(0xFFFD)), QByteArray::fromStdString(bytes).toHex());
        QVERIFY(text.size() <= qsizetype(bytes.size()));
    }
    for (int lead = 0x80; lead < 0x100; ++lead) {
        for (int trail = 1; trail < 0x100; ++trail) {
            const std::string bytes{char(lead), char(trail), '\x7F'};
            const QString text = platform::decodeLegacy(bytes, codePage);
            QVERIFY2(!text.contains(QChar(0xFFFD)) && text.endsWith(QChar(0x7F)),
                     qPrintable(QString::number(lead * 256 + trail, 16)));
        }
    }
}

void LegacyTextTest::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<LegacyCodePage>("codePage");
    QTest::addColumn<QByteArray>("bytes");
    const auto Gbk = LegacyCodePage::Gbk;
    const auto Big5 = LegacyCodePage::Big5;
    const auto Cp1252 = LegacyCodePage::Cp1252;

    QTest::newRow("GBK") << u"中文歌曲"_s << Gbk << gbk(u"中文歌曲"_s);
    QTest::newRow("GBK keeps its Latin letters") << u"é"_s << Gbk << "\xA8\xA6"_ba;
    QTest::newRow("GBK euro: CP936's byte") << u"5 €"_s << Gbk << "5 \x80"_ba;
    QTest::newRow("Big5") << u"月亮代表我的心"_s << Big5 << big5(u"月亮代表我的心"_s);
    QTest::newRow("Big5 euro") << u"€ 5"_s << Big5 << "\xA3\xE1 5"_ba;
    QTest::newRow("CP1252") << u"Café “Début” – €"_s << Cp1252 << cp1252(u"Café “Début” – €"_s);
    QTest::newRow("CP1252 C1 control") << u"\u0081"_s << Cp1252 << "\x81"_ba;

    // GBK never gets GB18030's four-byte forms: what it lacks is folded to
    // its base letter where there is one, else '?'.
    QTest::newRow("GBK folds an accent") << u"Björk"_s << Gbk << "Bjork"_ba;
    QTest::newRow("GBK folds in a text") << u"Æ ö 中"_s << Gbk << "? o "_ba + gbk(u"中"_s);
    QTest::newRow("GBK lacks an ideograph") << u"\U00020000a"_s << Gbk << "?a"_ba;
    QTest::newRow("GBK lacks emoji") << u"\U0001F600"_s << Gbk << "?"_ba;
    QTest::newRow("Big5 folds an accent") << u"Björk"_s << Big5 << "Bjork"_ba;
    QTest::newRow("CP1252 has the accent") << u"Björk"_s << Cp1252 << "Bj\xF6rk"_ba;
    QTest::newRow("CP1252 folds what it lacks") << u"Dvořák"_s << Cp1252 << "Dvor\xE1k"_ba;
    QTest::newRow("a question mark is itself") << u"?"_s << Gbk << "?"_ba;

    // What the code page lacks becomes '?'.
    QTest::newRow("Big5 lacks simplified") << u"月们"_s << Big5 << big5(u"月"_s) + "?";
    QTest::newRow("Big5 lacks emoji") << u"a\U0001F600b"_s << Big5 << "a?b"_ba;
    QTest::newRow("Big5 lacks U+0080") << u"\u0080"_s << Big5 << "?"_ba;
    QTest::newRow("CP1252 lacks hanzi") << u"Café 中文"_s << Cp1252 << "Caf\xE9 ??"_ba;
    QTest::newRow("CP1252 lacks emoji") << u"\U0001F600"_s << Cp1252 << "?"_ba;
    QTest::newRow("lone surrogates")
        << u"a"_s + QChar(0xDC00) + QChar(0xD800) + u"b"_s << Big5 << "a??b"_ba;
    QTest::newRow("stops at NUL") << u"ab"_s + QChar(0) + u"cd"_s << Cp1252 << "ab"_ba;
}

void LegacyTextTest::encodes()
{
    QFETCH(QString, text);
    QFETCH(LegacyCodePage, codePage);
    QFETCH(QByteArray, bytes);
    QCOMPARE(QByteArray::fromStdString(platform::encodeLegacy(text, codePage)), bytes);
}

// Every character a code page has comes back from its bytes: all of
// Windows-1252, and every character of Big5.
void LegacyTextTest::encodedTextReadsBack()
{
    QString latin;
    for (int byte = 1; byte < 0x100; ++byte)
        latin += platform::decodeLegacy(std::string(1, char(byte)), LegacyCodePage::Cp1252);
    QCOMPARE(platform::decodeLegacy(platform::encodeLegacy(latin, LegacyCodePage::Cp1252),
                                    LegacyCodePage::Cp1252),
             latin);

    QString chinese;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail)
            if (const std::string pair{char(lead), char(trail)};
                platform::isValidIn(pair, LegacyCodePage::Big5))
                chinese += platform::decodeLegacy(pair, LegacyCodePage::Big5);
    QVERIFY(chinese.size() > 13000);
    const std::string bytes = platform::encodeLegacy(chinese, LegacyCodePage::Big5);
    QVERIFY(bytes.find('?') == std::string::npos);
    QCOMPARE(platform::decodeLegacy(bytes, LegacyCodePage::Big5), chinese);
}

void LegacyTextTest::validity_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<LegacyCodePage>("codePage");
    QTest::addColumn<bool>("valid");
    const auto Gbk = LegacyCodePage::Gbk;
    const auto Big5 = LegacyCodePage::Big5;
    const auto Cp1252 = LegacyCodePage::Cp1252;

    QTest::newRow("E9 20 GBK") << "\xE9\x20"_ba << Gbk << false;
    QTest::newRow("E9 20 Big5") << "\xE9\x20"_ba << Big5 << false;
    QTest::newRow("E9 20 CP1252") << "\xE9\x20"_ba << Cp1252 << true;
    QTest::newRow("GBK trail 0x80") << "\x81\x80"_ba << Gbk << true;
    QTest::newRow("Big5 trail 0x80") << "\xA4\x80"_ba << Big5 << false;
    QTest::newRow("Big5 trail 0x7E") << "\xA4\x7E"_ba << Big5 << true;
    QTest::newRow("trail 0x7F") << "\xB0\x7F"_ba << Gbk << false;
    QTest::newRow("Big5 unassigned") << "\xA3\xC0"_ba << Big5 << false;
    QTest::newRow("GBK 0x80") << "\x80"_ba << Gbk << false;
    QTest::newRow("cut at the end") << "\xB9\xE2\xC1"_ba << Gbk << false;
    QTest::newRow("four-byte form") << "\x81\x30\x81\x30"_ba << Gbk << true;
    QTest::newRow("CP1252 0x81") << "a\x81"_ba << Cp1252 << false;
    QTest::newRow("CP1252 0x80") << "\x80"_ba << Cp1252 << true;
    QTest::newRow("after NUL") << QByteArray("ok\0\xE9\x20", 5) << Gbk << true;
    QTest::newRow("ASCII") << "Track 01"_ba << Big5 << true;
}

void LegacyTextTest::validity()
{
    QFETCH(QByteArray, bytes);
    QFETCH(LegacyCodePage, codePage);
    QFETCH(bool, valid);
    QCOMPARE(platform::isValidIn(view(bytes), codePage), valid);
}

MP3T_TEST_GUILESS_MAIN(LegacyTextTest)
#include "LegacyTextTest.moc"
