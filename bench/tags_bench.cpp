// Reading the tags of 1,000 generated files, and saving one tag.
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include "tests/support/Mp3Bytes.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

using namespace testsupport;
using namespace Qt::StringLiterals;

namespace {

// A third each: v2.3 with Latin-1 texts; v2.4 with UTF-8 texts; v2.3 with
// UTF-16 texts behind a 30 KB picture (the texts need a second read).
QByteArray sampleFile(int i)
{
    const QByteArray n = QByteArray::number(i);
    QByteArray tag;
    switch (i % 3) {
    case 0:
        tag = id3v2Tag(
            3,
            frame23("TIT2", textData(0, "Title " + n)) + frame23("TPE1", textData(0, "Artist")) +
                frame23("TALB", textData(0, "Album")) + frame23("TYER", textData(0, "2004")) +
                frame23("TCON", textData(0, "(17)")) +
                frame23("COMM", QByteArray("\0eng\0", 5) + "comment"),
            1024);
        break;
    case 1:
        tag = id3v2Tag(4,
                       frame24("TIT2", textData(3, (u"标题 "_s + QString::number(i)).toUtf8())) +
                           frame24("TPE1", textData(3, u"歌手"_s.toUtf8())) +
                           frame24("TDRC", textData(0, "2004-05-06")),
                       512);
        break;
    default:
        tag = id3v2Tag(
            3,
            frame23("APIC", QByteArray("\0image/jpeg\0\x03\0", 14) + QByteArray(30000, '\x55')) +
                frame23("TIT2", textData(1, utf16WithBom(u"标题"_s))) +
                frame23("TPE1", textData(1, utf16WithBom(u"歌手"_s))),
            256);
    }
    return tag + silentMpegFrames(20) + id3v1Trailer("Title " + n, "Artist", {}, "2004", {}, 3, 17);
}

struct Library {
    QTemporaryDir dir;
    std::vector<std::string> files;
    std::string big;

    Library()
    {
        for (int i = 0; i < 1000; ++i) {
            const QString path = dir.filePath(u"%1.mp3"_s.arg(i));
            writeBytes(path, sampleFile(i));
            files.push_back(nativePath(path));
        }
        // About 5 MB of audio behind a tag with a picture.
        const QString path = dir.filePath(u"big.mp3"_s);
        writeBytes(path, sampleFile(2) + silentMpegFrames(12000));
        big = nativePath(path);
    }
};

Library& library()
{
    static Library instance;
    return instance;
}

void readTags1000(benchmark::State& state)
{
    const auto& files = library().files;
    TID3v1 v1;
    TID3v2 v2;
    for (auto _ : state) {
        for (const std::string& file : files) {
            benchmark::DoNotOptimize(v1.ReadFromFile(file));
            benchmark::DoNotOptimize(v2.ReadFromFile(file));
        }
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(files.size()));
}
BENCHMARK(readTags1000)->Unit(benchmark::kMillisecond);

void saveTag5MB(benchmark::State& state)
{
    TID3v2 tag;
    tag.ReadFromFile(library().big);
    int n = 0;
    for (auto _ : state) {
        tag.Title = tags::legacyText("Title " + std::to_string(n++));
        benchmark::DoNotOptimize(tag.SaveToFile(library().big));
    }
}
BENCHMARK(saveTag5MB)->Unit(benchmark::kMillisecond);

void saveTrailer(benchmark::State& state)
{
    TID3v1 tag;
    tag.ReadFromFile(library().big);
    for (auto _ : state) {
        tag.SetTitle("Title");
        benchmark::DoNotOptimize(tag.SaveToFile(library().big));
    }
}
BENCHMARK(saveTrailer)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
