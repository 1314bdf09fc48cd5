// Retitling 200 MP3 files of 4 MB each, every file in every run: one pwrite
// per file (the floor), TagLib (the peer, which flushes nothing), our in-place
// write without the journal, the program's own journaled write, and the
// staged copy that every save used to be. The journaled write then in parts
// (with an empty history and a full one), and over 300, 3,000 and 10,000
// small files: the time per file (the items/s column) should stay flat.
// Last, on files like users' (a fifth with a 200 KB front cover): what a step
// that only retitles adds to the journal, and the bytes a second retitling
// writes (the process's write_bytes), ours beside TagLib's.
#include "operations/Journal.h"
#include "operations/TagWrites.h"
#include "tags/FileIo.h"
#include "tags/ID3v2.h"
#include "tags/TagImage.h"
#include "tests/support/Mp3Bytes.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <fcntl.h>
#include <fstream>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

constexpr int BigFiles = 200;
constexpr qsizetype BigFileBytes = 4 << 20;
constexpr int SmallFiles = 10000;
constexpr qsizetype SmallFileBytes = 64 << 10;
// Every file's ID3v2 tag, padding included, and the floor's pwrite.
constexpr qsizetype HeadBytes = 2048;

// Equal lengths, so that every run changes every file and still fits in place.
const std::array<std::string, 2> Titles = {"Retitled take A", "Retitled take B"};

QByteArray sampleFrames(std::size_t i)
{
    const QByteArray n = QByteArray::number(qulonglong(i));
    return frame23("TIT2", textData(0, "Title " + n)) + frame23("TPE1", textData(0, "Artist")) +
           frame23("TALB", textData(0, "Album of the year")) +
           frame23("TYER", textData(0, "2004")) + frame23("TCON", textData(0, "(17)")) +
           frame23("TRCK", textData(0, n + "/200")) +
           frame23("COMM", QByteArray("\0eng\0", 5) + "ripped from the CD");
}

QByteArray sampleHead(std::size_t i)
{
    const QByteArray frames = sampleFrames(i);
    return id3v2Tag(3, frames, int(HeadBytes - 10 - frames.size()));
}

// The sample head, with the cover after the texts in every fifth file when
// `covers`; the same padding either way.
QByteArray sampleHead(std::size_t i, bool covers)
{
    if (!covers || i % 5 != 0)
        return sampleHead(i);
    const QByteArray frames = sampleFrames(i);
    return id3v2Tag(3, frames + noiseCoverFrame23(quint32(i), 200 * 1024),
                    int(HeadBytes - 10 - frames.size()));
}

QByteArray sampleTrailer()
{
    return id3v1Trailer("Title", "Artist", "Album", "2004", {}, 1, 17);
}

// Files of a 2 KiB ID3v2.3 tag, silent MPEG frames and an ID3v1 trailer, in
// a temporary folder under /tmp. Made and flushed once; restore() puts back
// the tags alone, as every write here leaves the audio as it is.
class Library {
public:
    Library(int count, qsizetype bytes, bool covers = false) : covers_(covers)
    {
        const int frameBytes = int(silentMpegFrames(1).size());
        audio_ = silentMpegFrames(int((bytes - HeadBytes - sampleTrailer().size()) / frameBytes));
        for (int i = 0; i < count; ++i)
            files_.push_back(nativePath(dir_.filePath(u"%1.mp3"_s.arg(i, 5, 10, QChar(u'0')))));
        ready_ = dir_.isValid();
        for (std::size_t i = 0; ready_ && i < files_.size(); ++i)
            ready_ = writeBytes(QString::fromStdString(files_[i]), wholeFile(i));
        ready_ = ready_ && tags::syncFileSystem(files_.front());
    }

    const std::vector<std::string>& files() const { return files_; }
    bool ready() const { return ready_; }

    // Every file as it was made, on disk: a benchmark starts with no dirty
    // page of another, which its own flush would otherwise pay for.
    bool restore() const
    {
        for (std::size_t i = 0; ready_ && i < files_.size(); ++i) {
            if (!restoreTags(i) && !writeBytes(QString::fromStdString(files_[i]), wholeFile(i)))
                return false;
        }
        return ready_ && tags::syncFileSystem(files_.front());
    }

private:
    QByteArray head(std::size_t i) const { return sampleHead(i, covers_); }
    QByteArray wholeFile(std::size_t i) const { return head(i) + audio_ + sampleTrailer(); }

    // False when the file's size shows that its audio moved.
    bool restoreTags(std::size_t i) const
    {
        struct stat st {};
        const QByteArray trailer = sampleTrailer();
        const off_t size = off_t(head(i).size() + audio_.size() + trailer.size());
        if (::stat(files_[i].c_str(), &st) != 0 || st.st_size != size)
            return false;
        const tags::FileDescriptor fd = tags::openFile(files_[i], O_WRONLY);
        return fd && tags::writeAllAt(fd.get(), head(i).toStdString(), 0) == 0 &&
               tags::writeAllAt(fd.get(), trailer.toStdString(), size - trailer.size()) == 0;
    }

    QTemporaryDir dir_;
    bool covers_;
    QByteArray audio_;
    std::vector<std::string> files_;
    bool ready_ = false;
};

Library& bigLibrary()
{
    static Library library(BigFiles, BigFileBytes);
    return library;
}

// The big files again, a fifth of them with a cover, as users' are.
Library& coveredLibrary()
{
    static Library library(BigFiles, BigFileBytes, true);
    return library;
}

Library& smallLibrary()
{
    static Library library(SmallFiles, SmallFileBytes);
    return library;
}

bool restoreLibrary(benchmark::State& state, const Library& library)
{
    if (!library.restore()) {
        state.SkipWithError("the sample files could not be written");
        return false;
    }
    return true;
}

bool restoreBig(benchmark::State& state)
{
    return restoreLibrary(state, bigLibrary());
}

struct Identity {
    ino_t inode = 0;
    off_t size = 0;
};

std::vector<Identity> identities(const std::vector<std::string>& files, std::size_t count)
{
    std::vector<Identity> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        struct stat st {};
        if (::stat(files[i].c_str(), &st) == 0)
            out[i] = {st.st_ino, st.st_size};
    }
    return out;
}

// The first `count` files read back with `title` and kept their sizes (and,
// written in place, their inodes) from `before`. Empty, or what is wrong.
std::string checkRetitled(const std::vector<std::string>& files, std::size_t count,
                          const std::string& title, const std::vector<Identity>& before,
                          bool inPlace)
{
    const auto after = identities(files, count);
    TID3v2 tag;
    for (std::size_t i = 0; i < count; ++i) {
        if (after[i].size != before[i].size)
            return files[i] + ": the retitled file changed its size";
        if (inPlace && after[i].inode != before[i].inode)
            return files[i] + ": the retitled file was not written in place";
        if (!tag.ReadFromFile(files[i]) || tag.Title.bytes != title)
            return files[i] + ": the retitled file does not read back with its new title";
    }
    return {};
}

// Runs `retitle(title)` once untimed and checks what it did, then once per
// iteration with the two titles in turn; retitle gives false on a failure.
template <typename Retitle>
void runRetitles(benchmark::State& state, const std::vector<std::string>& files, std::size_t count,
                 bool inPlace, Retitle&& retitle)
{
    const auto before = identities(files, count);
    if (!retitle(Titles[1])) {
        state.SkipWithError("the first retitling failed");
        return;
    }
    if (const std::string wrong = checkRetitled(files, count, Titles[1], before, inPlace);
        !wrong.empty()) {
        state.SkipWithError(wrong.c_str());
        return;
    }
    std::size_t turn = 0;
    for (auto _ : state) {
        if (!retitle(Titles[turn++ % 2])) {
            state.SkipWithError("a retitling failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(count));
}

void BM_PhysicalLimit(benchmark::State& state)
{
    if (!restoreBig(state))
        return;
    const auto& files = bigLibrary().files();
    const QByteArray block = sampleHead(0);
    for (auto _ : state) {
        for (const std::string& file : files) {
            const tags::FileDescriptor fd = tags::openFile(file, O_WRONLY);
            if (!fd || ::pwrite(fd.get(), block.data(), std::size_t(block.size()), 0) !=
                           ssize_t(block.size())) {
                state.SkipWithError("open or pwrite failed");
                return;
            }
        }
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(files.size()));
}
BENCHMARK(BM_PhysicalLimit)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

void BM_TagLib(benchmark::State& state)
{
    if (!restoreBig(state))
        return;
    const auto& files = bigLibrary().files();
    // TagLib turns the v2.3 tag into v2.4 on its first save, in the same
    // room: the untimed first run takes that, the timed ones only retitle.
    runRetitles(state, files, files.size(), true, [&](const std::string& title) {
        for (const std::string& file : files) {
            // No audio properties: saving a title does not need them.
            TagLib::MPEG::File mp3(file.c_str(), false);
            mp3.ID3v2Tag(true)->setTitle(TagLib::String(title, TagLib::String::UTF8));
            if (!mp3.save())
                return false;
        }
        return true;
    });
}
BENCHMARK(BM_TagLib)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// A change retitling the file: its tags read (as the window has them) and
// its new head rendered. nullopt when either fails.
std::optional<tags::TagChange> retitled(const std::string& file, const std::string& title)
{
    TID3v2 tag;
    if (!tag.ReadFromFile(file))
        return std::nullopt;
    tag.Title = tags::legacyText(title);
    return operations::tagChange(file, nullptr, &tag);
}

void BM_OursInPlaceNoJournal(benchmark::State& state)
{
    if (!restoreBig(state))
        return;
    const auto& files = bigLibrary().files();
    runRetitles(state, files, files.size(), true, [&](const std::string& title) {
        for (const std::string& file : files) {
            const auto change = retitled(file, title);
            if (!change || !change->inPlace() || !tags::writeInPlace(*change).written())
                return false;
        }
        return true;
    });
}
BENCHMARK(BM_OursInPlaceNoJournal)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The first `count` files retitled as one step of `journal` (null: every
// file through a staged copy); how many were written, nullopt when any
// failed.
std::optional<std::size_t> writeRetitled(operations::Journal* journal,
                                         const std::vector<std::string>& files, std::size_t count,
                                         const std::string& title)
{
    operations::TagWrites writes(journal, operations::StepKind::FieldChange);
    for (std::size_t i = 0; i < count; ++i) {
        auto change = retitled(files[i], title);
        if (!change)
            return std::nullopt;
        writes.add(std::move(*change));
    }
    bool succeeded = true;
    writes.write([&](std::size_t, const operations::Outcome& outcome) {
        succeeded = succeeded && outcome.succeeded;
    });
    return succeeded ? std::optional(writes.written()) : std::nullopt;
}

// The program's batch retitling of the first `count` files, one step of
// `journal` (null: every file through a staged copy).
// Whether the flush that follows a journaled batch (Journal::flushWrites,
// which the window runs once it has shown the outcome) is timed.
enum class Flush { Timed, AfterTheWait };

void runThroughWrites(benchmark::State& state, operations::Journal* journal,
                      const std::vector<std::string>& files, std::size_t count,
                      Flush flush = Flush::Timed)
{
    int timed = 0;
    // A staged copy is a new inode: only sizes and titles are checked then.
    runRetitles(state, files, count, journal != nullptr, [&](const std::string& title) {
        const bool succeeded = writeRetitled(journal, files, count, title).has_value();
        // The first retitling, the check before the loop, is not timed at all.
        const bool pause = journal && flush == Flush::AfterTheWait && timed++ > 0;
        if (pause)
            state.PauseTiming();
        if (journal)
            journal->flushWrites();
        if (pause)
            state.ResumeTiming();
        return succeeded;
    });
}

std::string journalFile(const QTemporaryDir& stateDir)
{
    return nativePath(stateDir.filePath(u"journal.sqlite"_s));
}

void runJournaled(benchmark::State& state, const std::vector<std::string>& files, std::size_t count,
                  Flush flush = Flush::Timed)
{
    // A journal of its own: the history of one benchmark does not weigh on
    // the next.
    const QTemporaryDir stateDir;
    try {
        operations::Journal journal(journalFile(stateDir));
        runThroughWrites(state, &journal, files, count, flush);
    } catch (const operations::JournalError& e) {
        state.SkipWithError(e.what());
    }
}

// What the program does. The history grows by a step each run, from none:
// BM_OursJournaledParts shows what a full one adds.
void BM_OursJournaled(benchmark::State& state)
{
    if (restoreBig(state))
        runJournaled(state, bigLibrary().files(), BigFiles);
}
BENCHMARK(BM_OursJournaled)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

// The user's wait: the batch until its outcome shows; the flush of the
// written bytes (timed above) follows it.
void BM_OursJournaledWait(benchmark::State& state)
{
    if (restoreBig(state))
        runJournaled(state, bigLibrary().files(), BigFiles, Flush::AfterTheWait);
}
BENCHMARK(BM_OursJournaledWait)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

void BM_OursStaged(benchmark::State& state)
{
    if (restoreBig(state))
        runThroughWrites(state, nullptr, bigLibrary().files(), BigFiles);
}
BENCHMARK(BM_OursStaged)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);

// The journaled write of TagWrites::write, step by step, each timed.
class JournaledParts {
public:
    explicit JournaledParts(operations::Journal& journal) : journal_(journal) {}

    bool retitle(const std::vector<std::string>& files, const std::string& title)
    {
        std::vector<tags::TagChange> changes;
        auto mark = Clock::now();
        for (const std::string& file : files) {
            auto change = retitled(file, title);
            if (!change || !change->inPlace())
                return false;
            changes.push_back(std::move(*change));
        }
        lap(Read, mark);
        const std::int64_t step = journal_.beginWrites(operations::StepKind::FieldChange, changes);
        lap(Begin, mark);
        std::vector<operations::FileWrite> writes;
        for (const tags::TagChange& change : changes) {
            const tags::WriteOutcome outcome = tags::writeInPlace(change);
            writes.push_back(outcome.written() ? operations::FileWrite::Written
                             : outcome.started ? operations::FileWrite::Torn
                                               : operations::FileWrite::NotStarted);
        }
        lap(Write, mark);
        journal_.endWrites(step, writes);
        lap(End, mark);
        journal_.flushWrites();
        lap(Flush, mark);
        return step != 0 && std::count(writes.begin(), writes.end(),
                                       operations::FileWrite::Written) == long(writes.size());
    }

    void report(benchmark::State& state) const
    {
        const std::array<const char*, Parts> names = {"read_ms", "begin_ms", "write_ms", "flush_ms",
                                                      "end_ms"};
        for (std::size_t i = 0; i < Parts; ++i)
            state.counters[names[i]] =
                benchmark::Counter(ms_[i], benchmark::Counter::kAvgIterations);
    }
    void clear() { ms_ = {}; }

private:
    using Clock = std::chrono::steady_clock;
    enum Part : std::size_t { Read, Begin, Write, Flush, End, Parts };

    void lap(Part part, Clock::time_point& mark)
    {
        const auto now = Clock::now();
        ms_[part] += std::chrono::duration<double, std::milli>(now - mark).count();
        mark = now;
    }

    operations::Journal& journal_;
    std::array<double, Parts> ms_ = {};
};

// `steps` steps of retitling every file, as a long session leaves them.
bool recordHistory(operations::Journal& journal, const std::vector<std::string>& files,
                   std::int64_t steps)
{
    std::vector<operations::StepFile> step;
    for (const std::string& file : files) {
        auto change = retitled(file, Titles[0]);
        if (!change)
            return false;
        step.push_back({std::move(*change), {}, {}, {}, true});
    }
    for (std::int64_t i = 0; i < steps; ++i)
        journal.record(operations::StepKind::FieldChange, step);
    return true;
}

// range(0): the steps already in the history. Where the time of
// BM_OursJournaled goes, and what a full history adds to it.
void BM_OursJournaledParts(benchmark::State& state)
{
    if (!restoreBig(state))
        return;
    const auto& files = bigLibrary().files();
    const QTemporaryDir stateDir;
    try {
        operations::Journal journal(journalFile(stateDir));
        if (!recordHistory(journal, files, state.range(0))) {
            state.SkipWithError("the history could not be recorded");
            return;
        }
        JournaledParts parts(journal);
        bool untimed = true;
        runRetitles(state, files, files.size(), true, [&](const std::string& title) {
            const bool done = parts.retitle(files, title);
            if (std::exchange(untimed, false))
                parts.clear();
            return done;
        });
        parts.report(state);
    } catch (const operations::JournalError& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_OursJournaledParts)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->ArgName("history")
    ->Arg(0)
    ->Arg(operations::Journal::MaxSteps - 1)
    ->Iterations(10);

// The first range(0) of 10,000 files of 64 KB.
void BM_OursJournaled64K(benchmark::State& state)
{
    if (!smallLibrary().ready()) {
        state.SkipWithError("the sample files could not be written");
        return;
    }
    runJournaled(state, smallLibrary().files(), std::size_t(state.range(0)));
}
BENCHMARK(BM_OursJournaled64K)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(3);

// ---- on files like users': what the journal and the disk pay for a step

// The bytes this process has caused to be written to storage so far.
std::int64_t writtenBytes()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    std::int64_t value = 0;
    while (io >> key >> value) {
        if (key == "write_bytes:")
            return value;
    }
    return -1;
}

std::int64_t sizeOf(const std::string& file)
{
    struct stat st {};
    return ::stat(file.c_str(), &st) == 0 ? std::int64_t(st.st_size) : 0;
}

// The journal's size on disk: the database and its write-ahead log.
std::int64_t journalBytes(const std::string& file)
{
    return sizeOf(file) + sizeOf(file + "-wal");
}

// One retitling of every file as the command line makes it: the journal
// opened, the batch written and flushed, the journal closed.
bool retitleAsOneRun(const std::string& journal, const std::vector<std::string>& files,
                     const std::string& title)
{
    operations::Journal opened(journal);
    const auto written = writeRetitled(&opened, files, files.size(), title);
    opened.flushWrites();
    return written == files.size();
}

bool restoreCovered(benchmark::State& state)
{
    return restoreLibrary(state, coveredLibrary());
}

// range(0) steps, each retitling every file, after a first one: how much
// the journal grows per file and step, beside the title's own bytes.
void BM_JournalGrowth(benchmark::State& state)
{
    if (!restoreCovered(state))
        return;
    const auto& files = coveredLibrary().files();
    const QTemporaryDir stateDir;
    const std::string journal = journalFile(stateDir);
    const auto steps = std::size_t(state.range(0));
    double perFile = 0;
    try {
        for (auto _ : state) {
            if (!retitleAsOneRun(journal, files, Titles[0]))
                state.SkipWithError("the first retitling failed");
            const std::int64_t before = journalBytes(journal);
            for (std::size_t step = 0; step < steps; ++step) {
                if (!retitleAsOneRun(journal, files, Titles[(step + 1) % 2]))
                    state.SkipWithError("a retitling failed");
            }
            perFile = double(journalBytes(journal) - before) / double(steps * files.size());
        }
    } catch (const operations::JournalError& e) {
        state.SkipWithError(e.what());
    }
    state.counters["journal_B_per_file_step"] = perFile;
    state.counters["title_B"] = double(Titles[0].size());
}
BENCHMARK(BM_JournalGrowth)->Unit(benchmark::kMillisecond)->Arg(20)->Iterations(1);

// The bytes the second of two retitlings writes, the first one flushed to
// disk before it so that its pages are counted anew.
template <typename Retitle> void measureSecondEdit(benchmark::State& state, Retitle&& retitle)
{
    if (!restoreCovered(state))
        return;
    const auto& files = coveredLibrary().files();
    if (!retitle(Titles[0]) || !tags::syncFileSystem(files.front())) {
        state.SkipWithError("the first retitling failed");
        return;
    }
    std::int64_t written = 0;
    for (auto _ : state) {
        const std::int64_t before = writtenBytes();
        if (!retitle(Titles[1]))
            state.SkipWithError("the second retitling failed");
        written = writtenBytes() - before;
    }
    state.counters["written_MB"] = double(written) / 1e6;
}

void BM_SecondEditBytesTagLib(benchmark::State& state)
{
    measureSecondEdit(state, [&](const std::string& title) {
        for (const std::string& file : coveredLibrary().files()) {
            TagLib::MPEG::File mp3(file.c_str(), false);
            mp3.ID3v2Tag(true)->setTitle(TagLib::String(title, TagLib::String::UTF8));
            if (!mp3.save())
                return false;
        }
        return true;
    });
}
BENCHMARK(BM_SecondEditBytesTagLib)->Unit(benchmark::kMillisecond)->Iterations(1);

// Our in-place write alone, without the journal: what Ours adds to it is
// the journal's.
void BM_SecondEditBytesInPlace(benchmark::State& state)
{
    measureSecondEdit(state, [&](const std::string& title) {
        for (const std::string& file : coveredLibrary().files()) {
            const auto change = retitled(file, title);
            if (!change || !change->inPlace() || !tags::writeInPlace(*change).written())
                return false;
        }
        return true;
    });
}
BENCHMARK(BM_SecondEditBytesInPlace)->Unit(benchmark::kMillisecond)->Iterations(1);

// As the command line does it, from the opening of the journal to its
// closing; the journal has the first retitling as its only step.
void BM_SecondEditBytesOurs(benchmark::State& state)
{
    const QTemporaryDir stateDir;
    const std::string journal = journalFile(stateDir);
    try {
        measureSecondEdit(state, [&](const std::string& title) {
            return retitleAsOneRun(journal, coveredLibrary().files(), title);
        });
    } catch (const operations::JournalError& e) {
        state.SkipWithError(e.what());
    }
}
BENCHMARK(BM_SecondEditBytesOurs)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
