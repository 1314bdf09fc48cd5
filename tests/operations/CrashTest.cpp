// A batch of in-place tag writes killed at many points: after the restart
// every file holds its whole old content or its whole new one, the journal
// says which, and no copy is left beside them. Some kills land at fixed
// points inside the write of a head, so that files are torn on every run of
// the test, whatever the timing; the test fails when none was.

#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "tests/operations/JournalFiles.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <ctime>
#include <iterator>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;
using namespace journalfiles;
using operations::Journal;

namespace {

constexpr int Files = 20;
constexpr int Runs = 40;

// Large heads, so that a kill can land inside the write of one.
const int HeadSize = 32 * 1024;

qint64 now()
{
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
}

struct Batch {
    std::string journalFile;
    std::vector<std::string> paths;
    std::vector<QByteArray> heads;
    std::vector<QByteArray> olds; // each file's bytes before the batch
};

constexpr int NoTear = -1;

// How a run's child dies: in the callback after some files, or when the
// parent kills it, a while after the fork or after its first file.
struct Kill {
    int afterFiles = Files + 1; // never
    qint64 delayNs = -1;        // never
    bool fromFirstFile = false;
    // With afterFiles: the next file's write has put its new trailer and this
    // many bytes of its new head (as writeInPlace writes them) when it dies.
    int headBytes = NoTear;
};

// Every byte of the new head but the last one that differs from the old
// head's (the rest of a head is padding, the same in both).
constexpr int AllButLastChange = -2;

// Kills inside the head write of file `afterFiles`: after its first byte,
// in the middle of the title frame's header, and one byte short.
const Kill FixedKills[] = {
    {1, -1, false, 1}, {10, -1, false, 16}, {Files - 1, -1, false, AllButLastChange}};
constexpr int FixedRuns = int(std::size(FixedKills));

// The state a kill inside the in-place write of file `index` leaves. The
// file may be written whole already (a slice is written while the one
// before is reported): the tear is made over its old bytes.
void tearWrite(const Batch& batch, std::size_t index, int headBytes)
{
    const std::string& path = batch.paths[index];
    const QByteArray& old = batch.olds[index];
    writeFile(path, old);
    const QByteArray& head = batch.heads[index];
    if (headBytes == AllButLastChange) {
        headBytes = int(head.size()) - 1;
        while (headBytes > 0 && head[headBytes] == old[headBytes])
            --headBytes;
    }
    const QByteArray tail = testsupport::id3v1Trailer("New");
    writeAt(path, tail, off_t(old.size() - tail.size()));
    writeAt(path, head.left(headBytes), 0);
}

// What a child process does: the batch, as the program writes it. The
// moments the first and the last file are written go into the pipe.
[[noreturn]] void writeBatch(const Batch& batch, const Kill& kill, int times)
{
    const int afterFiles = kill.afterFiles;
    int status = 0;
    try {
        Journal journal(batch.journalFile);
        operations::TagWrites writes(&journal, operations::StepKind::FieldChange);
        for (std::size_t i = 0; i < batch.paths.size(); ++i)
            writes.add(changeTo(batch.paths[i], batch.heads[i], testsupport::id3v1Trailer("New")));
        writes.write([&](std::size_t index, const operations::Outcome& outcome) {
            if (!outcome.succeeded)
                status = 2;
            if (index == 0 || index + 1 == batch.paths.size()) {
                const qint64 at = now();
                if (::write(times, &at, sizeof at) != sizeof at)
                    status = 4;
            }
            if (int(index) + 1 != afterFiles)
                return;
            if (kill.headBytes != NoTear)
                tearWrite(batch, index + 1, kill.headBytes);
            ::raise(SIGKILL);
        });
    } catch (...) {
        status = 3;
    }
    ::_exit(status);
}

struct Run {
    bool started = false;
    int status = 0;      // as waitpid tells it
    qint64 batchNs = 0;  // from the fork to the end
    qint64 writesNs = 0; // from the first file written to the last
};

Run runBatch(const Batch& batch, const Kill& kill)
{
    Run run;
    int times[2] = {-1, -1};
    if (::pipe(times) != 0)
        return run;
    const qint64 start = now();
    const pid_t child = ::fork();
    if (child == 0)
        writeBatch(batch, kill, times[1]);
    ::close(times[1]);
    if (child < 0) {
        ::close(times[0]);
        return run;
    }
    run.started = true;
    qint64 at[2] = {};
    if (kill.delayNs >= 0) {
        qint64 from = start;
        if (kill.fromFirstFile && ::read(times[0], at, sizeof at[0]) == sizeof at[0])
            from = now();
        while (now() - from < kill.delayNs) {
        }
        ::kill(child, SIGKILL);
    }
    ::waitpid(child, &run.status, 0);
    run.batchNs = now() - start;
    if (kill.delayNs < 0 && ::read(times[0], at, sizeof at) == sizeof at)
        run.writesNs = at[1] - at[0];
    ::close(times[0]);
    return run;
}

} // namespace

class CrashTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void killedBatches()
    {
        const unsigned seed = qEnvironmentVariableIsSet("MP3T_CRASH_SEED")
                                  ? qEnvironmentVariable("MP3T_CRASH_SEED").toUInt()
                                  : 20240611u;
        std::mt19937 random(seed);
        testsupport::TemporaryFolder dir;
        const std::string folder = dir.filePath(u"music"_s).toStdString();
        QVERIFY(::mkdir(folder.c_str(), 0755) == 0);
        const std::string journalFile = dir.filePath(u"state/journal.sqlite"_s).toStdString();

        Batch batch{journalFile, {}, {}, {}};
        std::vector<QByteArray> oldBytes, newBytes;
        for (int i = 0; i < Files; ++i) {
            batch.paths.push_back(folder + "/" + std::to_string(i) + ".mp3");
            const QByteArray number = QByteArray::number(i);
            batch.heads.push_back(tagOfSize("New title " + number, HeadSize));
            oldBytes.push_back(
                music(tagOfSize("Old " + number, HeadSize), testsupport::id3v1Trailer("Old")));
            batch.olds.push_back(oldBytes.back());
            newBytes.push_back(music(batch.heads.back(), testsupport::id3v1Trailer("New")));
        }
        const std::vector<std::string>& paths = batch.paths;

        Run timed;
        std::int64_t lastStep = 0;
        int partial = 0; // runs that left some files new and some old
        int torn = 0;    // files a kill left torn, put back by the journal
        for (int run = 0; run < Runs; ++run) {
            const QByteArray where =
                "seed " + QByteArray::number(seed) + ", run " + QByteArray::number(run) + ": ";
            for (std::size_t i = 0; i < paths.size(); ++i)
                QVERIFY(writeFile(paths[i], oldBytes[i]));
            // The first run goes through and times the batch; then a run in
            // four dies after some files, one at a moment of the batch, and
            // two at a moment of its file writes, where a write may be torn.
            Kill kill;
            if (run > 0 && run <= FixedRuns) {
                kill = FixedKills[run - 1];
            } else if (run % 4 == 1) {
                kill.afterFiles = std::uniform_int_distribution(0, Files)(random);
            } else if (run % 4 == 2) {
                kill.delayNs = std::uniform_int_distribution<qint64>(0, timed.batchNs)(random);
            } else if (run > 0) {
                kill.fromFirstFile = true;
                kill.delayNs = std::uniform_int_distribution<qint64>(0, timed.writesNs)(random);
            }
            const Run ran = runBatch(batch, kill);
            QVERIFY2(ran.started, where + "no child process");
            if (run == 0) {
                timed = ran;
                QVERIFY2(WIFEXITED(ran.status) && WEXITSTATUS(ran.status) == 0, where);
            } else if (WIFEXITED(ran.status)) {
                QVERIFY2(WEXITSTATUS(ran.status) == 0, where + "the batch failed");
            }

            for (std::size_t i = 0; i < paths.size(); ++i) {
                const QByteArray bytes = readFile(paths[i]);
                torn += bytes != oldBytes[i] && bytes != newBytes[i] ? 1 : 0;
            }
            const std::size_t tornFile = std::size_t(kill.afterFiles);
            if (kill.headBytes != NoTear) {
                const QByteArray bytes = readFile(paths[tornFile]);
                QVERIFY2(bytes != oldBytes[tornFile] && bytes != newBytes[tornFile],
                         where + "the kill left no torn file");
            }
            const Journal journal(journalFile); // recovers
            int written = 0;
            for (std::size_t i = 0; i < paths.size(); ++i) {
                const QByteArray bytes = readFile(paths[i]);
                QVERIFY2(bytes == oldBytes[i] || bytes == newBytes[i],
                         where + "torn file " + QByteArray::fromStdString(paths[i]));
                written += bytes == newBytes[i] ? 1 : 0;
            }
            if (kill.headBytes != NoTear)
                QVERIFY2(readFile(paths[tornFile]) == oldBytes[tornFile],
                         where + "the torn file did not get its old bytes back");
            const auto steps = journal.steps();
            const bool stepKept = !steps.empty() && steps.front().id > lastStep;
            QVERIFY2(stepKept ? steps.front().done == written : written == 0,
                     where + "the journal does not tell the files written");
            partial += written > 0 && written < Files ? 1 : 0;
            if (stepKept)
                lastStep = steps.front().id;
            const QStringList names = QDir(QString::fromStdString(folder))
                                          .entryList(QDir::AllEntries | QDir::Hidden |
                                                     QDir::System | QDir::NoDotAndDotDot);
            QVERIFY2(names.size() == Files, where + names.join(u' ').toUtf8());
        }
        qInfo("seed %u: %d runs ended mid-batch, %d torn files put back", seed, partial, torn);
        QVERIFY2(torn >= FixedRuns, "the kills tore no file: the test proves nothing");
    }
};

MP3T_TEST_GUILESS_MAIN(CrashTest)
#include "CrashTest.moc"
