#include "operations/TextTools.h"
#include "operations/ChineseConverter.h"

#include <QTest>

using namespace Qt::StringLiterals;
using operations::AdStripper;
using operations::CaseMode;
using operations::ChineseConverter;
using operations::Numbering;
using operations::TextReplacer;

class TextToolsTest : public QObject {
    Q_OBJECT

private slots:
    void caseChangesLatinLettersOnly_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("expected");
        const auto words = int(CaseMode::Words);
        QTest::newRow("shouted") << u"JAY CHOU"_s << words << u"Jay Chou"_s;
        QTest::newRow("apostrophe") << u"don't stop ME now"_s << words << u"Don't Stop Me Now"_s;
        QTest::newRow("curly apostrophe")
            << u"it\u2019s MY life"_s << words << u"It\u2019s My Life"_s;
        QTest::newRow("after chinese") << u"周杰伦jay chou"_s << words << u"周杰伦Jay Chou"_s;
        QTest::newRow("digits start no word") << u"the 1ST time"_s << words << u"The 1st Time"_s;
        QTest::newRow("accents") << u"ÉTÉ À PARIS"_s << words << u"Été À Paris"_s;
        QTest::newRow("greek stays") << u"ΑΒΓ abc"_s << int(CaseMode::Upper) << u"ΑΒΓ ABC"_s;
        QTest::newRow("full-width latin") << u"ＡＢＣ"_s << int(CaseMode::Lower) << u"ａｂｃ"_s;
        QTest::newRow("sentence") << u"HELLO world. GOOD bye! 你好。OK"_s << int(CaseMode::Sentence)
                                  << u"Hello world. Good bye! 你好。Ok"_s;
    }
    void caseChangesLatinLettersOnly()
    {
        QFETCH(QString, text);
        QFETCH(int, mode);
        QFETCH(QString, expected);
        QCOMPARE(operations::changeCase(text, CaseMode(mode)), expected);
    }

    void halfWidthKeepsChinesePunctuation()
    {
        QCOMPARE(operations::toHalfWidth(u"ＡＢＣ１２３　ｘ＃"_s), u"ABC123 x#"_s);
        // Latin text typed wide: its marks are Latin too.
        QCOMPARE(operations::toHalfWidth(u"Ｌｏｖｅ（Ｌｉｖｅ），ｙｅｓ！"_s),
                 u"Love(Live),yes!"_s);
        // Chinese text keeps its own marks, as a pair; the letters still fold.
        QCOMPARE(operations::toHalfWidth(u"爱你（Ｌｉｖｅ），《东风破》、「好」。"_s),
                 u"爱你（Live），《东风破》、「好」。"_s);
    }

    void replacePlainAndRegex()
    {
        QCOMPARE(TextReplacer(u"(live)"_s, u""_s, false, false).apply(u"Song (LIVE)"_s),
                 u"Song "_s);
        QCOMPARE(TextReplacer(u"live"_s, u"x"_s, false, true).apply(u"Live live"_s), u"Live x"_s);
        // A plain replacement is text, even when it looks like a group.
        QCOMPARE(TextReplacer(u"a"_s, u"\\1$1"_s, false, true).apply(u"a"_s), u"\\1$1"_s);
        // Groups, written either way.
        QCOMPARE(
            TextReplacer(u"^(.+) - (.+)$"_s, u"\\2 - $1"_s, true, true).apply(u"周杰伦 - 晴天"_s),
            u"晴天 - 周杰伦"_s);
        const TextReplacer broken(u"(unclosed"_s, u""_s, true, true);
        QVERIFY(!broken.error().isEmpty());
        QCOMPARE(broken.apply(u"(unclosed"_s), u"(unclosed"_s);
        QCOMPARE(TextReplacer(u""_s, u"x"_s, false, true).apply(u"abc"_s), u"abc"_s);
    }

    void presetsRemoveAdsAndKeepTitles_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("bracketed site") << u"晴天[www.xxx.com]"_s << u"晴天"_s;
        QTest::newRow("chinese brackets") << u"【QQ群123456】七里香"_s << u"七里香"_s;
        QTest::newRow("bare address") << u"稻香 www.abc123.cn 周杰伦"_s << u"稻香 周杰伦"_s;
        QTest::newRow("domain") << u"夜曲 - music.example.com"_s << u"夜曲 -"_s;
        QTest::newRow("qq") << u"发如雪 QQ群:12345678"_s << u"发如雪"_s;
        QTest::newRow("provided by") << u"菊花台 由某某音乐网提供"_s << u"菊花台"_s;
        QTest::newRow("live stays") << u"晴天 (Live)"_s << u"晴天 (Live)"_s;
        QTest::newRow("book title stays") << u"《网络情人》"_s << u"《网络情人》"_s;
        QTest::newRow("abbreviations stay")
            << u"Mr.Big - To Be With You"_s << u"Mr.Big - To Be With You"_s;
        QTest::newRow("untouched spaces stay") << u" 空格 "_s << u" 空格 "_s;
    }
    void presetsRemoveAdsAndKeepTitles()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const AdStripper stripper(AdStripper::presets());
        QVERIFY(stripper.errors().isEmpty());
        QCOMPARE(stripper.apply(text), expected);
    }

    void badAdPatternIsReported()
    {
        const AdStripper stripper({u"[unclosed"_s, u"x+"_s});
        QCOMPARE(stripper.errors().size(), 1);
        QCOMPARE(stripper.apply(u"axxb"_s), u"ab"_s);
    }

    void numbering()
    {
        const std::vector<QString> folders{u"/a"_s, u"/a"_s, u"/b"_s, u"/a"_s};
        using V = std::vector<QString>;
        QCOMPARE(operations::trackNumbers(folders, {}), (V{u"1"_s, u"2"_s, u"3"_s, u"4"_s}));
        Numbering n;
        n.start = 9;
        n.width = 2;
        n.total = Numbering::Total::Selected;
        QCOMPARE(operations::trackNumbers(folders, n),
                 (V{u"09/04"_s, u"10/04"_s, u"11/04"_s, u"12/04"_s}));
        n.start = 1;
        n.width = 0;
        n.total = Numbering::Total::Folder;
        n.restartPerFolder = true;
        QCOMPARE(operations::trackNumbers(folders, n), (V{u"1/3"_s, u"2/3"_s, u"1/1"_s, u"3/3"_s}));
    }

    void chineseByPhrase()
    {
        const ChineseConverter s2t(u"s2t");
        QVERIFY2(s2t.error().isEmpty(), qPrintable(s2t.error()));
        // Word by word, not character by character: 发 is 髮 in 头发, 發 in 发现.
        QCOMPARE(s2t.convert(u"头发 发现 干净 树干"_s), u"頭髮 發現 乾淨 樹幹"_s);
        QCOMPARE(ChineseConverter(u"t2s").convert(u"頭髮 發現 Jay"_s), u"头发 发现 Jay"_s);
        // Taiwan's and Hong Kong's standard forms, and back.
        QCOMPARE(ChineseConverter(u"s2tw").convert(u"软件"_s), u"軟件"_s);
        QCOMPARE(ChineseConverter(u"tw2s").convert(u"著"_s), u"着"_s);
        const ChineseConverter unknown(u"x2y");
        QVERIFY(!unknown.error().isEmpty());
        QCOMPARE(unknown.convert(u"头发"_s), u"头发"_s);
    }
};

QTEST_GUILESS_MAIN(TextToolsTest)
#include "TextToolsTest.moc"
