#include "cli/Output.h"

#include "platform/FileNameCodec.h"

#include <algorithm>

using namespace Qt::StringLiterals;

namespace cli {

namespace {

bool isWide(char32_t c)
{
    struct Range {
        char32_t first, last;
    };
    // East Asian Wide and Fullwidth blocks (Unicode 15, coarse where blocks
    // are whole).
    static constexpr Range wide[] = {
        {0x1100, 0x115F},   {0x231A, 0x231B},   {0x2329, 0x232A},   {0x23E9, 0x23EC},
        {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},   {0x4E00, 0x9FFF},
        {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},   {0xF900, 0xFAFF},
        {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},   {0xFFE0, 0xFFE6},
        {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD}, {0x30000, 0x3FFFD},
    };
    return std::any_of(std::begin(wide), std::end(wide),
                       [c](const Range& r) { return c >= r.first && c <= r.last; });
}

int charWidth(char32_t c)
{
    if (c >= 0xDC80 && c <= 0xDCFF)
        return 1; // a byte of a name that is not UTF-8
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return 0;
    switch (QChar::category(c)) {
    case QChar::Mark_NonSpacing:
    case QChar::Mark_Enclosing:
    case QChar::Other_Format:
        return 0;
    default:
        break;
    }
    return isWide(c) ? 2 : 1;
}

// Tag texts on one line: a comment's line breaks and tabs become spaces.
QString oneLine(QString text)
{
    for (QChar& c : text) {
        if (c.unicode() < 0x20)
            c = u' ';
    }
    return text;
}

// A name as the legacy code page reads it, component by component: a UTF-8
// folder above a GBK file name keeps its own text.
QString shownPath(const QByteArray& native, platform::LegacyDetector& detector,
                  platform::LegacyCodePage preferred)
{
    QStringList parts;
    for (const QByteArray& part : native.split('/'))
        parts.append(platform::shownFileName(part, detector, preferred));
    return parts.join(u'/');
}

} // namespace

int displayWidth(const QString& text)
{
    int width = 0;
    for (const char32_t c : text.toUcs4())
        width += charWidth(c);
    return width;
}

Cell textCell(const QString& text)
{
    const QString line = oneLine(text);
    return {line.toUtf8(), displayWidth(line)};
}

Cell pathCell(const QString& path)
{
    return {platform::encodeFileName(path), displayWidth(path)};
}

void Result::fail(const QString& path, const QString& why)
{
    status = std::max<int>(status, SomeFailed);
    errors.push_back(platform::encodeFileName(path) + ": " + why.toUtf8());
}

void Result::warn(const QString& line)
{
    errors.push_back(line.toUtf8());
}

QByteArray formatTable(const std::vector<std::vector<Cell>>& rows)
{
    std::vector<int> widths;
    for (const auto& row : rows) {
        widths.resize(std::max(widths.size(), row.size()));
        for (std::size_t c = 0; c < row.size(); ++c)
            widths[c] = std::max(widths[c], row[c].width);
    }
    QByteArray out;
    for (const auto& row : rows) {
        QByteArray line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            line += row[c].bytes;
            if (c + 1 < row.size())
                line += QByteArray(widths[c] - row[c].width + 2, ' ');
        }
        // Empty trailing cells leave no trailing blanks.
        while (line.endsWith(' '))
            line.chop(1);
        out += line + '\n';
    }
    return out;
}

QJsonObject fileObject(const QString& path, platform::LegacyDetector& detector,
                       platform::LegacyCodePage preferred)
{
    const QByteArray native = platform::encodeFileName(path);
    if (platform::isUtf8Name(native))
        return {{u"file"_s, path}};
    return {{u"file"_s, shownPath(native, detector, preferred)},
            {u"path_bytes"_s, QString::fromLatin1(native.toPercentEncoding("/"))}};
}

} // namespace cli
