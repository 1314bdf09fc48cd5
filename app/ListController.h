#pragma once

#include "app/ReportModel.h"

#include <QObject>

#include <array>

class QLineEdit;
class QMenu;
class TReportList;

namespace settings {
struct WindowState;
}

// The report list's own controls: the header's menu that shows or hides
// each column, the order, choice and widths of columns kept from one run to
// the next, and the filter field above the list. (A click on a header sorts:
// the list does that itself.)
class TListController : public QObject {
public:
    TListController(TReportList& list, QLineEdit& filter);

    // The columns as they were left; the window's defaults where the state
    // says nothing or nothing usable.
    void restoreColumns(const settings::WindowState& state);
    // The widths only once the user sized a column (or the last run kept
    // them): widths the program fitted itself are fitted again next time.
    void saveColumns(settings::WindowState& state) const;
    // The name column fitted to the names, unless the widths are the user's.
    void fitNameColumn();

    // The header's menu, made once: one checkable item a column.
    QMenu& columnsMenu() const { return *menu_; }

private:
    void showColumn(int column, bool shown);
    void syncMenu();
    void restoreWidths(const QList<int>& widths);
    void sized(int column, int width);
    // The last column shown, which takes the rest of the list's width.
    bool isStretched(int column) const;

    TReportList& list_;
    QMenu* menu_;
    // Each column's width, a hidden one's as it was last shown: the header
    // gives none for a hidden column.
    std::array<int, TReportModel::ColumnCount> widths_{};
    bool widthsKept_ = false; // the user's (or the last run's) widths
    bool sizing_ = false;     // the program sizes the columns itself
};
