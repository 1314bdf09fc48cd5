// Enumerating a folder through the namespace browser, as the shell file list
// fills itself: every item with its name, attributes, icon and the four columns.
#include "shell/ShellBrowser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace Qt::StringLiterals;

namespace {

QString makeFolder(QTemporaryDir& dir, int files)
{
    for (int i = 0; i < files; ++i) {
        QFile file(dir.filePath(u"%1 - Track.mp3"_s.arg(i, 4, 10, QChar(u'0'))));
        if (!file.open(QIODevice::WriteOnly))
            return {};
        file.write(QByteArray(i % 4096, 'x'));
    }
    QDir(dir.path()).mkdir(u"Sub"_s);
    return dir.path();
}

void enumerateWithDetails(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString folder = makeFolder(dir, int(state.range(0)));
    TShellBrowser browser;
    browser.SetFolder(folder);
    browser.SetFilter(u"*.mp3"_s);
    for (auto _ : state) {
        int items = 0;
        while (browser.Next()) {
            benchmark::DoNotOptimize(browser.GetDisplayName());
            benchmark::DoNotOptimize(browser.GetAttributes(0xB0000));
            benchmark::DoNotOptimize(browser.IconNumber());
            for (int c = 1; c < 4; ++c)
                benchmark::DoNotOptimize(browser.GetDetail(c, false));
            ++items;
        }
        benchmark::DoNotOptimize(items);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(enumerateWithDetails)->Arg(100)->Arg(2000)->Unit(benchmark::kMillisecond);

void enumerateOnly(benchmark::State& state)
{
    QTemporaryDir dir;
    const QString folder = makeFolder(dir, int(state.range(0)));
    TShellBrowser browser;
    browser.SetFolder(folder);
    for (auto _ : state) {
        int items = 0;
        while (browser.Next())
            ++items;
        benchmark::DoNotOptimize(items);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(enumerateOnly)->Arg(2000)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
