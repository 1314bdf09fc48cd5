#include "platform/CodePage.h"

#include "tests/support/TestEnvironment.h"

#include <QTest>

using namespace Qt::StringLiterals;
using platform::AnsiToText;
using platform::TextToAnsi;

class CodePageTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void decodes_data();
    void decodes();
    void encodes_data();
    void encodes();
    void everyCharacterRoundTrips();
    void everyTwoByteSequenceDecodes();
};

void CodePageTest::decodes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << QByteArray() << QString();
    QTest::newRow("ascii") << "Track 01"_ba << u"Track 01"_s;
    QTest::newRow("gbk") << "\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA"_ba << u"中文歌曲"_s;
    QTest::newRow("gbk extension") << "\x81\x40"_ba << u"丂"_s;
    QTest::newRow("four-byte form") << "\x95\x32\x82\x36"_ba << u"\U00020000"_s;
    QTest::newRow("lead byte at the end") << "ab\x81"_ba << u"ab\uFFFD"_s;
    QTest::newRow("lead byte before blank") << "\x81 x"_ba << u"\uFFFD x"_s;
    QTest::newRow("byte 0xFF") << "a\xFF"
                                  "b"_ba
                               << u"a\uFFFDb"_s;
    QTest::newRow("cut four-byte form") << "\x95\x32"_ba << u"\uFFFD2"_s;
    QTest::newRow("stops at NUL") << QByteArray("ab\0cd", 5) << u"ab"_s;
    QTest::newRow("lead byte before NUL") << QByteArray("\xD6\0\xD0", 3) << u"\uFFFD"_s;
}

void CodePageTest::decodes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(AnsiToText(bytes.toStdString()), text);
}

void CodePageTest::encodes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QString() << QByteArray();
    QTest::newRow("ascii") << u"%2-%1.mp3"_s << "%2-%1.mp3"_ba;
    QTest::newRow("gbk") << u"中文歌曲"_s << "\xD6\xD0\xCE\xC4\xB8\xE8\xC7\xFA"_ba;
    QTest::newRow("outside gbk") << u"\U00020000"_s << "\x95\x32\x82\x36"_ba;
    QTest::newRow("emoji") << u"\U0001F600"_s << "\x94\x39\xFC\x36"_ba;
    QTest::newRow("latin") << u"é"_s << "\xA8\xA6"_ba;
    QTest::newRow("lone high surrogate") << u"a"_s + QChar(0xD800) + u"b"_s << "a?b"_ba;
    QTest::newRow("lone low surrogate") << QString(QChar(0xDC00)) << "?"_ba;
    QTest::newRow("stops at NUL") << u"ab"_s + QChar(0) + u"cd"_s << "ab"_ba;
}

void CodePageTest::encodes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);
    QCOMPARE(QByteArray::fromStdString(TextToAnsi(text)), bytes);
}

// Every character a user can type has a byte form that reads back as itself.
void CodePageTest::everyCharacterRoundTrips()
{
    QString all;
    for (char32_t c = 1; c <= 0x10FFFF; ++c) {
        if (c >= 0xD800 && c <= 0xDFFF)
            continue;
        all += QString::fromUcs4(&c, 1);
    }
    const std::string bytes = TextToAnsi(all);
    QVERIFY(bytes.find('\0') == std::string::npos);
    QCOMPARE(AnsiToText(bytes), all);
}

// Hostile bytes never crash and never swallow what follows them (0x7F
// continues no sequence).
void CodePageTest::everyTwoByteSequenceDecodes()
{
    for (int lead = 1; lead < 256; ++lead) {
        for (int trail = 1; trail < 256; ++trail) {
            const std::string bytes{char(lead), char(trail), '\x7F'};
            const QString text = AnsiToText(bytes);
            QVERIFY2(text.endsWith(QChar(0x7F)),
                     qPrintable(QString::number(lead * 256 + trail, 16)));
        }
    }
}

MP3T_TEST_GUILESS_MAIN(CodePageTest)
#include "CodePageTest.moc"
