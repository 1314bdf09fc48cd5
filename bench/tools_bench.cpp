// The text tools over 300, 3,000 and 10,000 small tagged files (a fifth with
// GBK texts, as bench/Mp3Folder makes them): the dialog's first preview
// (every file read once), each later preview (what a key in the dialog
// costs, no file read), and the run, beside the batch tag change writing one
// field into the same files in the same process. The items/s column should
// stay flat across the sizes, and the run should keep up with the batch.
#include "Mp3Folder.h"

#include "operations/FieldsCommand.h"
#include "operations/Journal.h"
#include "operations/ToolCommand.h"
#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <map>
#include <memory>

using namespace Qt::StringLiterals;
using operations::Priority;

namespace {

// One folder per size for the whole process, and its files' paths.
class Corpus {
public:
    static Corpus& of(int files)
    {
        static std::map<int, std::unique_ptr<Corpus>> made;
        auto& corpus = made[files];
        if (!corpus)
            corpus.reset(new Corpus(files));
        return *corpus;
    }
    const std::vector<QString>& paths() const { return paths_; }
    operations::Journal& journal() { return *journal_; }

private:
    explicit Corpus(int files)
    {
        const QString folder = dir_.filePath(u"music"_s);
        if (const auto failed = benchsupport::writeMp3Folder(folder, files))
            qFatal("%s", qPrintable(*failed));
        for (int i = 0; i < files; ++i)
            paths_.push_back(folder + u'/' + benchsupport::songName(i));
        journal_ =
            std::make_unique<operations::Journal>(dir_.filePath(u"journal.sqlite"_s).toStdString());
    }
    QTemporaryDir dir_;
    std::vector<QString> paths_;
    std::unique_ptr<operations::Journal> journal_;
};

operations::ToolSettings caseOf(operations::CaseMode mode)
{
    operations::ToolSettings settings;
    settings.kind = operations::ToolKind::Case;
    settings.caseMode = mode;
    settings.fields = {operations::Field::Title, operations::Field::Artist,
                       operations::Field::Album};
    return settings;
}

void firstPreview(benchmark::State& state)
{
    const Corpus& corpus = Corpus::of(int(state.range(0)));
    operations::TextTool tool(caseOf(operations::CaseMode::Upper));
    for (auto _ : state) {
        const auto files = operations::readToolFiles(corpus.paths(), Priority::PreferV2, {});
        benchmark::DoNotOptimize(operations::previewTool(tool, files));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// A key in the dialog: the tool made again and every file previewed, from
// the tags read when it opened. The Chinese conversion is the dearest tool.
void keyPreview(benchmark::State& state)
{
    const Corpus& corpus = Corpus::of(int(state.range(0)));
    const auto files = operations::readToolFiles(corpus.paths(), Priority::PreferV2, {});
    operations::ToolSettings settings;
    settings.kind = operations::ToolKind::Chinese;
    settings.direction = u"s2t"_s;
    settings.fields = {operations::Field::Title, operations::Field::Artist,
                       operations::Field::Album};
    for (auto _ : state) {
        operations::TextTool tool(settings);
        benchmark::DoNotOptimize(operations::previewTool(tool, files));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

std::vector<operations::FileOutcome> runOver(const operations::TagCommand& command, Corpus& corpus)
{
    std::vector<operations::FileOutcome> outcomes;
    operations::TagRunner runner(command, &corpus.journal(),
                                 [&](std::size_t, const operations::TagPlan&,
                                     const operations::FileOutcome& o) { outcomes.push_back(o); });
    for (const QString& path : corpus.paths())
        runner.add(path);
    runner.finish();
    corpus.journal().flushWrites();
    return outcomes;
}

// Upper case, then lower case: every run changes every file's three fields.
void toolRun(benchmark::State& state)
{
    Corpus& corpus = Corpus::of(int(state.range(0)));
    bool upper = true;
    for (auto _ : state) {
        auto tool = std::make_shared<operations::TextTool>(
            caseOf(upper ? operations::CaseMode::Upper : operations::CaseMode::Lower));
        upper = !upper;
        const auto files = operations::readToolFiles(corpus.paths(), Priority::PreferV2, {});
        operations::previewTool(*tool, files);
        const auto command = operations::toolTagCommand(tool, files, Priority::PreferV2, {});
        benchmark::DoNotOptimize(runOver(command, corpus));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The batch page's change of one field over the same files: the pace the
// tools are held to.
void batchRun(benchmark::State& state)
{
    Corpus& corpus = Corpus::of(int(state.range(0)));
    bool first = true;
    for (auto _ : state) {
        operations::FieldSources sources;
        sources.from[2] = operations::FieldSources::From::Text;
        sources.text[2] = first ? u"专辑甲"_s : u"专辑乙"_s;
        first = !first;
        const operations::FieldsCommand fields(sources, Priority::PreferV2, {},
                                               [](const QString& name) { return name; });
        benchmark::DoNotOptimize(runOver(fields.command(), corpus));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(firstPreview)->Arg(300)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(keyPreview)->Arg(300)->Arg(3000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(toolRun)->Arg(300)->Arg(3000)->Arg(10000)->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(batchRun)->Arg(300)->Arg(3000)->Arg(10000)->Iterations(2)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    testsupport::TestEnvironment environment;
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
