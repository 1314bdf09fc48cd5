#include "app/ReportList.h"

#include "shell/ShellControlSupport.h"

#include <QHeaderView>
#include <QMimeData>

#include <algorithm>

TReportList::TReportList(QWidget* parent) : QTreeView(parent), model_(new TReportModel(this))
{
    model_->setDragMark([this](QMimeData& data) { ShellControls::markDragSource(data, *this); });
    setModel(model_);
    // Unsorted until the user clicks a header: the folder's own order.
    header()->setSectionsClickable(true);
    header()->setSortIndicatorShown(true);
    header()->setSortIndicator(-1, Qt::AscendingOrder);
    connect(header(), &QHeaderView::sortIndicatorChanged, model_,
            [this](int column, Qt::SortOrder order) { model_->sort(column, order); });
}

void TReportList::setRows(std::vector<TReportRow> rows)
{
    // Cleared first, as a selection change: the window hears that the rows it
    // showed are gone.
    selectionModel()->clear();
    model_->setRows(std::move(rows));
    if (!filter_.isEmpty())
        applyFilter();
}

void TReportList::setFilter(const QString& text)
{
    if (text == filter_)
        return;
    filter_ = text;
    applyFilter();
}

bool TReportList::matches(int index, const std::vector<int>& columns) const
{
    for (const int c : columns) {
        if (model_->cellText(index, c).contains(filter_, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

void TReportList::applyFilter()
{
    // The name always counts, shown or not.
    std::vector<int> columns{TReportModel::NameColumn};
    for (int c = TReportModel::NameColumn + 1; c < TReportModel::ColumnCount; ++c) {
        if (!header()->isSectionHidden(c))
            columns.push_back(c);
    }
    for (int i = 0; i < rowCount(); ++i) {
        const bool hide = !filter_.isEmpty() && !matches(i, columns);
        // Only the rows that change: a view told to hide a hidden row lays
        // itself out again all the same.
        if (hide != isRowHidden(i, {}))
            setRowHidden(i, {}, hide);
    }
    std::vector<int> hiddenSelected;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            if (isRowHidden(r, {}))
                hiddenSelected.push_back(r);
        }
    }
    if (!hiddenSelected.empty())
        selectionModel()->select(rowRanges(hiddenSelected), QItemSelectionModel::Deselect);
}

void TReportList::selectAll()
{
    // The view's own would select the hidden rows between the first and the
    // last shown one.
    if (filter_.isEmpty()) {
        QTreeView::selectAll();
        return;
    }
    std::vector<int> shown;
    for (int i = 0; i < rowCount(); ++i) {
        if (!isRowHidden(i, {}))
            shown.push_back(i);
    }
    selectRows(shown);
}

bool TReportList::isRowSelected(int index) const
{
    return selectionModel()->isSelected(model_->index(index, 0)) &&
           (filter_.isEmpty() || !isRowHidden(index, {}));
}

std::vector<int> TReportList::selectedRows() const
{
    // From the ranges, not from every selected cell: a selection of
    // 100,000 rows is a handful of ranges.
    std::vector<int> rows;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        for (int r = range.top(); r <= range.bottom(); ++r) {
            if (filter_.isEmpty() || !isRowHidden(r, {}))
                rows.push_back(r);
        }
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

int TReportList::firstSelectedRow() const
{
    int first = -1;
    for (const QItemSelectionRange& range : selectionModel()->selection()) {
        int top = range.top();
        while (top <= range.bottom() && !filter_.isEmpty() && isRowHidden(top, {}))
            ++top;
        if (top <= range.bottom() && (first < 0 || top < first))
            first = top;
    }
    return first;
}

QItemSelection TReportList::rowRanges(std::vector<int> rows) const
{
    std::sort(rows.begin(), rows.end());
    QItemSelection selection;
    const int last = model_->columnCount() - 1;
    for (std::size_t i = 0; i < rows.size();) {
        // Runs of neighbouring rows become one range.
        std::size_t j = i;
        while (j + 1 < rows.size() && rows[j + 1] <= rows[j] + 1)
            ++j;
        selection.select(model_->index(rows[i], 0), model_->index(rows[j], last));
        i = j + 1;
    }
    return selection;
}

void TReportList::selectRows(const std::vector<int>& indexes)
{
    std::vector<int> shown;
    shown.reserve(indexes.size());
    for (const int i : indexes) {
        if (filter_.isEmpty() || !isRowHidden(i, {}))
            shown.push_back(i);
    }
    const QItemSelection selection = rowRanges(std::move(shown));
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
