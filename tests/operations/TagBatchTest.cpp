// A batch written in slices: one step for undo, across a restart, and a
// batch killed between slices or inside one recovered from its journal.

#include "operations/TagBatch.h"
#include "operations/History.h"
#include "operations/Journal.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/TestEnvironment.h"

#include <csignal>
#include <memory>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::History;
using operations::Journal;
using operations::StepKind;
using operations::TagBatch;

namespace {

constexpr int Files = 7;
// Three slices of three, three and one file.
const TagBatch::Limits Slice{3, std::size_t(1) << 30};

const QByteArray OldHead = tagOfSize("Old", 512);
const QByteArray NewHead = tagOfSize("New", 512);

// The peak resident memory of this process so far.
long peakKilobytes()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

} // namespace

class TagBatchTest : public QObject {
    Q_OBJECT

    std::unique_ptr<testsupport::TemporaryFolder> dir_;

    std::string journalFile() const { return path("state/journal.sqlite"); }
    std::string path(const std::string& name) const
    {
        return dir_->path().toStdString() + "/" + name;
    }
    std::string song(int i) const { return path("song" + std::to_string(i) + ".mp3"); }

    // The batch as the program writes it; with `killAfter` >= 0 the process
    // dies once that file is reported.
    void writeBatch(Journal& journal, int killAfter, std::vector<std::size_t>* reported)
    {
        TagBatch batch(
            &journal, StepKind::FieldChange,
            [&](std::size_t index, const operations::Outcome& outcome) {
                if (!outcome.succeeded)
                    ::_exit(2);
                if (reported)
                    reported->push_back(index);
                if (int(index) == killAfter)
                    ::raise(SIGKILL);
            },
            Slice);
        for (int i = 0; i < Files; ++i)
            batch.add(changeTo(song(i), NewHead, {}));
        batch.finish();
    }

    // Kills a child in the batch after file `killAfter`; then the program
    // starts again: files up to it are new, each after it old or new (the
    // next slice's may be written already), and the one step undoes every
    // file written.
    void killAfter(int killAfter)
    {
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                Journal journal(journalFile());
                writeBatch(journal, killAfter, nullptr);
            } catch (...) {
                ::_exit(3);
            }
            ::_exit(4); // never killed
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        Journal journal(journalFile());
        int written = 0;
        for (int i = 0; i < Files; ++i) {
            const QByteArray bytes = readFile(song(i));
            const bool isNew = bytes == music(NewHead);
            QVERIFY(isNew || (i > killAfter && bytes == music(OldHead)));
            written += isNew ? 1 : 0;
        }
        const auto steps = journal.steps();
        QCOMPARE(steps.size(), std::size_t(1));
        QCOMPARE(steps[0].files, written);
        History history(journal);
        const auto undone = history.undo();
        QCOMPARE(undone.turned, written);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(readFile(song(i)), music(OldHead));
    }

private Q_SLOTS:
    void init()
    {
        dir_ = std::make_unique<testsupport::TemporaryFolder>();
        for (int i = 0; i < Files; ++i)
            QVERIFY(writeFile(song(i), music(OldHead)));
    }

    void slicesAreOneStepForUndoAcrossARestart()
    {
        std::vector<std::size_t> reported;
        {
            Journal journal(journalFile());
            writeBatch(journal, -1, &reported);
            journal.flushWrites();
        }
        QCOMPARE(reported.size(), std::size_t(Files));
        for (std::size_t i = 0; i < reported.size(); ++i)
            QCOMPARE(reported[i], i);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(readFile(song(i)), music(NewHead));

        Journal journal(journalFile());
        const auto steps = journal.steps();
        QCOMPARE(steps.size(), std::size_t(1));
        QCOMPARE(steps[0].files, Files);
        History history(journal);
        const auto undone = history.undo();
        QCOMPARE(undone.turned, Files);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(readFile(song(i)), music(OldHead));
        const auto redone = history.redo();
        QCOMPARE(redone.turned, Files);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(readFile(song(i)), music(NewHead));
    }

    // Between the first slice and the second: the second never journaled.
    void aKillBetweenSlicesIsRecovered() { killAfter(2); }
    // Inside the second slice, its old images journaled.
    void aKillInsideALaterSliceIsRecovered() { killAfter(4); }

    // A batch's memory follows its slice, not its files: nothing read back
    // from the journal after the writes holds room for every file's images.
    // The tags here are 4 MB, padding mostly (the files are sparse).
    void memoryFollowsTheSliceNotTheBatch()
    {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the sanitizer holds freed memory back: the peak says nothing here");
#endif
        constexpr int Large = 40;
        constexpr int HeadBytes = 4 << 20;
        const QByteArray oldHead = tagOfSize("Old", HeadBytes);
        const QByteArray newHead = tagOfSize("New", HeadBytes);
        for (int i = 0; i < Large; ++i) {
            QVERIFY(writeFile(song(i), oldHead.left(64)));
            QVERIFY(writeAt(song(i), music({}), HeadBytes));
        }
        const long before = peakKilobytes();
        int written = 0;
        {
            Journal journal(journalFile());
            TagBatch batch(&journal, StepKind::FieldChange,
                           [&](std::size_t, const operations::Outcome& outcome) {
                               written += outcome.succeeded ? 1 : 0;
                           });
            for (int i = 0; i < Large; ++i)
                batch.add(changeTo(song(i), newHead, {}));
            batch.finish();
            journal.flushWrites();
        }
        QCOMPARE(written, Large);
        QCOMPARE(readFile(song(Large - 1)), music(newHead));
        // Every file's two images would be 320 MB.
        const long grownMegabytes = (peakKilobytes() - before) / 1024;
        QVERIFY2(grownMegabytes < 100, qPrintable(u"%1 MB"_s.arg(grownMegabytes)));
    }

    // A file that cannot be changed is reported in its turn.
    void failuresKeepTheirPlace()
    {
        Journal journal(journalFile());
        std::vector<std::pair<std::size_t, bool>> reported;
        TagBatch batch(
            &journal, StepKind::FieldChange,
            [&](std::size_t index, const operations::Outcome& outcome) {
                reported.emplace_back(index, outcome.succeeded);
            },
            Slice);
        batch.add(changeTo(song(0), NewHead, {}));
        batch.fail(u"不行"_s);
        batch.add(changeTo(song(1), NewHead, {}));
        batch.add(changeTo(song(2), NewHead, {}));
        batch.finish();
        const std::vector<std::pair<std::size_t, bool>> expected{
            {0, true}, {1, false}, {2, true}, {3, true}};
        QCOMPARE(reported, expected);
    }

    // drain writes and reports every file given so far, also the slice a
    // thread is still writing, and the step goes on: one step at the end.
    void drainReportsWhatWasGivenAndTheStepGoesOn()
    {
        std::vector<std::size_t> reported;
        {
            Journal journal(journalFile());
            TagBatch batch(
                &journal, StepKind::FieldChange,
                [&](std::size_t index, const operations::Outcome&) { reported.push_back(index); },
                Slice);
            for (int i = 0; i < 4; ++i) // a slice of three being written, one queued
                batch.add(changeTo(song(i), NewHead, {}));
            batch.drain();
            QCOMPARE(reported.size(), std::size_t(4));
            for (int i = 0; i < 4; ++i)
                QCOMPARE(readFile(song(i)), music(NewHead));
            QCOMPARE(readFile(song(4)), music(OldHead));
            for (int i = 4; i < Files; ++i)
                batch.add(changeTo(song(i), NewHead, {}));
            batch.finish();
            journal.flushWrites();
        }
        QCOMPARE(reported.size(), std::size_t(Files));
        for (std::size_t i = 0; i < reported.size(); ++i)
            QCOMPARE(reported[i], i);
        Journal journal(journalFile());
        QCOMPARE(journal.steps().size(), std::size_t(1));
        QCOMPARE(History(journal).undo().turned, Files);
        for (int i = 0; i < Files; ++i)
            QCOMPARE(readFile(song(i)), music(OldHead));
    }
};

MP3T_TEST_GUILESS_MAIN(TagBatchTest)
#include "TagBatchTest.moc"
