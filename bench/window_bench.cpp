// The main window's batches over n selected rows, as a user runs them: the
// renaming by a pattern (its plan included, and the plan alone) and the batch
// tag change, on real files, with the window shown; and the opening of a
// folder of n files. Each must cost O(n): the time per row (the
// items/s column) should stay flat from 300 to 3,000 to 10,000 rows.
#include "app/ToolsDialog.h"
#include "app/main.h"
#include "bench/Mp3Folder.h"
#include "platform/ProfileFile.h"
#include "shell/ShellTree.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "widgets/RadioGroup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeWidget>

#include <benchmark/benchmark.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>

using namespace Qt::StringLiterals;

namespace {

// A temporary folder the window is started on, once its files are written.
class ShownFolder {
public:
    TFormMain& window() { return *window_; }
    int rows() const { return window_->ui.ListViewMain->model()->rowCount(); }

protected:
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    void show()
    {
        platform::WritePrivateProfileStringA(u"SysInfo"_s, u"path"_s, dir_.path() + u'/',
                                             u"mp3tdex.ini"_s);
        window_ = std::make_unique<TFormMain>();
        window_->show();
        QCoreApplication::processEvents();
    }

private:
    QTemporaryDir dir_;
    std::unique_ptr<TFormMain> window_;
};

// A folder of n small MP3 files with an ID3v1 tag, and the window showing it.
class Folder : public ShownFolder {
public:
    explicit Folder(int files)
    {
        const QByteArray audio = testsupport::silentMpegFrames();
        for (int i = 0; i < files; ++i) {
            const QByteArray title = QByteArray("Song ") + QByteArray::number(i);
            testsupport::writeBytes(filePath(u"%1.mp3"_s.arg(i, 5, 10, QChar(u'0'))),
                                    audio + testsupport::id3v1Trailer(title, "Band"));
        }
        show();
    }
};

// Answers the plan of a renaming as soon as it is shown: "执行", or "取消"
// for a benchmark that times only the plan. `shown` gets the time the plan
// was there and painted.
class PlanAnswer : public QObject {
public:
    explicit PlanAnswer(bool run) : run_(run)
    {
        timer_.setInterval(0);
        connect(&timer_, &QTimer::timeout, this, [this] {
            QWidget* plan = QApplication::activeModalWidget();
            if (!plan || plan->objectName() != u"FormRenamePlan"_s)
                return;
            plan->repaint();
            shown = std::chrono::steady_clock::now();
            plan->findChild<QPushButton*>(run_ ? u"BtnPlanRun"_s : u"BtnPlanCancel"_s)->click();
        });
        timer_.start();
    }
    std::chrono::steady_clock::time_point shown;

private:
    bool run_;
    QTimer timer_;
};

// Every row selected anew, as a user's click leaves it: a renaming disables
// the buttons that act on the selection, and they follow the next change of
// it (a click on a disabled button does nothing: a run would time nothing).
bool selectEveryRow(TFormMain& w)
{
    w.ui.ListViewMain->clearSelection();
    w.ui.ListViewMain->selectAll();
    QCoreApplication::processEvents();
    return w.ui.BtnFileName->isEnabled();
}

// The whole renaming as the user waits for it: the plan worked out and
// shown, "执行", every file renamed, logged and its row updated.
void renameRows(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    const PlanAnswer answer(true);
    bool second = false;
    for (auto _ : state) {
        // Every run renames every file: the patterns take turns.
        w.ui.EditNameFormat->setText(second ? u"%2 - %1"_s : u"%1 - %2"_s);
        second = !second;
        if (!selectEveryRow(w)) {
            state.SkipWithError("the renaming cannot be started");
            return;
        }
        w.ui.BtnFileName->click();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(renameRows)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// Another program writing to the same disk (a copy, a download), from its
// start until it is ended: dd, flushing its file at the end as a copy does.
// Up to 4 GB, so that on a fast disk it still writes when the run ends.
class DiskWriter {
public:
    explicit DiskWriter(const QString& file) : file_(QFile::encodeName(file))
    {
        const QByteArray of = "of=" + file_;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::execlp("dd", "dd", "if=/dev/zero", of.constData(), "bs=1M", "count=4096",
                     "conv=fsync", "status=none", static_cast<char*>(nullptr));
            ::_exit(127);
        }
    }
    ~DiskWriter()
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        ::unlink(file_.constData());
    }
    DiskWriter(const DiskWriter&) = delete;
    DiskWriter& operator=(const DiskWriter&) = delete;

    // Until `bytes` of it are written (dirty pages of another program by
    // then); false when it ended or stalled before.
    bool waitFor(qint64 bytes) const
    {
        for (int tries = 0; tries < 3000 && running(); ++tries) {
            struct ::stat st {};
            if (::stat(file_.constData(), &st) == 0 && st.st_size >= bytes)
                return true;
            ::usleep(10000);
        }
        return false;
    }
    bool running() const { return pid_ > 0 && ::waitpid(pid_, nullptr, WNOHANG) == 0; }

private:
    QByteArray file_;
    pid_t pid_ = -1;
};

// The renaming, from the click to the last row, while another program
// writes gigabytes: what is ours must be flushed without waiting for its pages.
// writer_busy is the share of runs the writer outlasted (1: every run
// met it from start to end).
void renameRowsWhileWriting(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    const PlanAnswer answer(true);
    const QTemporaryDir scratch; // on the folder's file system
    bool second = false;
    int busy = 0;
    for (auto _ : state) {
        const DiskWriter writer(scratch.filePath(u"big"_s));
        if (!writer.waitFor(qint64(128) << 20)) {
            state.SkipWithError("dd could not be started, or did not write");
            return;
        }
        w.ui.EditNameFormat->setText(second ? u"%2 - %1"_s : u"%1 - %2"_s);
        second = !second;
        if (!selectEveryRow(w)) {
            state.SkipWithError("the renaming cannot be started");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        w.ui.BtnFileName->click();
        QCoreApplication::processEvents(); // the flush after the window's answer
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        busy += writer.running() ? 1 : 0;
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
    state.counters["writer_busy"] = double(busy) / double(state.iterations());
}
BENCHMARK(renameRowsWhileWriting)
    ->Arg(10000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// From the click on "开始修改" to the plan on the screen.
void planAppears(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    PlanAnswer answer(false);
    w.ui.EditNameFormat->setText(u"%2 - %1"_s);
    if (!selectEveryRow(w)) {
        state.SkipWithError("the renaming cannot be started");
        return;
    }
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        w.ui.BtnFileName->click();
        state.SetIterationTime(std::chrono::duration<double>(answer.shown - start).count());
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(planAppears)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A key typed into the pattern with every row selected: the preview under
// it plans the whole selection anew.
void namePreview(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    w.ui.PageCtrlMain->setCurrentIndex(1);
    w.ui.ListViewMain->selectAll();
    QCoreApplication::processEvents();
    bool second = false;
    for (auto _ : state) {
        w.ui.EditNameFormat->setText(second ? u"%2 - %1"_s : u"%1 - %2"_s);
        second = !second;
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(namePreview)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

// The limit of the file system: one renameat2 per file, nothing else.
void renameSystemCalls(benchmark::State& state)
{
    QTemporaryDir dir;
    const int files = int(state.range(0));
    for (int i = 0; i < files; ++i)
        testsupport::writeBytes(dir.filePath(u"a%1.mp3"_s.arg(i)), "x");
    bool second = false;
    for (auto _ : state) {
        for (int i = 0; i < files; ++i) {
            const QByteArray from =
                QFile::encodeName(dir.filePath((second ? u"b%1.mp3"_s : u"a%1.mp3"_s).arg(i)));
            const QByteArray to =
                QFile::encodeName(dir.filePath((second ? u"a%1.mp3"_s : u"b%1.mp3"_s).arg(i)));
            ::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE);
        }
        second = !second;
    }
    state.SetItemsProcessed(state.iterations() * files);
}
BENCHMARK(renameSystemCalls)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

void changeTitles(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    w.ui.CheckBoxTitle->setChecked(true);
    w.ui.RadioGrpMTitle->setItemIndex(1); // from the edit
    bool second = false;
    for (auto _ : state) {
        w.ui.EditMTitle->setText(second ? u"甲"_s : u"乙"_s);
        second = !second;
        w.ui.ListViewMain->selectAll();
        w.ui.BtnChgMProp->click();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
BENCHMARK(changeTitles)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// A folder of n small files with an ID3v2.3 tag; every fifth carries a
// 200 KB front cover, as real collections do.
class CoverFolder : public ShownFolder {
public:
    explicit CoverFolder(int files)
    {
        const QByteArray audio = testsupport::silentMpegFrames();
        QByteArray picture("\0image/jpeg\0\3\0", 14);
        picture += QByteArray(200 * 1024, '\x5a');
        const QByteArray cover = testsupport::frame23("APIC", picture);
        for (int i = 0; i < files; ++i) {
            QByteArray frames = testsupport::frame23(
                "TIT2", testsupport::textData(0, QByteArray("Song ") + QByteArray::number(i)));
            frames += testsupport::frame23("TALB", testsupport::textData(0, "Old album"));
            if (i % 5 == 0)
                frames += cover;
            testsupport::writeBytes(filePath(u"%1.mp3"_s.arg(i, 6, 10, QChar(u'0'))),
                                    testsupport::id3v2Tag(3, frames, 256) + audio);
        }
        show();
    }
};

double peakMegabytes();

// The batch album change over every row of such a folder. peak_MB is the
// process's peak memory: one process per size
// (--benchmark_filter=changeAlbum/10000).
void changeAlbum(benchmark::State& state)
{
    CoverFolder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    // The batch page, where the user sets the album.
    w.ui.PageCtrlMain->setCurrentWidget(w.ui.TabShMProp);
    w.ui.CheckBoxAlbum->setChecked(true);
    w.ui.RadioGrpMAlbum->setItemIndex(1); // from the edit
    // What the folder and the window took before the batch.
    state.counters["setup_peak_MB"] = peakMegabytes();
    bool second = false;
    for (auto _ : state) {
        w.ui.EditMAlbum->setText(second ? u"甲"_s : u"乙"_s);
        second = !second;
        w.ui.ListViewMain->selectAll();
        w.ui.BtnChgMProp->click();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(changeAlbum)
    ->Arg(3000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(2)
    ->Unit(benchmark::kMillisecond);

// The first row (a GBK one) has its title, the last its comment.
bool showsAll(const QAbstractItemView& list, int files)
{
    const QAbstractItemModel& rows = *list.model();
    return rows.rowCount() == files &&
           rows.index(0, 1).data().toString() == benchsupport::songTexts(0).title &&
           rows.index(files - 1, 6).data().toString() == benchsupport::songTexts(files - 1).comment;
}

// A folder of n files whose titles and track numbers come in no order, some
// titles Chinese, some tracks "n/total", and the window showing it; with
// every row's tags read (as after a first sort, or once the list has read
// them in the background) unless `readAll` is false: as just opened then.
class UnorderedFolder : public ShownFolder {
public:
    explicit UnorderedFolder(int files, bool readAll = true)
    {
        static const std::array<QString, 8> words{u"Love"_s, u"Song"_s, u"Night"_s, u"Rain"_s,
                                                  u"月亮"_s, u"城市"_s, u"Blue"_s,  u"北方"_s};
        const QByteArray audio = testsupport::silentMpegFrames();
        for (int i = 0; i < files; ++i) {
            // A step prime to n: every number once, in a scattered order.
            const int n = int((std::int64_t(i) * 7919) % files);
            const QString title = words[std::size_t(n % 8)] + u' ' + words[std::size_t(n / 8 % 8)] +
                                  u' ' + QString::number(n);
            const QString track =
                n % 3 == 0 ? u"%1/%2"_s.arg(n % 40 + 1).arg(40) : QString::number(n % 400 + 1);
            const QByteArray frames = text("TIT2", title) + text("TRCK", track);
            testsupport::writeBytes(filePath(u"%1.mp3"_s.arg(i, 5, 10, QChar(u'0'))),
                                    testsupport::id3v2Tag(3, frames, 64) + audio);
        }
        show();
        TReportModel& model = window().ui.ListViewMain->rows();
        for (int i = 0; readAll && i < model.count(); ++i)
            static_cast<void>(model.row(i));
    }

private:
    static QByteArray text(const char* id, const QString& value)
    {
        return testsupport::frame23(id, testsupport::textData(1, testsupport::utf16WithBom(value)));
    }
};

// A click on a column's header at n rows: the rows sorted by the column and
// the list laid out and painted again; each run reverses the order.
void sortRows(benchmark::State& state, int column)
{
    UnorderedFolder folder(int(state.range(0)));
    TReportList& list = *folder.window().ui.ListViewMain;
    bool descending = false;
    for (auto _ : state) {
        list.header()->setSortIndicator(column,
                                        descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCoreApplication::processEvents();
        list.viewport()->repaint();
        descending = !descending;
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
}
void sortByTitle(benchmark::State& state)
{
    sortRows(state, TReportModel::TitleColumn);
}
void sortByTrack(benchmark::State& state)
{
    sortRows(state, TReportModel::TrackColumn);
}
BENCHMARK(sortByTitle)->Arg(300)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(sortByTrack)->Arg(300)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);

// A word typed into the filter at n rows, one key at a time, each key's
// answer (the rows hidden or shown, the list painted) timed on its own; the
// field is emptied, untimed, between runs. key_ms is the mean of a key,
// slowest_key_ms the slowest of all.
void filterKeys(benchmark::State& state)
{
    UnorderedFolder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    QLineEdit* edit = w.ui.EditFilter;
    const QString word = u"love so"_s;
    double slowest = 0;
    double total = 0;
    double all = 0;
    for (auto _ : state) {
        for (const QChar key : word) {
            const auto start = std::chrono::steady_clock::now();
            edit->insert(QString(key));
            QCoreApplication::processEvents();
            w.ui.ListViewMain->viewport()->repaint();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            slowest = std::max(slowest, seconds);
            total += seconds;
        }
        state.SetIterationTime(total);
        all += total;
        total = 0;
        state.PauseTiming();
        edit->clear();
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * folder.rows() * word.size());
    state.counters["key_ms"] =
        1000.0 * all / double(state.iterations() * std::int64_t(word.size()));
    state.counters["slowest_key_ms"] = 1000.0 * slowest;
}
BENCHMARK(filterKeys)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The 批量处理 dialog over n selected rows: opened (every file read once, the
// preview of 全部大写 listed: two texts a file) and then one key typed into
// 查找 of the find and replace (the preview made again from the texts read,
// and listed). Manual time is the opening; key_ms the key.
void toolsDialog(benchmark::State& state)
{
    Folder folder(int(state.range(0)));
    TFormMain& w = folder.window();
    std::vector<QString> paths;
    for (int i = 0; i < folder.rows(); ++i)
        paths.push_back(w.rowPath(i));
    double keys = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        TFormTools dialog(operations::readToolFiles(paths, operations::Priority::PreferV2, {}), {},
                          operations::AdStripper::presets());
        dialog.ComboToolCase->setCurrentIndex(1); // 全部大写
        const auto opened = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(opened - start).count());
        dialog.ComboTool->setCurrentIndex(int(operations::ToolKind::Replace));
        const auto typing = std::chrono::steady_clock::now();
        dialog.EditToolFind->insert(u"o"_s);
        keys += std::chrono::duration<double>(std::chrono::steady_clock::now() - typing).count();
        if (dialog.ListViewToolPreview->topLevelItemCount() != folder.rows())
            state.SkipWithError("the preview does not list every file");
    }
    state.SetItemsProcessed(state.iterations() * folder.rows());
    state.counters["key_ms"] = keys * 1000 / double(state.iterations());
}
BENCHMARK(toolsDialog)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Until the list has read every row's tags in the background; false when
// it has not in `seconds`.
bool waitForReading(const TReportList& list, double seconds)
{
    const auto start = std::chrono::steady_clock::now();
    while (list.readingRows()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (std::chrono::steady_clock::now() - start > std::chrono::duration<double>(seconds))
            return false;
    }
    return true;
}

// The first key typed into the filter of a folder just opened, before its
// rows' tags are read in the background: the key is answered at once (the
// rows not read yet stay shown), then the reading settles the list.
// settled_ms is the time from the key until every row is read and the list
// shows the matching ones only.
void firstKeyOnUnreadRows(benchmark::State& state)
{
    std::unique_ptr<UnorderedFolder> folder;
    double settled = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset(); // the last run's files gone before the next are written
        folder = std::make_unique<UnorderedFolder>(int(state.range(0)), false);
        TReportList& list = *folder->window().ui.ListViewMain;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        folder->window().ui.EditFilter->insert(u"l"_s);
        QCoreApplication::processEvents();
        list.viewport()->repaint();
        const auto answered = std::chrono::steady_clock::now();
        state.SetIterationTime(std::chrono::duration<double>(answered - start).count());
        if (!waitForReading(list, 120)) {
            state.SkipWithError("the rows were not read in the background");
            return;
        }
        settled += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["settled_ms"] = 1000.0 * settled / double(state.iterations());
}
BENCHMARK(firstKeyOnUnreadRows)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The first key typed into the filter of a folder opened a while ago, once
// the background reading is through (read_ms after the folder was shown,
// untimed): what a user who looks before typing meets.
void firstKeyAfterReading(benchmark::State& state)
{
    std::unique_ptr<UnorderedFolder> folder;
    double read = 0;
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset();
        folder = std::make_unique<UnorderedFolder>(int(state.range(0)), false);
        TReportList& list = *folder->window().ui.ListViewMain;
        const auto shown = std::chrono::steady_clock::now();
        if (!waitForReading(list, 120)) {
            state.SkipWithError("the rows were not read in the background");
            return;
        }
        read += std::chrono::duration<double>(std::chrono::steady_clock::now() - shown).count();
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        folder->window().ui.EditFilter->insert(u"l"_s);
        QCoreApplication::processEvents();
        list.viewport()->repaint();
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    state.counters["read_ms"] = 1000.0 * read / double(state.iterations());
}
BENCHMARK(firstKeyAfterReading)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The peak resident memory of this process so far, in MB.
double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

// The user and system time of this process so far, in seconds.
double cpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) {
        return double(t.tv_sec) + double(t.tv_usec) / 1e6;
    };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A click on a folder of n files in the tree, until the list is painted
// with every row and its six tag cells (bench/cli_ls sets the command line's
// `ls` against this). The files have both tags, some in GBK; the window
// starts on an empty folder and goes back to it, untimed, between runs.
// peak_MB is the process's peak memory: a figure per size wants one process
// per size (--benchmark_filter=showFolder/100000).
void showFolder(benchmark::State& state)
{
    const int files = int(state.range(0));
    const QTemporaryDir music;
    const QTemporaryDir empty;
    if (const auto error = benchsupport::writeMp3Folder(music.path(), files)) {
        state.SkipWithError(qPrintable(*error));
        return;
    }
    platform::WritePrivateProfileStringA(u"SysInfo"_s, u"path"_s, empty.path() + u'/',
                                         u"mp3tdex.ini"_s);
    TFormMain w;
    w.show();
    QCoreApplication::processEvents();
    const QAbstractItemView* list = w.ui.ListViewMain;
    double cpuSeconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = cpuTime();
        // As a folder given by path (the bookmarks, the start, the command to
        // go to a folder) is shown: a mouse click differs only in the tree's
        // 100 ms wait before it tells the list.
        w.ui.ShellTree->setSelectedFolder(music.path() + u'/');
        QCoreApplication::processEvents();
        w.ui.ListViewMain->viewport()->repaint();
        cpuSeconds += cpuTime() - cpuStart;
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        // A list that came short, or rows that read their tags wrong when
        // first asked (here, after the timing), would make the figure a lie.
        if (!showsAll(*list, files)) {
            state.SkipWithError("the list does not show every file with its tags");
            return;
        }
        w.ui.ShellTree->setSelectedFolder(empty.path() + u'/');
        QCoreApplication::processEvents();
    }
    state.SetItemsProcessed(state.iterations() * files);
    state.counters["peak_MB"] = peakMegabytes();
    // The machine may be shared: the process's own time is the steadier figure.
    state.counters["cpu_ms"] = 1000.0 * cpuSeconds / double(state.iterations());
}
BENCHMARK(showFolder)
    ->Arg(300)
    ->Arg(3000)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A folder of n files shown, then left to the background reading until every
// row's tags are read (the time is that of the reading, from the list's
// first painting); peak_MB is the process's peak memory with every row
// read, one process per size (--benchmark_filter=readInBackground/100000).
void readInBackground(benchmark::State& state)
{
    const int files = int(state.range(0));
    const QTemporaryDir music;
    const QTemporaryDir empty;
    if (const auto error = benchsupport::writeMp3Folder(music.path(), files)) {
        state.SkipWithError(qPrintable(*error));
        return;
    }
    platform::WritePrivateProfileStringA(u"SysInfo"_s, u"path"_s, empty.path() + u'/',
                                         u"mp3tdex.ini"_s);
    TFormMain w;
    w.show();
    QCoreApplication::processEvents();
    const TReportList& list = *w.ui.ListViewMain;
    for (auto _ : state) {
        w.ui.ShellTree->setSelectedFolder(music.path() + u'/');
        QCoreApplication::processEvents();
        w.ui.ListViewMain->viewport()->repaint();
        const auto start = std::chrono::steady_clock::now();
        if (!waitForReading(list, 600)) {
            state.SkipWithError("the rows were not read in the background");
            return;
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        bool allRead = list.rowCount() == files;
        for (int i = 0; allRead && i < files; ++i)
            allRead = list.rows().isRead(i);
        if (!allRead || !showsAll(list, files)) {
            state.SkipWithError("the rows are not all read, or read wrong");
            return;
        }
        state.PauseTiming();
        w.ui.ShellTree->setSelectedFolder(empty.path() + u'/');
        QCoreApplication::processEvents();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * files);
    state.counters["peak_MB"] = peakMegabytes();
}
BENCHMARK(readInBackground)
    ->Arg(10000)
    ->Arg(100000)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    testsupport::TestEnvironment environment;
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
