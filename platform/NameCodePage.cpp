#include "platform/NameCodePage.h"

#include <unicode/ucnv.h>

#include <memory>
#include <vector>

namespace platform {

namespace {

using Byte = unsigned char;

// Below this share of typical characters a reading is taken for mojibake.
constexpr double kTypical = 60;
// A reading wins only this far ahead of the other.
constexpr double kMargin = 25;

bool inRange(unsigned value, unsigned low, unsigned high)
{
    return value >= low && value <= high;
}

struct ConverterClose {
    void operator()(UConverter* converter) const { ucnv_close(converter); }
};

// The bytes read whole as Shift-JIS (Windows' code page 932), or nullopt.
std::optional<QString> shiftJisText(std::string_view bytes)
{
    UErrorCode status = U_ZERO_ERROR;
    const std::unique_ptr<UConverter, ConverterClose> icu(ucnv_open("windows-31j", &status));
    ucnv_setToUCallBack(icu.get(), UCNV_TO_U_CALLBACK_STOP, nullptr, nullptr, nullptr, &status);
    if (U_FAILURE(status))
        return std::nullopt;
    std::vector<UChar> units(bytes.size() + 1);
    const int32_t length = ucnv_toUChars(icu.get(), units.data(), int32_t(units.size()),
                                         bytes.data(), int32_t(bytes.size()), &status);
    if (U_FAILURE(status))
        return std::nullopt;
    return QString(reinterpret_cast<const QChar*>(units.data()), length);
}

// 0..100: the share of Shift-JIS characters typical of names: JIS level-1
// kanji, kana, full-width letters and punctuation count whole, level-2 kanji
// and half-width kana a quarter, the extension and user rows nothing. The
// bytes are known to read whole.
double shiftJisPlausibility(std::string_view bytes)
{
    double score = 0;
    int characters = 0;
    for (std::size_t at = 0; at < bytes.size();) {
        const unsigned lead = Byte(bytes[at]);
        if (lead < 0x80) {
            ++at;
            continue;
        }
        ++characters;
        if (inRange(lead, 0xA1, 0xDF)) {
            score += 0.25;
            ++at;
            continue;
        }
        const unsigned code = lead << 8 | (at + 1 < bytes.size() ? Byte(bytes[at + 1]) : 0);
        if (inRange(code, 0x889F, 0x9872) || inRange(code, 0x8140, 0x81AC) ||
            inRange(code, 0x824F, 0x8396))
            score += 1;
        else if (inRange(code, 0x989F, 0xEAA4))
            score += 0.25;
        at += 2;
    }
    return characters == 0 ? 100 : 100 * score / characters;
}

struct Reading {
    QString text;
    double plausibility = 0;
};

} // namespace

std::optional<QString> confidentNameText(std::string_view bytes, LegacyDetector& detector,
                                         LegacyCodePage preferred)
{
    std::vector<Reading> readings;
    const LegacyCodePage detected = detector.detect({bytes}, preferred);
    if (const auto plausibility = plausibilityIn(bytes, detected))
        readings.push_back({decodeLegacy(bytes, detected), *plausibility});
    if (const auto text = shiftJisText(bytes))
        readings.push_back({*text, shiftJisPlausibility(bytes)});
    if (readings.empty())
        return std::nullopt;
    // The tag code pages' reading comes first: it wins a tie.
    const Reading* best = &readings.front();
    for (const Reading& reading : readings)
        if (reading.plausibility > best->plausibility)
            best = &reading;
    if (best->plausibility < kTypical)
        return std::nullopt;
    for (const Reading& reading : readings) {
        if (&reading != best && reading.text != best->text &&
            reading.plausibility > best->plausibility - kMargin)
            return std::nullopt;
    }
    return best->text;
}

} // namespace platform
