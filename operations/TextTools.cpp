#include "operations/TextTools.h"

#include <QChar>
#include <QHash>

using namespace Qt::StringLiterals;

namespace operations {

namespace {

bool isLatinLetter(QChar c)
{
    return c.isLetter() && c.script() == QChar::Script_Latin;
}

bool isApostrophe(QChar c)
{
    return c == u'\'' || c == QChar(0x2019);
}

// A letter or digit that a Latin word goes on with. CJK characters are not:
// "周杰伦jay" starts a word at the "j".
bool continuesWord(QChar c)
{
    return isLatinLetter(c) || c.isDigit();
}

QString wordCase(QStringView text)
{
    QString out = text.toString();
    bool inWord = false;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (isLatinLetter(c)) {
            out[i] = inWord ? c.toLower() : c.toUpper();
            inWord = true;
        } else if (isApostrophe(c)) {
            // "don't", "rock'n'roll": the letter after stays inside the word.
            inWord = inWord && i + 1 < out.size() && isLatinLetter(out.at(i + 1));
        } else {
            inWord = continuesWord(c);
        }
    }
    return out;
}

bool endsSentence(QChar c)
{
    return c == u'.' || c == u'!' || c == u'?' || c == QChar(0x3002) || c == QChar(0xFF01) ||
           c == QChar(0xFF1F);
}

QString sentenceCase(QStringView text)
{
    QString out = text.toString();
    bool start = true;
    for (qsizetype i = 0; i < out.size(); ++i) {
        const QChar c = out.at(i);
        if (isLatinLetter(c)) {
            out[i] = start ? c.toUpper() : c.toLower();
            start = false;
        } else if (endsSentence(c)) {
            start = true;
        } else if (c.isLetterOrNumber()) {
            start = false;
        }
    }
    return out;
}

bool isCjk(char32_t u)
{
    switch (QChar::script(u)) {
    case QChar::Script_Han:
    case QChar::Script_Hiragana:
    case QChar::Script_Katakana:
    case QChar::Script_Hangul:
    case QChar::Script_Bopomofo:
        return true;
    default:
        return (u >= 0x3001 && u <= 0x303F); // CJK punctuation: 、。《》「」
    }
}

bool hasCjk(QStringView text)
{
    for (const char32_t u : text.toUcs4())
        if (isCjk(u))
            return true;
    return false;
}

// The full-width marks Chinese text is written with.
bool isChineseMark(QChar c)
{
    return QStringView(u"，：；！？（）").contains(c);
}

} // namespace

QString changeCase(QStringView text, CaseMode mode)
{
    switch (mode) {
    case CaseMode::Words:
        return wordCase(text);
    case CaseMode::Sentence:
        return sentenceCase(text);
    case CaseMode::Upper:
    case CaseMode::Lower: {
        QString out = text.toString();
        for (QChar& c : out)
            if (isLatinLetter(c))
                c = mode == CaseMode::Upper ? c.toUpper() : c.toLower();
        return out;
    }
    }
    return text.toString();
}

QString toHalfWidth(QStringView text)
{
    const bool chinese = hasCjk(text);
    QString out = text.toString();
    for (QChar& c : out) {
        const char16_t u = c.unicode();
        if (u == 0x3000)
            c = u' ';
        else if (u >= 0xFF01 && u <= 0xFF5E && !(chinese && isChineseMark(c)))
            c = QChar(char16_t(u - 0xFEE0));
    }
    return out;
}

// ---- find and replace ----------------------------------------------------------------

namespace {

// "$1" as "\1": both are how users write a group in a replacement.
QString qtReplacement(const QString& replacement)
{
    QString out;
    out.reserve(replacement.size());
    for (qsizetype i = 0; i < replacement.size(); ++i) {
        const QChar c = replacement.at(i);
        if (c == u'$' && i + 1 < replacement.size() && replacement.at(i + 1).isDigit())
            out += u'\\';
        else
            out += c;
    }
    return out;
}

} // namespace

TextReplacer::TextReplacer(const QString& find, const QString& replacement, bool regex,
                           bool caseSensitive)
{
    QRegularExpression::PatternOptions options = QRegularExpression::UseUnicodePropertiesOption;
    if (!caseSensitive)
        options |= QRegularExpression::CaseInsensitiveOption;
    if (regex)
        expression_ = QRegularExpression(find, options);
    else
        plain_ = find;
    caseSensitivity_ = caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive;
    // A plain replacement is taken as typed: a "\1" in it is text.
    replacement_ = regex ? qtReplacement(replacement) : replacement;
    usable_ = !find.isEmpty() && expression_.isValid();
}

QString TextReplacer::error() const
{
    return expression_.isValid() ? QString() : expression_.errorString();
}

QString TextReplacer::apply(const QString& text) const
{
    if (!usable_)
        return text;
    QString out = text;
    if (!plain_.isEmpty())
        return out.replace(plain_, replacement_, caseSensitivity_);
    return out.replace(expression_, replacement_);
}

// ---- advertisements -------------------------------------------------------------------

namespace {

// Removes every match, leaving one space where a removal brought two together.
QString removeMatches(const QString& text, const QRegularExpression& expression)
{
    QString out;
    qsizetype from = 0;
    auto matches = expression.globalMatch(text);
    while (matches.hasNext()) {
        const QRegularExpressionMatch match = matches.next();
        if (match.capturedLength() == 0)
            continue;
        out += QStringView(text).mid(from, match.capturedStart() - from);
        from = match.capturedEnd();
        while (out.endsWith(u' ') && from < text.size() && text.at(from) == u' ')
            ++from;
    }
    if (from == 0)
        return text;
    out += QStringView(text).mid(from);
    return out;
}

} // namespace

AdStripper::AdStripper(const QStringList& patterns)
{
    for (const QString& pattern : patterns) {
        if (pattern.trimmed().isEmpty())
            continue;
        QRegularExpression expression(pattern, QRegularExpression::UseUnicodePropertiesOption |
                                                   QRegularExpression::CaseInsensitiveOption);
        if (expression.isValid())
            expressions_.push_back(std::move(expression));
        else
            errors_ << pattern + u": "_s + expression.errorString();
    }
}

QString AdStripper::apply(const QString& text) const
{
    QString out = text;
    for (const QRegularExpression& expression : expressions_)
        out = removeMatches(out, expression);
    return out == text ? text : out.trimmed();
}

QStringList AdStripper::presets()
{
    // Brackets first: "[www.xxx.com]" goes with its brackets. 《》 are left
    // alone, they hold titles.
    return {
        uR"([\[【(（{]\s*[^\[\]【】()（）{}]*?(?:www\.|https?://|\.(?:com|net|org|cn|cc|tv|fm)(?![a-z])|QQ|群|提供|下载|论坛|网站|音乐网)[^\[\]【】()（）{}]*[\]】)）}])"_s,
        uR"((?:https?://|www\.)[^\s\[\]()（）【】<>《》]+)"_s,
        uR"((?<![a-z0-9.-])[a-z0-9][a-z0-9-]*(?:\.[a-z0-9-]+)*\.(?:com|net|org|cn|cc|tv|fm)(?![a-z0-9-])(?:/[^\s\[\]()（）【】]*)?)"_s,
        uR"(QQ\s*群?\s*[:：]?\s*\d{5,}|QQ群\S*)"_s,
        uR"([^\s,，。]*提供(?:下载)?)"_s,
    };
}

// ---- track numbers ---------------------------------------------------------------------

std::vector<QString> trackNumbers(const std::vector<QString>& folders, const Numbering& numbering)
{
    QHash<QString, int> perFolder; // files of each folder
    for (const QString& folder : folders)
        ++perFolder[folder];
    QHash<QString, int> next; // the next number of each folder
    const auto padded = [&](int n) {
        return QString::number(n).rightJustified(numbering.width, u'0');
    };
    std::vector<QString> out;
    out.reserve(folders.size());
    int counter = numbering.start;
    for (const QString& folder : folders) {
        int n = counter++;
        if (numbering.restartPerFolder) {
            auto it = next.find(folder);
            if (it == next.end())
                it = next.insert(folder, numbering.start);
            n = (*it)++;
        }
        QString text = padded(n);
        if (numbering.total == Numbering::Total::Selected)
            text += u'/' + padded(int(folders.size()));
        else if (numbering.total == Numbering::Total::Folder)
            text += u'/' + padded(perFolder.value(folder));
        out.push_back(text);
    }
    return out;
}

} // namespace operations
