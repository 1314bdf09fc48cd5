#pragma once

#include "platform/LegacyText.h"
#include "tags/Text.h"

#include <QString>

#include <array>
#include <string>

class TID3v1;
class TID3v2;

// Tag texts to and from what the window shows, in one place: the code page
// of a file's legacy texts, and the form an edited text is written in.
namespace operations {

// How edited ID3v2 texts are written: Unicode (UTF-16; pure ASCII keeps
// encoding byte 0), or code-page bytes (GBK) for devices that know no other.
enum class WriteEncoding { Unicode, Gbk };

// The texts of one file: read in the code pages decided for its legacy
// texts, written in the chosen form. ID3v1 is always written in GBK, which old
// devices read in their own code page; so a file may hold GBK in ID3v1 beside
// Big5 frames, and each tag has a code page of its own.
class FileTexts {
public:
    FileTexts() = default;
    FileTexts(platform::LegacyCodePage v1CodePage, platform::LegacyCodePage v2CodePage,
              WriteEncoding encoding)
        : v1CodePage_(v1CodePage), v2CodePage_(v2CodePage), encoding_(encoding)
    {
    }

    platform::LegacyCodePage v1CodePage() const { return v1CodePage_; }
    platform::LegacyCodePage v2CodePage() const { return v2CodePage_; }

    // As a widget shows it; never U+FFFD.
    QString shown(const tags::Text& text) const;
    QString shown(const std::string& v1Bytes) const;

    // What an ID3v2 field gets from a widget: the text as kept (below) while
    // the widget shows just that, else the widget's text in the write form.
    tags::Text edited(const QString& widget, const tags::Text& read) const;
    // A field the user left alone, when its tag is written: its frame stays
    // as it is, but for a legacy text of another code page in the GBK
    // profile, which becomes GBK too, so that one tag never mixes code pages.
    tags::Text kept(const tags::Text& read) const;
    // The same for an ID3v1 field, which is written whole in GBK: an
    // unchanged field keeps its bytes when they are GBK already.
    std::string editedV1(const QString& widget, const std::string& read) const;
    std::string keptV1(const std::string& read) const;

    // An ID3v1 field copied into the ID3v2 field that holds `current`.
    tags::Text fromV1(const std::string& v1Bytes, const tags::Text& current) const;
    // An ID3v2 text for ID3v1: GBK bytes.
    std::string toV1(const tags::Text& text) const;

private:
    tags::Text written(const QString& text) const;

    platform::LegacyCodePage v1CodePage_ = platform::LegacyCodePage::Gbk;
    platform::LegacyCodePage v2CodePage_ = platform::LegacyCodePage::Gbk;
    WriteEncoding encoding_ = WriteEncoding::Unicode;
};

// The rules of a run: the write form, the code page to prefer when a file's
// bytes do not decide, and a detector kept for the whole run (a one-off one
// when none is given).
struct TextRules {
    WriteEncoding encoding = WriteEncoding::Unicode;
    platform::LegacyCodePage preferred = platform::LegacyCodePage::Gbk;
    platform::LegacyDetector* detector = nullptr;

    // The texts of the file whose tags the two objects were read from. All
    // legacy texts of both tags decide together (short fields alone are too
    // short to tell); each tag's own texts may still overrule that for the
    // tag, when they tell clearly.
    FileTexts forFile(const TID3v1& v1, const TID3v2& v2) const;
};

} // namespace operations
