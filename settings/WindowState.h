#pragma once

#include "settings/IniFile.h"

#include <QList>
#include <QRect>

#include <optional>

namespace settings {

// Section "Window": how the main window was left, restored at the next start.
// "Left", "Top", "Width", "Height": the window's place without its frame,
// as it is when not maximised; "Maximized": 1 or 0; "TreeWidth": the folder
// tree's width; "PagesHeight": the height of the pages under the list;
// "Columns": the list's column widths by column number, comma-separated
// (hidden columns too, at the width they come back with; an older file
// has the first five only); "ShownColumns": the
// list's columns shown, by number (0 the name, 1 to 6 title to comment, 7
// to 10 track, disc, album artist, composer); "ColumnOrder": the columns by
// number in the order shown, left to right. A value that is
// missing or no number is left out: the window keeps its designed layout
// there, and no error is shown for it.
struct WindowState {
    std::optional<QRect> geometry;
    bool maximized = false;
    std::optional<int> treeWidth;
    std::optional<int> pagesHeight;
    QList<int> columns;
    QList<int> shownColumns;
    QList<int> columnOrder;
};

WindowState readWindowState(const TIniFile& ini);
// Throws as TIniFile::WriteString does.
void writeWindowState(TIniFile& ini, const WindowState& state);

} // namespace settings
