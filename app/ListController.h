#pragma once

#include <QObject>

class QLineEdit;
class QMenu;
class TReportList;

namespace settings {
struct WindowState;
}

// The report list's own controls: the header's menu that shows or hides
// each column, the order and choice of columns kept from one run to the
// next, and the filter field above the list. (A click on a header sorts:
// the list does that itself.)
class TListController : public QObject {
public:
    TListController(TReportList& list, QLineEdit& filter);

    // The columns as they were left; the window's defaults where the state
    // says nothing or nothing usable.
    void restoreColumns(const settings::WindowState& state);
    void saveColumns(settings::WindowState& state) const;

    // The header's menu, made once: one checkable item a column.
    QMenu& columnsMenu() const { return *menu_; }

private:
    void showColumn(int column, bool shown);
    void syncMenu();

    TReportList& list_;
    QMenu* menu_;
};
