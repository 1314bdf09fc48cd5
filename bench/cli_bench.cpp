// The command line's `set title=…` on 200 files of 4 MB as the user runs it:
// a whole process, from exec to exit (start-up, settings, the journal, the
// writes, their flush), beside a TagLib program making the same edit of the
// same files in one process, in the same run. Every file starts as it was
// made before each run (untimed): a fifth carry a 217 KB front cover, a tenth
// have no padding, so that their tags grow and the whole file is written.
// The goal: ours at most 1.2 times TagLib's (the ratio counter).
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

#include <chrono>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

constexpr int Files = 200;
constexpr qsizetype FileBytes = 4 << 20;
const std::string NewTitle = "Retitled take A";

QByteArray headOf(int i)
{
    const QByteArray n = QByteArray::number(i);
    QByteArray frames =
        frame23("TIT2", textData(0, "Song " + n)) + frame23("TPE1", textData(0, "Artist")) +
        frame23("TALB", textData(0, "Album of the year")) + frame23("TYER", textData(0, "2004")) +
        frame23("TRCK", textData(0, n + "/200")) +
        frame23("COMM", QByteArray("\0eng\0", 5) + "ripped from the CD");
    if (i % 5 == 0)
        frames += noiseCoverFrame23(quint32(i), 217 * 1024);
    return id3v2Tag(3, frames, i % 10 == 7 ? 0 : 1024);
}

class Corpus {
public:
    Corpus()
    {
        const QByteArray trailer = id3v1Trailer("Song", "Artist", "Album", "2004");
        const int frameBytes = int(silentMpegFrames(1).size());
        audio_ = silentMpegFrames(int((FileBytes - trailer.size()) / frameBytes));
        audio_ += trailer;
        for (int i = 0; i < Files; ++i) {
            heads_.push_back(headOf(i));
            paths_.push_back(nativePath(dir_.filePath(u"%1.mp3"_s.arg(i, 3, 10, QChar(u'0')))));
        }
    }

    const std::vector<std::string>& paths() const { return paths_; }

    // Every file as made, and on disk: no run pays for the last one's pages.
    bool restore() const
    {
        for (std::size_t i = 0; i < paths_.size(); ++i) {
            if (!restoreHead(i) &&
                !writeBytes(QString::fromStdString(paths_[i]), heads_[i] + audio_))
                return false;
        }
        ::sync();
        return true;
    }

private:
    // Only the tags when the file's audio did not move; the trailer is never
    // changed by a retitling.
    bool restoreHead(std::size_t i) const
    {
        struct stat st {};
        if (::stat(paths_[i].c_str(), &st) != 0 || st.st_size != heads_[i].size() + audio_.size())
            return false;
        const int fd = ::open(paths_[i].c_str(), O_WRONLY | O_CLOEXEC);
        if (fd < 0)
            return false;
        const auto size = std::size_t(heads_[i].size());
        const bool written = ::pwrite(fd, heads_[i].constData(), size, 0) == ssize_t(size);
        return ::close(fd) == 0 && written;
    }

    QTemporaryDir dir_;
    QByteArray audio_;
    std::vector<QByteArray> heads_;
    std::vector<std::string> paths_;
};

struct Run {
    bool ok = false;
    double seconds = 0; // wall time from fork to exit
    double cpuSeconds = 0;
};

// Runs a program to its end, its output dropped.
Run runProcess(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child == 0) {
        const int null = ::open("/dev/null", O_WRONLY);
        ::dup2(null, STDOUT_FILENO);
        ::dup2(null, STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    const bool waited = child > 0 && ::wait4(child, &status, 0, &usage) == child;
    Run run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.ok = waited && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    run.cpuSeconds = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    return run;
}

// Each file reads back with the new title: a run that skipped files would
// make its figure a lie.
bool retitled(const std::vector<std::string>& paths)
{
    for (const std::string& path : paths) {
        TagLib::MPEG::File mp3(path.c_str(), false);
        if (!mp3.ID3v2Tag() || mp3.ID3v2Tag()->title().to8Bit(true) != NewTitle)
            return false;
    }
    return true;
}

void setTitleWholeProcess(benchmark::State& state)
{
    static const Corpus corpus;
    std::vector<std::string> ours = {MP3T_CLI, "set", "title=" + NewTitle, "--"};
    std::vector<std::string> peer = {MP3T_TAGLIB_RETITLE, NewTitle};
    ours.insert(ours.end(), corpus.paths().begin(), corpus.paths().end());
    peer.insert(peer.end(), corpus.paths().begin(), corpus.paths().end());
    double seconds = 0, peerSeconds = 0, cpuSeconds = 0, peerCpuSeconds = 0;
    for (auto _ : state) {
        // In turns, so that both meet the machine as it is.
        if (!corpus.restore()) {
            state.SkipWithError("the files could not be written");
            return;
        }
        const Run taglib = runProcess(peer);
        if (!taglib.ok || !retitled(corpus.paths()) || !corpus.restore()) {
            state.SkipWithError("the TagLib run failed");
            return;
        }
        const Run run = runProcess(ours);
        if (!run.ok || !retitled(corpus.paths())) {
            state.SkipWithError("mp3tagloom-cli set failed");
            return;
        }
        state.SetIterationTime(run.seconds);
        seconds += run.seconds;
        peerSeconds += taglib.seconds;
        cpuSeconds += run.cpuSeconds;
        peerCpuSeconds += taglib.cpuSeconds;
    }
    const double n = double(state.iterations());
    state.counters["taglib_ms"] = 1000.0 * peerSeconds / n;
    state.counters["cpu_ms"] = 1000.0 * cpuSeconds / n;
    state.counters["taglib_cpu_ms"] = 1000.0 * peerCpuSeconds / n;
    state.counters["ratio"] = peerSeconds > 0 ? seconds / peerSeconds : 0.0;
    state.SetItemsProcessed(state.iterations() * Files);
}
BENCHMARK(setTitleWholeProcess)->Iterations(5)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    // The command line's settings and journal go to this private home.
    testsupport::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
