#include "app/ReportList.h"

#include "shell/ShellControlSupport.h"

#include <QMimeData>

#include <algorithm>

TReportList::TReportList(QWidget* parent) : QTreeView(parent), model_(new TReportModel(this))
{
    model_->setDragMark([this](QMimeData& data) { ShellControls::markDragSource(data, *this); });
    setModel(model_);
}

void TReportList::setRows(std::vector<TReportRow> rows)
{
    // Cleared first, as a selection change: the window hears that the rows it
    // showed are gone.
    selectionModel()->clear();
    model_->setRows(std::move(rows));
}

bool TReportList::isRowSelected(int index) const
{
    return selectionModel()->isSelected(model_->index(index, 0));
}

std::vector<int> TReportList::selectedRows() const
{
    // From the ranges, not from every selected cell: a selection of
    // 100,000 rows is a handful of ranges.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r)
            rows.push_back(r);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TReportList::firstSelectedRow() const
{
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        if (first < 0 || range.top() < first)
            first = range.top();
    }
    return first;
}

void TReportList::selectRows(const std::vector<int>& indexes)
{
    std::vector<int> sorted = indexes;
    std::sort(sorted.begin(), sorted.end());
    QItemSelection selection;
    const int last = model_->columnCount() - 1;
    for (std::size_t i = 0; i < sorted.size();) {
        // Runs of neighbouring rows become one range.
        std::size_t j = i;
        while (j + 1 < sorted.size() && sorted[j + 1] <= sorted[j] + 1)
            ++j;
        selection.select(model_->index(sorted[i], 0), model_->index(sorted[j], last));
        i = j + 1;
    }
    if (!selection.isEmpty())
        selectionModel()->select(selection, QItemSelectionModel::Select);
}

void TReportList::setCurrentRow(int index)
{
    selectionModel()->setCurrentIndex(model_->index(index, 0), QItemSelectionModel::NoUpdate);
}

int TReportList::currentRow() const
{
    const QModelIndex current = currentIndex();
    return current.isValid() ? current.row() : -1;
}
