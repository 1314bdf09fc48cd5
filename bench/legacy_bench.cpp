// Deciding the code page of one file's legacy texts, and decoding them.
#include "platform/LegacyText.h"

#include "tests/platform/LegacyCorpus.h"

#include <benchmark/benchmark.h>

#include <string_view>
#include <vector>

namespace {

using Texts = std::vector<std::string_view>;

// The texts of the generated corpus, one entry per file, of one kind or all.
const std::vector<Texts>& corpusTexts(int kind)
{
    static const std::vector<testsupport::CorpusFile> files = testsupport::legacyCorpus(150);
    static std::vector<std::vector<Texts>> byKind = [] {
        std::vector<std::vector<Texts>> all(5);
        for (const auto& file : files) {
            const Texts texts(file.texts.begin(), file.texts.end());
            all[std::size_t(file.kind)].push_back(texts);
            all[4].push_back(texts);
        }
        return all;
    }();
    return byKind[std::size_t(kind)];
}

// Per file; the argument is the corpus kind (0 Simplified, 1 Traditional,
// 2 Western, 3 ASCII, 4 all of them).
void detectOneFile(benchmark::State& state)
{
    const auto& files = corpusTexts(int(state.range(0)));
    platform::LegacyDetector detector;
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(detector.detect(files[i]));
        i = (i + 1) % files.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(detectOneFile)->DenseRange(0, 4)->Unit(benchmark::kMicrosecond);

// Detecting and then decoding every text of a file, as a folder listing does.
void detectAndDecodeOneFile(benchmark::State& state)
{
    const auto& files = corpusTexts(4);
    platform::LegacyDetector detector;
    std::size_t i = 0;
    for (auto _ : state) {
        const auto codePage = detector.detect(files[i]);
        for (const std::string_view text : files[i])
            benchmark::DoNotOptimize(platform::decodeLegacy(text, codePage));
        i = (i + 1) % files.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(detectAndDecodeOneFile)->Unit(benchmark::kMicrosecond);

// A detector per call: what the one-off function costs.
void detectWithNewDetector(benchmark::State& state)
{
    const auto& files = corpusTexts(4);
    std::size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(platform::detectLegacyCodePage(files[i]));
        i = (i + 1) % files.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(detectWithNewDetector)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
