#pragma once

#include "app/ReportModel.h"
#include "app/RowReading.h"

#include <QTreeView>

#include <functional>
#include <vector>

// The main window's report list: a view of the folder's rows (app/ReportModel.h).
// Rows are addressed by their index in list order, which is the order shown:
// a click on a column's header sorts the rows themselves. Its rows can be
// dragged onto the folder tree, which then knows the drag came from here.
//
// A filter hides the rows that do not match it; a hidden row is never
// selected, so that no command acts on a row the user cannot see.
//
// The rows' tags are read in the background once rows are given
// (app/RowReading.h). A filter typed before that is done stays quick: it
// reads a few rows itself and judges the others by what is there to judge.
// A row whose tags are not read yet stays shown, as it may match; it is
// hidden, if it does not, when the background reading gets to it. So no row
// that matches is ever hidden, and the list settles on its own.
class TReportList : public QTreeView {
public:
    explicit TReportList(QWidget* parent = nullptr);

    TReportModel& rows() const { return *model_; }
    int rowCount() const { return model_->count(); }
    const TReportRow& row(int index) const { return model_->row(index); }
    // The rows the list shows from now on; no row is selected then. They
    // are sorted and filtered as the rows before them.
    void setRows(std::vector<TReportRow> rows);

    // Shows only the rows whose name or shown cells contain the text,
    // whatever the case; an empty text shows every row. Hidden rows are
    // deselected.
    void setFilter(const QString& text);
    const QString& filter() const { return filter_; }
    // The filter again, after the columns shown changed.
    void refilter() { applyFilter(); }
    void selectAll() override;

    // While this says so, the rows' tags are not read in the background.
    void setReadingPaused(std::function<bool()> paused) { reading_.setPaused(std::move(paused)); }
    // The background reading has rows left to pass.
    bool readingRows() const { return reading_.running(); }

    bool isRowSelected(int index) const;
    // The selected rows in list order; -1 for none.
    std::vector<int> selectedRows() const;
    int firstSelectedRow() const;
    // Adds the rows to the selection, leaving the current row alone.
    void selectRows(const std::vector<int>& indexes);
    // The row that has the keyboard, made current without selecting it.
    void setCurrentRow(int index);
    int currentRow() const;

private:
    bool matches(int index, const std::vector<int>& columns) const;
    // The name's column and the shown ones: what the filter looks at.
    std::vector<int> filteredColumns() const;
    void hideRow(int index, bool hide);
    void deselectHidden();
    QItemSelection rowRanges(std::vector<int> rows) const;
    void applyFilter();
    // The filter again over rows whose tags the background reading passed.
    void filterRows(int first, int last);

    TReportModel* model_;
    QString filter_;
    TRowReading reading_;
};
