#pragma once

#include <QStringView>
#include <Qt>

#include <vector>

namespace platform {
class TextCollator;
}

// How the report list orders its rows by one column's cells: a number column
// (year, track, disc) by the number the cell starts with, so that "2" comes
// before "10" and "3/12" counts as 3, then any cell of it that is no number
// by its text; a text column by the collation. Empty cells come last in
// either direction: a sort is for finding what is there. Cells that order
// alike keep the order they had.
enum class CellKind { Text, Number };

// The cells' indexes in sorted order.
std::vector<int> sortedCells(const std::vector<QStringView>& cells, CellKind kind,
                             Qt::SortOrder order, const platform::TextCollator& collator);
