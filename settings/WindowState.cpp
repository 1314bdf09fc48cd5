#include "settings/WindowState.h"

using namespace Qt::StringLiterals;

namespace settings {

namespace {

const QString kWindow = u"Window"_s;

// A size or position as stored: a decimal integer, or none.
std::optional<int> readNumber(const TIniFile& ini, const QString& key)
{
    bool ok = false;
    const int value = ini.ReadString(kWindow, key, {}).trimmed().toInt(&ok);
    return ok ? std::optional<int>(value) : std::nullopt;
}

QList<int> readNumbers(const TIniFile& ini, const QString& key)
{
    QList<int> numbers;
    const QString text = ini.ReadString(kWindow, key, {});
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = part.trimmed().toInt(&ok);
        if (!ok || n < 0)
            return {}; // half a list would misplace the columns
        numbers << n;
    }
    return numbers;
}

QString joined(const QList<int>& numbers)
{
    QStringList parts;
    for (const int n : numbers)
        parts << QString::number(n);
    return parts.join(u',');
}

} // namespace

WindowState readWindowState(const TIniFile& ini)
{
    WindowState state;
    const auto left = readNumber(ini, u"Left"_s);
    const auto top = readNumber(ini, u"Top"_s);
    const auto width = readNumber(ini, u"Width"_s);
    const auto height = readNumber(ini, u"Height"_s);
    if (left && top && width && height && *width > 0 && *height > 0)
        state.geometry = QRect(*left, *top, *width, *height);
    state.maximized = readNumber(ini, u"Maximized"_s).value_or(0) != 0;
    state.treeWidth = readNumber(ini, u"TreeWidth"_s);
    state.pagesHeight = readNumber(ini, u"PagesHeight"_s);
    state.columns = readNumbers(ini, u"Columns"_s);
    state.shownColumns = readNumbers(ini, u"ShownColumns"_s);
    state.columnOrder = readNumbers(ini, u"ColumnOrder"_s);
    return state;
}

void writeWindowState(TIniFile& ini, const WindowState& state)
{
    if (state.geometry) {
        ini.WriteInteger(kWindow, u"Left"_s, state.geometry->left());
        ini.WriteInteger(kWindow, u"Top"_s, state.geometry->top());
        ini.WriteInteger(kWindow, u"Width"_s, state.geometry->width());
        ini.WriteInteger(kWindow, u"Height"_s, state.geometry->height());
    }
    ini.WriteInteger(kWindow, u"Maximized"_s, state.maximized ? 1 : 0);
    if (state.treeWidth)
        ini.WriteInteger(kWindow, u"TreeWidth"_s, *state.treeWidth);
    if (state.pagesHeight)
        ini.WriteInteger(kWindow, u"PagesHeight"_s, *state.pagesHeight);
    ini.WriteString(kWindow, u"Columns"_s, joined(state.columns));
    // Left alone when there is nothing to say: the window's defaults stay.
    if (!state.shownColumns.isEmpty())
        ini.WriteString(kWindow, u"ShownColumns"_s, joined(state.shownColumns));
    if (!state.columnOrder.isEmpty())
        ini.WriteString(kWindow, u"ColumnOrder"_s, joined(state.columnOrder));
}

} // namespace settings
