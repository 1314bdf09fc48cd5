// A text tool that changes tags and file names: one step of the history,
// undone (names back, then tags) and redone byte for byte, in this process
// or the next; a crash anywhere in a run or an undo leaves each file wholly
// old or wholly new, and no temporary name behind.

#include "operations/ToolsStep.h"
#include "operations/History.h"
#include "operations/Journal.h"
#include "operations/ToolCommand.h"
#include "platform/FileTree.h"
#include "platform/NativePath.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TemporaryFolder.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace testsupport;
using operations::History;
using operations::Journal;
using operations::StepKind;

namespace {

QByteArray mp3(const QString& title)
{
    return id3v2Tag(3, frame23("TIT2", textData(1, utf16WithBom(title))), 256) +
           silentMpegFrames(4);
}

QString titleOf(const QString& path)
{
    TID3v1 v1;
    TID3v2 v2;
    return operations::readShownTags(v1, v2, operations::Priority::PreferV2, path)
        .value(operations::Field::Title);
}

QByteArray bytesOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Upper case over the title and the name: "one.mp3" titled "one" becomes
// "ONE.mp3" titled "ONE".
std::shared_ptr<operations::TextTool> upperCase()
{
    operations::ToolSettings settings;
    settings.kind = operations::ToolKind::Case;
    settings.caseMode = operations::CaseMode::Upper;
    settings.fields = {operations::Field::Title};
    settings.fileName = true;
    return std::make_shared<operations::TextTool>(settings);
}

// A run as both heads make it, up to where `stop` says (a crash there).
struct Run {
    std::vector<operations::NameJob> jobs;
    std::int64_t step = 0;
};
enum class Stop { Never, AfterTags, AfterNamesRecorded };

Run runTool(Journal& journal, const std::vector<QString>& paths, Stop stop = Stop::Never,
            const std::function<void()>& amidMoves = {})
{
    const auto tool = upperCase();
    const auto files = operations::readToolFiles(paths, operations::Priority::PreferV2, {});
    Run run;
    run.jobs = operations::toolNameJobs(operations::previewTool(*tool, files), files);
    const auto command = operations::toolTagCommand(tool, files, operations::Priority::PreferV2, {},
                                                    operations::toolStepKind(run.jobs));
    operations::TagRunner runner(command, &journal, [](auto&&...) {});
    for (const auto& file : files)
        runner.add(file.path);
    run.step = runner.finish().step;
    if (stop == Stop::AfterTags)
        return run;
    if (stop == Stop::Never) {
        if (amidMoves)
            amidMoves();
        run.step = operations::moveJobsInStep(&journal, run.step, run.jobs).step;
        return run;
    }
    std::vector<operations::StepFile> names;
    for (const auto& job : run.jobs) {
        if (job.error)
            continue;
        operations::StepFile name;
        name.from = platform::NativePath(job.path);
        name.to = platform::NativePath(QFileInfo(job.path).path() + u'/' + job.plan.newName);
        name.inode = platform::InodeOf(name.from);
        names.push_back(name);
    }
    run.step = journal.beginMoves(run.step, names);
    if (amidMoves)
        amidMoves();
    return run;
}

// Dies in a child process of its own, after `work` on the journal: nothing
// is ended or flushed, as a crash leaves it.
bool dieAfter(const std::string& file, const std::function<void(Journal&)>& work)
{
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child == 0) {
        Journal journal(file);
        work(journal);
        ::_exit(0);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
}

} // namespace

class ToolsStepTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TemporaryFolder> dir_;
    QByteArray oneOld_, twoOld_; // the songs' bytes before the tool

    QString file(const QString& name) const { return dir_->path() + u'/' + name; }
    std::string journalFile() const { return file(u"state/journal.sqlite"_s).toStdString(); }
    std::vector<QString> songs() const { return {file(u"one.mp3"_s), file(u"two.mp3"_s)}; }

    // The folder's songs, each "name=old" (its bytes before the tool),
    // "name=new" (the tool's title) or "name=other".
    QStringList folder() const
    {
        QStringList names = QDir(dir_->path()).entryList(QDir::Files, QDir::Name);
        for (QString& name : names) {
            const QByteArray bytes = bytesOf(file(name));
            const QString title = titleOf(file(name));
            const QString state = bytes == oneOld_ || bytes == twoOld_     ? u"old"_s
                                  : title == u"ONE"_s || title == u"TWO"_s ? u"new"_s
                                                                           : u"other"_s;
            name += u'=' + state;
        }
        return names;
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<TemporaryFolder>();
        oneOld_ = mp3(u"one"_s);
        twoOld_ = mp3(u"two"_s);
        for (const auto& [name, bytes] :
             {std::pair(u"one.mp3"_s, oneOld_), {u"two.mp3"_s, twoOld_}}) {
            QFile out(file(name));
            QVERIFY(out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size());
        }
    }
    void cleanup() { dir_.reset(); }

    // Tags and names in one step: undo moves the names back and restores the
    // tags, redo makes both again, and a later process undoes it the same.
    void oneStepUndoneAndRedone()
    {
        const QByteArray taken = mp3(u"someone else's"_s);
        QFile out(file(u"THREE.mp3"_s));
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(taken) == taken.size());
        out.close();
        const QByteArray threeOld = mp3(u"three"_s);
        QFile three(file(u"three.mp3"_s));
        QVERIFY(three.open(QIODevice::WriteOnly) && three.write(threeOld) == threeOld.size());
        three.close();
        const QStringList old{u"THREE.mp3=other"_s, u"one.mp3=old"_s, u"three.mp3=other"_s,
                              u"two.mp3=old"_s};
        QCOMPARE(folder(), old);
        {
            Journal journal(journalFile());
            runTool(journal, {file(u"one.mp3"_s), file(u"two.mp3"_s), file(u"three.mp3"_s)});
            const auto steps = journal.steps();
            QCOMPARE(steps.size(), 1u);
            QCOMPARE(steps[0].kind, StepKind::ToolsRename);
            QCOMPARE(steps[0].files, 3);
            // "THREE.mp3" is another file's: "three.mp3" keeps its name and
            // still gets its tags.
            QCOMPARE(titleOf(file(u"three.mp3"_s)), u"THREE"_s);
            const QStringList made{u"ONE.mp3=new"_s, u"THREE.mp3=other"_s, u"TWO.mp3=new"_s,
                                   u"three.mp3=other"_s};
            QCOMPARE(folder(), made);
            History history(journal);
            const auto undone = history.undo();
            QCOMPARE(undone.turned, 3);
            QVERIFY(undone.lines.empty());
            QCOMPARE(folder(), old);
            QCOMPARE(bytesOf(file(u"three.mp3"_s)), threeOld);
            QCOMPARE(history.redo().turned, 3);
            QCOMPARE(folder(), made);
        }
        Journal journal(journalFile());
        History history(journal);
        QCOMPARE(history.undo().turned, 3);
        QCOMPARE(folder(), old);
        QCOMPARE(bytesOf(file(u"THREE.mp3"_s)), taken);
    }

    // A file whose tags changed since the run is left whole: neither its
    // name nor its tags go back.
    void changedFileStaysWhole()
    {
        Journal journal(journalFile());
        runTool(journal, songs());
        const QByteArray others = mp3(u"edited"_s);
        QFile edited(file(u"ONE.mp3"_s));
        QVERIFY(edited.open(QIODevice::WriteOnly) && edited.write(others) == others.size());
        edited.close();
        History history(journal);
        const auto undone = history.undo();
        QCOMPARE(undone.turned, 1);
        QCOMPARE(undone.refused, 1);
        QCOMPARE(bytesOf(file(u"ONE.mp3"_s)), others);
        QCOMPARE(folder(), QStringList({u"ONE.mp3=other"_s, u"two.mp3=old"_s}));
    }

    // A file whose old name another took since: it stays under its new one
    // with its new tags, and the other file is not touched.
    void nameTakenStaysWhole()
    {
        Journal journal(journalFile());
        runTool(journal, songs());
        const QByteArray others = mp3(u"another"_s);
        QFile taken(file(u"one.mp3"_s));
        QVERIFY(taken.open(QIODevice::WriteOnly) && taken.write(others) == others.size());
        taken.close();
        History history(journal);
        const auto undone = history.undo();
        QCOMPARE(undone.turned, 1);
        QCOMPARE(undone.refused, 1);
        QCOMPARE(folder(), QStringList({u"ONE.mp3=new"_s, u"one.mp3=other"_s, u"two.mp3=old"_s}));
        QCOMPARE(bytesOf(file(u"one.mp3"_s)), others);
    }

    // A redo whose new name another took since: that file stays wholly old,
    // its tags taken back.
    void redoWithNameTakenStaysOld()
    {
        Journal journal(journalFile());
        runTool(journal, songs());
        History history(journal);
        QCOMPARE(history.undo().turned, 2);
        const QByteArray others = mp3(u"another"_s);
        QFile taken(file(u"TWO.mp3"_s));
        QVERIFY(taken.open(QIODevice::WriteOnly) && taken.write(others) == others.size());
        taken.close();
        const auto redone = history.redo();
        QCOMPARE(redone.turned, 1);
        QCOMPARE(redone.refused, 1);
        QCOMPARE(folder(), QStringList({u"ONE.mp3=new"_s, u"TWO.mp3=other"_s, u"two.mp3=old"_s}));
    }

    // A run whose every name was taken just before its moves is one of tags
    // alone: a crash before its flush keeps them (it is no run cut before
    // its names).
    void tagsAloneSurviveACrash()
    {
        const QByteArray others = mp3(u"another"_s);
        QVERIFY(dieAfter(journalFile(), [&](Journal& journal) {
            runTool(journal, songs(), Stop::Never, [&] {
                for (const QString& name : {u"ONE.mp3"_s, u"TWO.mp3"_s}) {
                    QFile taken(file(name));
                    if (!taken.open(QIODevice::WriteOnly) || taken.write(others) != others.size())
                        ::_exit(1);
                }
            });
        }));
        Journal journal(journalFile());
        QCOMPARE(folder(), QStringList({u"ONE.mp3=other"_s, u"TWO.mp3=other"_s, u"one.mp3=new"_s,
                                        u"two.mp3=new"_s}));
        QCOMPARE(journal.steps().front().kind, StepKind::Tools);
    }

    // A crash in a run or an undo: each file wholly old or wholly new after
    // the next start, no temporary name left, and what stays undoable.
    void crashLeavesEachFileWhole_data()
    {
        QTest::addColumn<int>("at");
        QTest::addColumn<QStringList>("after");
        QTest::newRow("run: after the tags")
            << 0 << QStringList{u"one.mp3=old"_s, u"two.mp3=old"_s};
        QTest::newRow("run: names recorded, none moved")
            << 1 << QStringList{u"one.mp3=old"_s, u"two.mp3=old"_s};
        QTest::newRow("run: one name moved")
            << 2 << QStringList{u"ONE.mp3=new"_s, u"two.mp3=old"_s};
        QTest::newRow("run: one name at a temporary one")
            << 3 << QStringList{u"one.mp3=old"_s, u"two.mp3=old"_s};
        QTest::newRow("undo: one name moved back")
            << 4 << QStringList{u"TWO.mp3=new"_s, u"one.mp3=old"_s};
        QTest::newRow("undo: its tags torn")
            << 5 << QStringList{u"TWO.mp3=new"_s, u"one.mp3=old"_s};
        QTest::newRow("redo: tags written, no name moved")
            << 6 << QStringList{u"one.mp3=old"_s, u"two.mp3=old"_s};
    }
    void crashLeavesEachFileWhole()
    {
        QFETCH(int, at);
        QFETCH(QStringList, after);
        const std::string one = file(u"one.mp3"_s).toStdString();
        const std::string oneNew = file(u"ONE.mp3"_s).toStdString();
        if (at >= 4) {
            Journal journal(journalFile());
            runTool(journal, songs());
            if (at == 6)
                QCOMPARE(History(journal).undo().turned, 2);
        }
        QVERIFY(dieAfter(journalFile(), [&](Journal& journal) {
            if (at == 6) {
                const std::int64_t step = journal.steps().front().id;
                journal.beginTurn(step, true);
                for (const operations::StepFile& row : journal.files(step)) {
                    if (!row.tags.path().empty())
                        tags::writeInPlace(row.tags);
                }
                return;
            }
            if (at >= 4) {
                const std::int64_t step = journal.steps().front().id;
                journal.beginTurn(step, false);
                journal.markMoves(step, false);
                ::rename(oneNew.c_str(), one.c_str());
                QFile torn(QString::fromStdString(one));
                if (at == 5 && torn.open(QIODevice::ReadWrite))
                    torn.write(oneOld_.left(oneOld_.indexOf("TIT2") + 12));
                return;
            }
            const Stop stop = at == 0 ? Stop::AfterTags : Stop::AfterNamesRecorded;
            runTool(journal, songs(), stop, [&] {
                if (at == 2)
                    ::rename(one.c_str(), oneNew.c_str());
                if (at == 3)
                    ::rename(one.c_str(), file(u"~1~one.mp3"_s).toStdString().c_str());
            });
        }));
        Journal journal(journalFile());
        QCOMPARE(folder(), after);
        History history(journal);
        if (at == 6) {
            QCOMPARE(history.redo().turned, 2);
            QCOMPARE(folder(), QStringList({u"ONE.mp3=new"_s, u"TWO.mp3=new"_s}));
        }
        while (history.undo().turned > 0) {
        }
        QCOMPARE(folder(), QStringList({u"one.mp3=old"_s, u"two.mp3=old"_s}));
    }
};

MP3T_TEST_GUILESS_MAIN(ToolsStepTest)
#include "ToolsStepTest.moc"
