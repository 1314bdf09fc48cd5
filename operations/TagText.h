#pragma once

#include "platform/LegacyText.h"
#include "tags/ID3v2.h"
#include "tags/Text.h"

#include <QString>

#include <array>
#include <optional>
#include <string>

class TID3v1;

// Tag texts to and from what the window shows, in one place: the code page
// of a file's legacy texts, and the form an edited text is written in.
namespace operations {

// How edited ID3v2 texts are written: Unicode (UTF-16; pure ASCII keeps
// encoding byte 0), or code-page bytes (GBK) for devices that know no other.
enum class WriteEncoding { Unicode, Gbk };

// The texts of one file: read in the code pages decided for its legacy
// texts, written in the chosen form. ID3v1 is written in the code page its
// texts were read in (the preferred one for a file without legacy texts), so
// a file may hold Big5 in ID3v1 beside Unicode frames, and each tag has a code
// page of its own.
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
    // A field the user left alone, when its tag is written: the text the
    // user saw, in the write form of the tag. A legacy text becomes Unicode
    // in the Unicode profile, GBK in the GBK profile, so that the edit of one
    // field never changes how another is read; other texts stay as they are.
    tags::Text kept(const tags::Text& read) const;
    // The same for the tag's other frames: set on the tag before it is
    // written (TID3v2::Rewrite); none when they stay as they are.
    std::optional<TID3v2::LegacyRewrite> rewrite() const;
    // An ID3v1 field from a widget: its bytes while the widget shows them,
    // else the text in the tag's code page, what it lacks folded.
    std::string editedV1(const QString& widget, const std::string& read) const;

    // An ID3v1 field copied into the ID3v2 field that holds `current`.
    tags::Text fromV1(const std::string& v1Bytes, const tags::Text& current) const;
    // An ID3v2 text for ID3v1, in ID3v1's code page.
    std::string toV1(const tags::Text& text) const;
    // A new text in the write form.
    tags::Text written(const QString& text) const;

private:
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
