#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <vector>

// The clean-up tools of tag texts and file names, one text at a time: case,
// find and replace, full-width folding, advertisement removal, and the track
// numbers of a run of files. What a tool does to one text never depends on
// the file it came from, so a preview gives exactly what a run writes.
namespace operations {

// 首字母大写, 全部大写, 全部小写, 句首大写. Only Latin letters change case:
// CJK, Greek, Cyrillic and the rest stay as they are.
enum class CaseMode { Words, Upper, Lower, Sentence };
QString changeCase(QStringView text, CaseMode mode);

// Full-width Latin letters, digits, the ideographic space and full-width
// ASCII punctuation to their ASCII forms. The full-width marks Chinese text
// writes with (，：；！？（）) stay where they touch a CJK character: they are
// that text's punctuation, not Latin text typed wide. 《》、。「」 stay always.
QString toHalfWidth(QStringView text);

// Find and replace: plain text or a regular expression whose replacement
// may name its groups ("\\1" or "$1"), with or without regard to case.
class TextReplacer {
public:
    TextReplacer(const QString& find, const QString& replacement, bool regex, bool caseSensitive);
    // Empty when the expression is valid; otherwise why it is not.
    QString error() const;
    // The text with every match replaced; as it was with an empty or invalid
    // expression.
    QString apply(const QString& text) const;

private:
    QRegularExpression expression_;
    QString plain_; // what a plain search looks for
    Qt::CaseSensitivity caseSensitivity_ = Qt::CaseSensitive;
    QString replacement_;
    bool usable_ = false;
};

// Removes the texts matching any of a list of regular expressions, then the
// spaces the removal left at the ends (and doubled inside).
class AdStripper {
public:
    explicit AdStripper(const QStringList& patterns);
    // The patterns that are not valid expressions, each with why.
    QStringList errors() const { return errors_; }
    QString apply(const QString& text) const;

    // The shipped list: web addresses, "QQ群…", "…提供", bracketed site names.
    static QStringList presets();

private:
    std::vector<QRegularExpression> expressions_;
    QStringList errors_;
};

// Track numbers for files in the order given.
struct Numbering {
    int start = 1;
    enum class Total { None, Selected, Folder };
    Total total = Total::None;
    int width = 0;                 // zero padding of the number (and the total)
    bool restartPerFolder = false; // start again at each new folder
};
// One "n" or "n/total" per file; `folders` holds each file's folder, in the
// order the files are numbered.
std::vector<QString> trackNumbers(const std::vector<QString>& folders, const Numbering& numbering);

} // namespace operations
