#pragma once

#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Texts stored as bytes without a declared code page: ID3v1 fields and ID3v2
// frames that claim ISO-8859-1 but hold whatever the writing program's
// Windows used. The code page is decided once per file, from all its texts.
namespace platform {

enum class LegacyCodePage { Gbk, Big5, Cp1252 };

// The setting names: "GBK", "Big5", "CP1252".
QString codePageName(LegacyCodePage codePage);

// A setting name or a common alias ("GB18030", "CP936", "BIG-5", "CP950",
// "WINDOWS-1252", "LATIN1"...), case-insensitive; nullopt for anything else.
std::optional<LegacyCodePage> codePageFromName(const QString& name);

// Decides the code page of one file from all of its legacy texts together.
// Owns the ICU detector and converters, so one instance serves a whole folder;
// not for use by two threads at once.
class LegacyDetector {
public:
    LegacyDetector();
    ~LegacyDetector();
    LegacyDetector(const LegacyDetector&) = delete;
    LegacyDetector& operator=(const LegacyDetector&) = delete;

    // Texts that are pure ASCII say nothing; with nothing else to go on, or
    // when the texts read equally well in several code pages, the answer is
    // the preferred one. Each text ends at its first NUL byte.
    LegacyCodePage detect(const std::vector<std::string_view>& texts,
                          LegacyCodePage preferred = LegacyCodePage::Gbk);

private:
    struct State;
    std::unique_ptr<State> state_;
};

// One-off detection; a loop over many files should keep a LegacyDetector.
LegacyCodePage detectLegacyCodePage(const std::vector<std::string_view>& texts,
                                    LegacyCodePage preferred = LegacyCodePage::Gbk);

// Bytes to text, never U+FFFD: a byte that starts no valid sequence in the
// code page stands for its Windows-1252 character (the five bytes that code
// page leaves undefined for the C1 controls of the same value). GBK reads as
// GB18030. Stops at the first NUL byte.
QString decodeLegacy(std::string_view bytes, LegacyCodePage codePage);

// Text to bytes of the code page, GBK in its one- and two-byte forms only
// (CP936, as GBK devices read it). A character the code page lacks becomes
// its base letter where it has one ("ö" as "o"), else '?', as does a lone
// surrogate. Stops at the first NUL.
std::string encodeLegacy(const QString& text, LegacyCodePage codePage);

// Whether every byte belongs to a valid sequence of the code page (up to the
// first NUL).
bool isValidIn(std::string_view bytes, LegacyCodePage codePage);

// How typical of song texts (0..100) the characters of the bytes read in the
// code page are, by the detector's measure; nullopt when a byte belongs to no
// sequence of it, a cut last one included. Pure ASCII is 100.
std::optional<double> plausibilityIn(std::string_view bytes, LegacyCodePage codePage);

} // namespace platform
