#pragma once

#include "app/ReportModel.h"

#include <QTreeView>

#include <vector>

// The main window's report list: a view of the folder's rows (app/ReportModel.h).
// Rows are addressed by their index in list order. Its rows can be dragged
// onto the folder tree, which then knows the drag came from here.
class TReportList : public QTreeView {
public:
    explicit TReportList(QWidget* parent = nullptr);

    TReportModel& rows() const { return *model_; }
    int rowCount() const { return model_->count(); }
    const TReportRow& row(int index) const { return model_->row(index); }
    // The rows the list shows from now on; no row is selected then.
    void setRows(std::vector<TReportRow> rows);

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
    TReportModel* model_;
};
