#include "platform/LegacyText.h"

#include <QList>

#include <unicode/ucnv.h>
#include <unicode/ucsdet.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace platform {

namespace {

using Byte = unsigned char;

// Windows-1252's 0x80..0x9F. The five bytes it leaves undefined keep the C1
// control of the same value, as Latin-1 reads them, so every byte has a
// character.
constexpr std::array<char16_t, 32> kCp1252High{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char16_t cp1252Char(Byte byte)
{
    return byte >= 0x80 && byte < 0xA0 ? kCp1252High[byte - 0x80] : char16_t(byte);
}

bool definedInCp1252(Byte byte)
{
    return byte != 0x81 && byte != 0x8D && byte != 0x8F && byte != 0x90 && byte != 0x9D;
}

std::optional<Byte> cp1252Byte(char32_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return Byte(c);
    const auto* found = std::find(kCp1252High.begin(), kCp1252High.end(), c);
    if (found == kCp1252High.end())
        return std::nullopt;
    return Byte(0x80 + (found - kCp1252High.begin()));
}

std::string_view untilNul(std::string_view bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

bool inRange(unsigned value, unsigned low, unsigned high)
{
    return value >= low && value <= high;
}

// How many bytes the code page's layout gives the sequence starting at `at`;
// 0 when no sequence can start there.
std::size_t sequenceLength(std::string_view text, std::size_t at, LegacyCodePage codePage)
{
    const auto byte = [text](std::size_t i) -> unsigned {
        return i < text.size() ? Byte(text[i]) : 0;
    };
    const unsigned lead = byte(at);
    if (lead < 0x80)
        return 1;
    if (codePage == LegacyCodePage::Cp1252)
        return definedInCp1252(Byte(lead)) ? 1 : 0;
    if (lead == 0x80 || lead == 0xFF)
        return 0;
    const unsigned trail = byte(at + 1);
    if (codePage == LegacyCodePage::Big5)
        return inRange(trail, 0x40, 0x7E) || inRange(trail, 0xA1, 0xFE) ? 2 : 0;
    if (inRange(trail, 0x40, 0x7E) || inRange(trail, 0x80, 0xFE))
        return 2;
    if (inRange(trail, 0x30, 0x39) && inRange(byte(at + 2), 0x81, 0xFE) &&
        inRange(byte(at + 3), 0x30, 0x39))
        return 4;
    return 0;
}

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};
using ConverterPtr = std::unique_ptr<UConverter, ConverterClose>;

struct Sequence {
    char32_t character;
    std::size_t length;
};

// Reads and writes single characters of one code page. The ICU converter is
// opened on the first character that needs it.
class Codec {
public:
    explicit Codec(LegacyCodePage codePage) : codePage_(codePage) {}

    LegacyCodePage codePage() const { return codePage_; }

    // The valid sequence starting at `at`, or nullopt when none does.
    std::optional<Sequence> read(std::string_view text, std::size_t at);
    // The bytes of one character; nullopt when the code page lacks it (for
    // GBK, a character GB18030 has only in four bytes).
    std::optional<std::string> write(char32_t character);

private:
    UConverter* converter();

    LegacyCodePage codePage_;
    ConverterPtr converter_;
    bool opened_ = false;
};

UConverter* Codec::converter()
{
    if (!opened_) {
        opened_ = true;
        // Big5 as Traditional Chinese Windows writes it (code page 950).
        const char* name = codePage_ == LegacyCodePage::Gbk ? "GB18030" : "windows-950-2000";
        UErrorCode status = U_ZERO_ERROR;
        ConverterPtr converter(ucnv_open(name, &status));
        ucnv_setToUCallBack(converter.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                            &status);
        ucnv_setFromUCallBack(converter.get(), UCNV_FROM_U_CALLBACK_STOP, nullptr, nullptr, nullptr,
                              &status);
        if (U_SUCCESS(status))
            converter_ = std::move(converter);
    }
    return converter_.get();
}

std::optional<Sequence> Codec::read(std::string_view text, std::size_t at)
{
    const std::size_t length = sequenceLength(text, at, codePage_);
    if (length == 0)
        return std::nullopt;
    const Byte lead = Byte(text[at]);
    if (length == 1)
        return Sequence{codePage_ == LegacyCodePage::Cp1252 ? cp1252Char(lead) : char32_t(lead), 1};
    UConverter* icu = converter();
    if (icu == nullptr)
        return std::nullopt;
    const char* source = text.data() + at;
    const char* const limit = source + length;
    UErrorCode status = U_ZERO_ERROR;
    const UChar32 character = ucnv_getNextUChar(icu, &source, limit, &status);
    if (U_FAILURE(status) || source != limit) {
        ucnv_reset(icu); // an unassigned sequence
        return std::nullopt;
    }
    // GB18030 has a form of U+FFFD itself; no tag text means it.
    if (character == 0xFFFD)
        return std::nullopt;
    return Sequence{char32_t(character), length};
}

std::optional<std::string> Codec::write(char32_t character)
{
    if (codePage_ == LegacyCodePage::Cp1252) {
        const auto byte = cp1252Byte(character);
        return byte ? std::optional(std::string(1, char(*byte))) : std::nullopt;
    }
    if (character < 0x80)
        return std::string(1, char(character));
    // CP936 has the euro sign as its one byte 0x80, where GB18030 has A2E3,
    // which GBK devices do not know.
    if (codePage_ == LegacyCodePage::Gbk && character == 0x20AC)
        return std::string(1, '\x80');
    UConverter* icu = converter();
    if (icu == nullptr)
        return std::nullopt;
    std::array<UChar, 2> units{};
    int32_t unitCount = 0;
    U16_APPEND_UNSAFE(units.data(), unitCount, character);
    std::array<char, 8> bytes{};
    UErrorCode status = U_ZERO_ERROR;
    ucnv_reset(icu);
    const int32_t length =
        ucnv_fromUChars(icu, bytes.data(), int32_t(bytes.size()), units.data(), unitCount, &status);
    // GBK devices know no four-byte sequences: they show them as two wrong
    // characters and two digits.
    if (U_FAILURE(status) || length <= 0 || length > 2)
        return std::nullopt;
    // Only a form that reads back as the same character: ICU's best fits and
    // the bytes the reader takes as Windows-1252 do not count.
    const std::string_view written(bytes.data(), std::size_t(length));
    const auto back = read(written, 0);
    if (!back || back->character != character || back->length != written.size())
        return std::nullopt;
    return std::string(written);
}

// A character the code page lacks as the base letter of its canonical
// decomposition, the accents dropped ("ö" as "o"), else "?".
std::string folded(Codec& codec, char32_t character)
{
    const QString decomposed =
        QString::fromUcs4(&character, 1).normalized(QString::NormalizationForm_D);
    std::string bytes;
    for (const char32_t c : decomposed.toUcs4()) {
        if (QChar::category(c) == QChar::Mark_NonSpacing)
            continue;
        const auto written = codec.write(c);
        if (!written || c == character)
            return "?";
        bytes += *written;
    }
    return bytes.empty() ? "?" : bytes;
}

std::string encoded(Codec& codec, char32_t character)
{
    auto bytes = codec.write(character);
    return bytes ? std::move(*bytes) : folded(codec, character);
}

void appendCharacter(QString& text, char32_t character)
{
    if (QChar::requiresSurrogates(character)) {
        text += QChar(QChar::highSurrogate(character));
        text += QChar(QChar::lowSurrogate(character));
    } else {
        text += QChar(char16_t(character));
    }
}

QString decodeWith(Codec& codec, std::string_view bytes)
{
    const std::string_view text = untilNul(bytes);
    QString decoded;
    decoded.reserve(qsizetype(text.size()));
    for (std::size_t at = 0; at < text.size();) {
        if (const auto sequence = codec.read(text, at)) {
            appendCharacter(decoded, sequence->character);
            at += sequence->length;
        } else {
            decoded += QChar(cp1252Char(Byte(text[at])));
            ++at;
        }
    }
    return decoded;
}

} // namespace

QString codePageName(LegacyCodePage codePage)
{
    switch (codePage) {
    case LegacyCodePage::Big5:
        return QStringLiteral("Big5");
    case LegacyCodePage::Cp1252:
        return QStringLiteral("CP1252");
    case LegacyCodePage::Gbk:
        break;
    }
    return QStringLiteral("GBK");
}

std::optional<LegacyCodePage> codePageFromName(const QString& name)
{
    // Compared without case, blanks, '-' and '_': "Big-5", "windows_1252"...
    QString key;
    for (const QChar c : name.trimmed())
        if (c != u'-' && c != u'_' && c != u' ')
            key += c.toUpper();
    static constexpr std::pair<const char16_t*, LegacyCodePage> kNames[]{
        {u"GBK", LegacyCodePage::Gbk},
        {u"GB18030", LegacyCodePage::Gbk},
        {u"GB2312", LegacyCodePage::Gbk},
        {u"CP936", LegacyCodePage::Gbk},
        {u"WINDOWS936", LegacyCodePage::Gbk},
        {u"MS936", LegacyCodePage::Gbk},
        {u"BIG5", LegacyCodePage::Big5},
        {u"CP950", LegacyCodePage::Big5},
        {u"WINDOWS950", LegacyCodePage::Big5},
        {u"CP1252", LegacyCodePage::Cp1252},
        {u"WINDOWS1252", LegacyCodePage::Cp1252},
        {u"LATIN1", LegacyCodePage::Cp1252},
        {u"ISO88591", LegacyCodePage::Cp1252},
        {u"ISOLATIN1", LegacyCodePage::Cp1252},
    };
    for (const auto& [alias, codePage] : kNames)
        if (key == QStringView(alias))
            return codePage;
    return std::nullopt;
}

QString decodeLegacy(std::string_view bytes, LegacyCodePage codePage)
{
    Codec codec(codePage);
    return decodeWith(codec, bytes);
}

std::string encodeLegacy(const QString& text, LegacyCodePage codePage)
{
    Codec codec(codePage);
    std::string bytes;
    bytes.reserve(std::size_t(text.size()));
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c.isNull())
            break;
        if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            bytes += encoded(codec, QChar::surrogateToUcs4(c, text.at(i + 1)));
            ++i;
        } else if (c.isSurrogate()) {
            bytes += '?';
        } else {
            bytes += encoded(codec, c.unicode());
        }
    }
    return bytes;
}

bool isValidIn(std::string_view bytes, LegacyCodePage codePage)
{
    const std::string_view text = untilNul(bytes);
    Codec codec(codePage);
    for (std::size_t at = 0; at < text.size();) {
        const auto sequence = codec.read(text, at);
        if (!sequence)
            return false;
        at += sequence->length;
    }
    return true;
}

namespace {

// In the order of the enumeration: an array index is the code page's value.
constexpr std::array<LegacyCodePage, 3> kCodePages{LegacyCodePage::Gbk, LegacyCodePage::Big5,
                                                   LegacyCodePage::Cp1252};
static_assert(kCodePages[std::size_t(LegacyCodePage::Big5)] == LegacyCodePage::Big5 &&
              kCodePages[std::size_t(LegacyCodePage::Cp1252)] == LegacyCodePage::Cp1252);

// How typical of song texts a character is, from the layout of its code page.
enum class Frequency { Common, Uncommon, Rare };

// GB2312's level-1 hanzi (B0A1..D7F9, the 3,755 everyday characters by
// pinyin), its punctuation and full-width rows are common; its level-2 hanzi
// and other symbol rows less so; GBK's extensions and the user-defined areas
// hardly appear in a title.
Frequency gbkFrequency(unsigned lead, unsigned trail, std::size_t length)
{
    if (length != 2 || trail < 0xA1)
        return Frequency::Rare;
    if (inRange(lead, 0xB0, 0xD6) || (lead == 0xD7 && trail <= 0xF9) || lead == 0xA1 ||
        lead == 0xA3)
        return Frequency::Common;
    if (inRange(lead, 0xD8, 0xF7) || inRange(lead, 0xA2, 0xA9))
        return Frequency::Uncommon;
    return Frequency::Rare;
}

// Big5's frequent hanzi (A440..C67E, 5,401 characters) and its punctuation
// row are common, the less frequent hanzi (C940..F9D5) and other symbols less
// so; the rest is user-defined or reserved.
Frequency big5Frequency(unsigned lead, unsigned trail)
{
    const unsigned code = lead << 8 | trail;
    if (inRange(code, 0xA440, 0xC67E) || inRange(code, 0xA140, 0xA1FE))
        return Frequency::Common;
    if (inRange(code, 0xC940, 0xF9D5) || inRange(code, 0xA240, 0xA3BF))
        return Frequency::Uncommon;
    return Frequency::Rare;
}

bool isAsciiLetter(Byte byte)
{
    return inRange(byte | 0x20, 'a', 'z');
}

bool isLatinLetter(char16_t c)
{
    return (inRange(c, 0xC0, 0xFF) && c != 0xD7 && c != 0xF7) || c == 0x0160 || c == 0x0161 ||
           c == 0x0152 || c == 0x0153 || c == 0x017D || c == 0x017E || c == 0x0178;
}

bool isLatinPunctuation(char16_t c)
{
    static constexpr std::array<char16_t, 11> kPunctuation{
        0x2018, 0x2019, 0x201C, 0x201D, 0x2013, 0x2014, 0x2026, 0x00AB, 0x00BB, 0x00A1, 0x00BF};
    return std::find(kPunctuation.begin(), kPunctuation.end(), c) != kPunctuation.end();
}

// Western words hold an accented letter, seldom two in a row, next to plain
// letters (or standing alone, as French "à"); a longer run of high bytes, or
// one mixing in symbols, is another code page read as Latin.
Frequency cp1252Frequency(std::string_view text, std::size_t at)
{
    const char16_t c = cp1252Char(Byte(text[at]));
    if (isLatinPunctuation(c))
        return Frequency::Common;
    if (!isLatinLetter(c))
        return Frequency::Rare;
    std::size_t begin = at;
    while (begin > 0 && Byte(text[begin - 1]) >= 0x80)
        --begin;
    std::size_t end = at + 1;
    while (end < text.size() && Byte(text[end]) >= 0x80)
        ++end;
    const std::string_view run = text.substr(begin, end - begin);
    const bool lettersOnly = std::all_of(run.begin(), run.end(),
                                         [](char b) { return isLatinLetter(cp1252Char(Byte(b))); });
    const bool touchesLetter = (begin > 0 && isAsciiLetter(Byte(text[begin - 1]))) ||
                               (end < text.size() && isAsciiLetter(Byte(text[end])));
    const bool wordLike = touchesLetter ? run.size() <= 2 : run.size() == 1;
    return lettersOnly && wordLike ? Frequency::Common : Frequency::Uncommon;
}

// A double-byte character whose trail byte is a letter, with more letters
// right after it, is more likely an accented capital starting a Western word
// ("Åsa" is also a frequent Big5 character and "sa").
bool readsAsLatinWord(std::string_view text, std::size_t at, std::size_t length)
{
    return length == 2 && isAsciiLetter(Byte(text[at + 1])) && at + 2 < text.size() &&
           isAsciiLetter(Byte(text[at + 2]));
}

// GB2312's pinyin row (A8A1..A8BA: ā á ǎ à ē é ... ü ê) holds the accented
// letters GBK has. Next to an ASCII letter it is a Western word in GBK, as the
// GBK write profile stores "Café"; a hanzi inside a Latin word is unlikely.
bool isGbkLatinLetter(std::string_view text, std::size_t at, std::size_t length)
{
    return length == 2 && Byte(text[at]) == 0xA8 && inRange(Byte(text[at + 1]), 0xA1, 0xBA);
}

bool letterBefore(std::string_view text, std::size_t at)
{
    return at > 0 && isAsciiLetter(Byte(text[at - 1]));
}

bool letterAfter(std::string_view text, std::size_t end)
{
    return end < text.size() && isAsciiLetter(Byte(text[end]));
}

Frequency frequencyOf(LegacyCodePage codePage, std::string_view text, std::size_t at,
                      std::size_t length)
{
    if (codePage == LegacyCodePage::Cp1252)
        return cp1252Frequency(text, at);
    const bool gbk = codePage == LegacyCodePage::Gbk;
    if (gbk && isGbkLatinLetter(text, at, length) &&
        (letterBefore(text, at) || letterAfter(text, at + length)))
        return Frequency::Common;
    const Frequency frequency = gbk ? gbkFrequency(Byte(text[at]), Byte(text[at + 1]), length)
                                    : big5Frequency(Byte(text[at]), Byte(text[at + 1]));
    const bool insideLatinWord = letterBefore(text, at) && letterAfter(text, at + length);
    return frequency == Frequency::Common && (readsAsLatinWord(text, at, length) || insideLatinWord)
               ? Frequency::Uncommon
               : frequency;
}

// What the texts of one file say about one code page.
struct Evidence {
    int characters = 0; // non-ASCII characters read
    int common = 0;
    int uncommon = 0;
    int invalid = 0; // bytes inside a text that start no valid sequence
    int cut = 0;     // texts ending inside a sequence, as a fixed-size field cuts them

    // 0..100: how much the characters look like those of real song texts.
    double plausibility() const
    {
        constexpr double kUncommonWeight = 0.25;
        return characters == 0 ? 0.0 : 100 * (common + kUncommonWeight * uncommon) / characters;
    }
};

// A lead byte as the last byte: an ID3v1 field cut at 30 bytes, not a byte
// that can never be in the code page.
bool isCutLead(std::string_view text, std::size_t at, LegacyCodePage codePage)
{
    return codePage != LegacyCodePage::Cp1252 && at + 1 == text.size() &&
           inRange(Byte(text[at]), 0x81, 0xFE);
}

void weigh(Evidence& evidence, Codec& codec, std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        if (Byte(text[at]) < 0x80) {
            ++at;
            continue;
        }
        const auto sequence = codec.read(text, at);
        if (!sequence) {
            ++(isCutLead(text, at, codec.codePage()) ? evidence.cut : evidence.invalid);
            ++at;
            continue;
        }
        const Frequency frequency = frequencyOf(codec.codePage(), text, at, sequence->length);
        ++evidence.characters;
        evidence.common += frequency == Frequency::Common;
        evidence.uncommon += frequency == Frequency::Uncommon;
        at += sequence->length;
    }
}

std::vector<std::string_view> nonAsciiTexts(const std::vector<std::string_view>& texts)
{
    std::vector<std::string_view> telling;
    for (const std::string_view text : texts) {
        const std::string_view cut = untilNul(text);
        if (std::any_of(cut.begin(), cut.end(), [](char c) { return Byte(c) >= 0x80; }))
            telling.push_back(cut);
    }
    return telling;
}

// Scores of the code pages from the texts' structure: those with more invalid
// bytes than another are out, a cut text costs a little.
std::array<double, 3> structureScores(const std::array<Evidence, 3>& evidence)
{
    constexpr double kOut = -1e9;
    constexpr double kCutCost = 10;
    int fewestInvalid = evidence[0].invalid;
    for (const Evidence& e : evidence)
        fewestInvalid = std::min(fewestInvalid, e.invalid);
    std::array<double, 3> scores{};
    for (std::size_t i = 0; i < scores.size(); ++i)
        scores[i] = evidence[i].invalid > fewestInvalid
                        ? kOut
                        : evidence[i].plausibility() - kCutCost * evidence[i].cut;
    return scores;
}

// ICU's share of the vote. Its CJK recognizers answer 10 to anything under
// eleven double-byte characters, and its Latin n-grams need words, so on short
// fields it cannot outvote clear structural evidence; it settles close calls
// (an uppercase "Ä" before a letter is also a frequent Big5 character).
constexpr double kIcuWeight = 0.25;

struct DetectorClose {
    void operator()(UCharsetDetector* detector) const { ucsdet_close(detector); }
};

} // namespace

struct LegacyDetector::State {
    std::array<Codec, 3> codecs{Codec(LegacyCodePage::Gbk), Codec(LegacyCodePage::Big5),
                                Codec(LegacyCodePage::Cp1252)};
    std::unique_ptr<UCharsetDetector, DetectorClose> icu;
    std::string icuText; // ICU reads the texts from here; it does not copy them

    State()
    {
        UErrorCode status = U_ZERO_ERROR;
        icu.reset(ucsdet_open(&status));
        if (U_FAILURE(status))
            icu.reset();
    }

    std::array<int, 3> icuConfidences(const std::vector<std::string_view>& texts);
};

// ICU's confidence (0..100) in each code page for the texts taken together;
// ISO-8859-1 and windows-1252 both speak for Windows-1252.
std::array<int, 3> LegacyDetector::State::icuConfidences(const std::vector<std::string_view>& texts)
{
    std::array<int, 3> confidences{};
    if (!icu)
        return confidences;
    icuText.clear();
    for (const std::string_view text : texts) {
        icuText += text;
        icuText += '\n';
    }
    UErrorCode status = U_ZERO_ERROR;
    ucsdet_setText(icu.get(), icuText.data(), int32_t(icuText.size()), &status);
    int32_t count = 0;
    const UCharsetMatch** matches = ucsdet_detectAll(icu.get(), &count, &status);
    for (int32_t i = 0; U_SUCCESS(status) && i < count; ++i) {
        const char* name = ucsdet_getName(matches[i], &status);
        const int confidence = ucsdet_getConfidence(matches[i], &status);
        if (U_FAILURE(status))
            break;
        std::optional<std::size_t> index;
        if (std::strcmp(name, "GB18030") == 0)
            index = 0;
        else if (std::strcmp(name, "Big5") == 0)
            index = 1;
        else if (std::strcmp(name, "windows-1252") == 0 || std::strcmp(name, "ISO-8859-1") == 0)
            index = 2;
        if (index)
            confidences[*index] = std::max(confidences[*index], confidence);
    }
    return confidences;
}

LegacyDetector::LegacyDetector() : state_(std::make_unique<State>()) {}

LegacyDetector::~LegacyDetector() = default;

LegacyCodePage LegacyDetector::detect(const std::vector<std::string_view>& texts,
                                      LegacyCodePage preferred)
{
    const std::vector<std::string_view> telling = nonAsciiTexts(texts);
    if (telling.empty())
        return preferred;

    std::array<Evidence, 3> evidence{};
    for (std::size_t i = 0; i < kCodePages.size(); ++i)
        for (const std::string_view text : telling)
            weigh(evidence[i], state_->codecs[i], text);
    std::array<double, 3> scores = structureScores(evidence);

    // ICU runs only when its vote can change the outcome.
    std::array<double, 3> ranked = scores;
    std::sort(ranked.begin(), ranked.end());
    if (ranked[2] - ranked[1] <= kIcuWeight * 100) {
        const std::array<int, 3> icu = state_->icuConfidences(telling);
        for (std::size_t i = 0; i < scores.size(); ++i)
            scores[i] += kIcuWeight * icu[i];
    }

    // A preference outside the enumeration (a cast setting) counts as GBK.
    std::size_t best = std::size_t(preferred) < kCodePages.size() ? std::size_t(preferred) : 0;
    for (std::size_t i = 0; i < scores.size(); ++i)
        if (scores[i] > scores[best])
            best = i;
    return kCodePages[best];
}

LegacyCodePage detectLegacyCodePage(const std::vector<std::string_view>& texts,
                                    LegacyCodePage preferred)
{
    LegacyDetector detector;
    return detector.detect(texts, preferred);
}

std::optional<double> plausibilityIn(std::string_view bytes, LegacyCodePage codePage)
{
    Codec codec(codePage);
    Evidence evidence;
    weigh(evidence, codec, untilNul(bytes));
    if (evidence.invalid > 0 || evidence.cut > 0)
        return std::nullopt;
    return evidence.characters == 0 ? 100.0 : evidence.plausibility();
}

} // namespace platform
