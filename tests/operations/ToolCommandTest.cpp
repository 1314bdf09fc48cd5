// A text tool over real files: what the preview shows is what the run
// writes, one step that undo takes back byte for byte; a file changed since
// the preview read it is refused; new file names go through the plan.

#include "operations/ToolCommand.h"
#include "operations/History.h"
#include "operations/Journal.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using namespace testsupport;
using operations::Field;
using operations::Priority;
using operations::ToolKind;
using operations::ToolSettings;

namespace {

QByteArray mp3(const QString& title, const QString& artist)
{
    const QByteArray frames = frame23("TIT2", textData(1, utf16WithBom(title))) +
                              frame23("TPE1", textData(1, utf16WithBom(artist)));
    return id3v2Tag(3, frames, 256) + silentMpegFrames(4);
}

operations::ShownTags shownOf(const QString& path)
{
    TID3v1 v1;
    TID3v2 v2;
    return operations::readShownTags(v1, v2, Priority::PreferV2, path);
}

} // namespace

class ToolCommandTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryFolder> dir_;
    std::unique_ptr<operations::Journal> journal_;

    QString file(const QString& name) const { return dir_->path() + u'/' + name; }

    // Runs the tool's tag command over the files as one step; the outcomes.
    std::vector<operations::FileOutcome> run(std::shared_ptr<operations::TextTool> tool,
                                             const std::vector<operations::ToolFile>& files)
    {
        const auto command = operations::toolTagCommand(tool, files, Priority::PreferV2, {});
        std::vector<operations::FileOutcome> outcomes;
        operations::TagRunner runner(
            command, journal_.get(),
            [&](std::size_t, const operations::TagPlan&, const operations::FileOutcome& o) {
                outcomes.push_back(o);
            });
        for (const auto& f : files)
            runner.add(f.path);
        runner.finish();
        return outcomes;
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TemporaryFolder>();
        journal_ = std::make_unique<operations::Journal>(
            (dir_->path() + u"/journal.sqlite"_s).toStdString());
    }
    void cleanup() { journal_.reset(); }

    void previewIsWhatIsWrittenAndUndoTakesItBack()
    {
        const QStringList names{u"1.mp3"_s, u"2.mp3"_s, u"3.mp3"_s};
        const QList<QByteArray> before{mp3(u"JAY CHOU"_s, u"don't STOP"_s),
                                       mp3(u"晴天"_s, u"周杰伦"_s), mp3(u"ＡＢＣ"_s, u"abc def"_s)};
        std::vector<QString> paths;
        for (int i = 0; i < names.size(); ++i) {
            QVERIFY(writeBytes(file(names[i]), before[i]));
            paths.push_back(file(names[i]));
        }
        ToolSettings settings;
        settings.kind = ToolKind::Case;
        settings.fields = {Field::Title, Field::Artist};
        auto tool = std::make_shared<operations::TextTool>(settings);
        const auto files = operations::readToolFiles(paths, Priority::PreferV2, {});
        const auto edits = operations::previewTool(*tool, files);
        // Only what changes: nothing of the Chinese file, the full-width
        // letters are Latin letters.
        QCOMPARE(edits.size(), std::size_t(4));
        QCOMPARE(edits[0].after, u"Jay Chou"_s);
        QCOMPARE(edits[1].after, u"Don't Stop"_s);

        const auto outcomes = run(tool, files);
        QCOMPARE(outcomes.size(), std::size_t(3));
        for (const auto& edit : edits)
            QCOMPARE(shownOf(paths[edit.file]).value(*edit.field), edit.after);
        QCOMPARE(readBytes(paths[1]), before[1]);

        operations::History history(*journal_);
        const auto undone = history.undo();
        QCOMPARE(undone.step, u"批量处理"_s);
        for (int i = 0; i < names.size(); ++i)
            QCOMPARE(readBytes(paths[std::size_t(i)]), before[i]);
    }

    void numbersFollowTheOrderAndTheFolders()
    {
        QVERIFY(QDir(dir_->path()).mkdir(u"cd2"_s));
        const std::vector<QString> paths{file(u"b.mp3"_s), file(u"a.mp3"_s), file(u"cd2/c.mp3"_s)};
        for (const QString& path : paths)
            QVERIFY(writeBytes(path, mp3(u"t"_s, u"a"_s)));
        ToolSettings settings;
        settings.kind = ToolKind::Number;
        settings.numbering.width = 2;
        settings.numbering.total = operations::Numbering::Total::Folder;
        settings.numbering.restartPerFolder = true;
        auto tool = std::make_shared<operations::TextTool>(settings);
        const auto files = operations::readToolFiles(paths, Priority::PreferV2, {});
        QCOMPARE(operations::previewTool(*tool, files).size(), std::size_t(3));
        run(tool, files);
        QCOMPARE(shownOf(paths[0]).track, u"01/02"_s);
        QCOMPARE(shownOf(paths[1]).track, u"02/02"_s);
        QCOMPARE(shownOf(paths[2]).track, u"01/01"_s);
    }

    void aFileChangedSinceThePreviewIsRefused()
    {
        const std::vector<QString> paths{file(u"a.mp3"_s), file(u"b.mp3"_s)};
        for (const QString& path : paths)
            QVERIFY(writeBytes(path, mp3(u"SONG"_s, u"x"_s)));
        ToolSettings settings;
        settings.kind = ToolKind::Case;
        settings.caseMode = operations::CaseMode::Lower;
        settings.fields = {Field::Title};
        auto tool = std::make_shared<operations::TextTool>(settings);
        const auto files = operations::readToolFiles(paths, Priority::PreferV2, {});
        QCOMPARE(operations::previewTool(*tool, files).size(), std::size_t(2));
        // Another program retitles b after the user saw the preview.
        const QByteArray theirs = mp3(u"OTHER"_s, u"x"_s);
        QVERIFY(writeBytes(paths[1], theirs));

        const auto outcomes = run(tool, files);
        QVERIFY(outcomes[0].succeeded);
        QVERIFY(!outcomes[1].succeeded);
        QCOMPARE(outcomes[1].reason, u"文件已被其他程序修改"_s);
        QCOMPARE(readBytes(paths[1]), theirs);
        QCOMPARE(shownOf(paths[0]).fields[0], u"song"_s);
    }

    void fileNamesGoThroughThePlan()
    {
        const std::vector<QString> paths{file(u"A1.mp3"_s), file(u"A2.mp3"_s), file(u"ｘｙ.mp3"_s),
                                         file(u"B1.mp3"_s)};
        for (const QString& path : paths)
            QVERIFY(writeBytes(path, mp3(u"t"_s, u"a"_s)));
        QVERIFY(writeBytes(file(u"B.mp3"_s), mp3(u"t"_s, u"a"_s)));
        ToolSettings settings;
        settings.kind = ToolKind::Replace;
        settings.find = u"\\d"_s;
        settings.regex = true;
        settings.fileName = true;
        auto tool = std::make_shared<operations::TextTool>(settings);
        const auto files = operations::readToolFiles(paths, Priority::PreferV2, {});
        const auto edits = operations::previewTool(*tool, files);
        // Two files want "A.mp3"; "B.mp3" is there and stays.
        QCOMPARE(edits.size(), std::size_t(3));
        for (const auto& edit : edits)
            QVERIFY2(!edit.error.isEmpty(), qPrintable(edit.after));

        settings.kind = ToolKind::HalfWidth;
        auto halfWidth = std::make_shared<operations::TextTool>(settings);
        const auto wide = operations::previewTool(*halfWidth, files);
        QCOMPARE(wide.size(), std::size_t(1));
        QCOMPARE(wide[0].after, u"xy.mp3"_s);
        QVERIFY(wide[0].error.isEmpty());
        auto jobs = operations::toolNameJobs(wide, files);
        const auto step = operations::moveJobs(jobs);
        QCOMPARE(step.size(), std::size_t(1));
        QVERIFY(QFile::exists(file(u"xy.mp3"_s)));
        QVERIFY(!QFile::exists(paths[2]));
    }

    void aBrokenToolSaysWhyAndChangesNothing()
    {
        ToolSettings settings;
        settings.kind = ToolKind::Replace;
        settings.find = u"("_s;
        settings.regex = true;
        settings.fields = {Field::Title};
        QVERIFY(!operations::TextTool(settings).error().isEmpty());
        settings.kind = ToolKind::Case;
        settings.fields.clear();
        QVERIFY(!operations::TextTool(settings).error().isEmpty());
    }
};

QTEST_GUILESS_MAIN(ToolCommandTest)
#include "ToolCommandTest.moc"
