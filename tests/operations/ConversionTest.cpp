// The conversion of legacy texts to Unicode as one command: each file's
// outcome in the order given, one step of the journal, and a file changed
// between its reading and its write left as the other program wrote it.

#include "operations/Conversion.h"
#include "operations/Core.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

using namespace Qt::StringLiterals;
using namespace testsupport;
using Result = operations::Conversion::FileResult;

namespace {

QByteArray gbkFile(const QString& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(0, gbk(title))), 64) + silentMpegFrames();
}

QByteArray asciiFile()
{
    return id3v2Tag(3, frame23("TIT2", textData(0, "Plain")), 64) + silentMpegFrames();
}

} // namespace

class ConversionTest : public QObject {
    Q_OBJECT

    std::vector<std::pair<std::size_t, Result>> reported_;

    operations::Conversion::AfterFile recorder()
    {
        return [this](std::size_t index, const Result& result) {
            reported_.emplace_back(index, result);
        };
    }

private Q_SLOTS:
    void init()
    {
        reported_.clear();
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
    }

    // Converted, not needed, and refused files, each reported in its turn;
    // the files converted are one step.
    void outcomesInTheOrderGiven()
    {
        operations::Core core;
        QVERIFY(core.openJournal().failure.isEmpty());
        TemporaryFolder dir;
        const QString a = dir.filePath(u"a.mp3"_s);
        const QString b = dir.filePath(u"b.mp3"_s);
        const QString c = dir.filePath(u"c.mp3"_s);
        const QString d = dir.filePath(u"d.mp3"_s);
        QVERIFY(writeBytes(a, gbkFile(u"童话"_s)));
        QVERIFY(writeBytes(b, asciiFile()));
        QVERIFY(writeBytes(d, gbkFile(u"后来"_s)));
        {
            operations::Conversion conversion(core.journal(), core.textRules(), recorder());
            QCOMPARE(conversion.add(a, std::nullopt), std::size_t(0));
            QCOMPARE(conversion.add(b, std::nullopt), std::size_t(1));
            QCOMPARE(conversion.fail(c, u"文件不存在"_s), std::size_t(2));
            QCOMPARE(conversion.add(d, platform::LegacyCodePage::Gbk), std::size_t(3));
            conversion.finish();
            QVERIFY(conversion.problems().empty());
        }
        QCOMPARE(reported_.size(), std::size_t(4));
        const std::vector<std::tuple<QString, bool, QString, bool>> expected{
            {a, true, QString(), true},
            {b, true, QString(), false},
            {c, false, u"文件不存在"_s, true},
            {d, true, QString(), true}};
        for (std::size_t i = 0; i < expected.size(); ++i) {
            const auto& [index, result] = reported_[i];
            QCOMPARE(index, i);
            QCOMPARE(result.file.file, std::get<0>(expected[i]));
            QCOMPARE(result.file.succeeded, std::get<1>(expected[i]));
            QCOMPARE(result.file.reason, std::get<2>(expected[i]));
            QCOMPARE(result.needed, std::get<3>(expected[i]));
        }
        QVERIFY(!readBytes(a).contains(gbk(u"童话"_s)));
        QVERIFY(readBytes(a).contains(utf16WithBom(u"童话"_s)));
        QCOMPARE(readBytes(b), asciiFile());
        const auto steps = core.journal()->steps();
        QCOMPARE(steps.size(), std::size_t(1));
        QCOMPARE(steps.front().kind, operations::StepKind::Conversion);
        QCOMPARE(steps.front().files, 2);
    }

    // The file was read, then another program wrote it before the step was
    // written: its outcome is the refusal, and the file is theirs.
    void fileChangedBeforeTheWriteIsRefused()
    {
        operations::Core core;
        QVERIFY(core.openJournal().failure.isEmpty());
        TemporaryFolder dir;
        const QString a = dir.filePath(u"a.mp3"_s);
        const QString b = dir.filePath(u"b.mp3"_s);
        QVERIFY(writeBytes(a, gbkFile(u"童话"_s)));
        QVERIFY(writeBytes(b, gbkFile(u"光良"_s)));
        const QByteArray theirs = gbkFile(u"晴天"_s);
        {
            operations::Conversion conversion(core.journal(), core.textRules(), recorder());
            conversion.add(a, std::nullopt);
            conversion.add(b, std::nullopt);
            QVERIFY(writeBytes(a, theirs));
            conversion.finish();
        }
        QCOMPARE(reported_.size(), std::size_t(2));
        QVERIFY(!reported_[0].second.file.succeeded);
        QVERIFY(reported_[0].second.needed);
        QCOMPARE(reported_[0].second.file.reason, u"文件已被其他程序修改"_s);
        QCOMPARE(readBytes(a), theirs);
        QVERIFY(reported_[1].second.file.succeeded);
        QVERIFY(readBytes(b).contains(utf16WithBom(u"光良"_s)));
    }
};

MP3T_TEST_GUILESS_MAIN(ConversionTest)
#include "ConversionTest.moc"
