#pragma once

#include <string>
#include <vector>

// Generated "files" of legacy tag texts, as the writing programs left them:
// Simplified Chinese in GBK, Traditional Chinese in Big5 (Windows code page
// 950), Western European texts in Windows-1252, and plain ASCII.
namespace testsupport {

enum class CorpusKind { Simplified, Traditional, Western, Ascii };

struct CorpusFile {
    CorpusKind kind;
    std::vector<std::string> texts; // title, artist, album, ID3v1 fields (NUL-padded)
};

// The same files on every call (a fixed seed), about a third of the Chinese
// and Western ones holding nothing but a short title.
std::vector<CorpusFile> legacyCorpus(int filesPerKind = 150);

} // namespace testsupport
