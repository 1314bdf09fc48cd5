#include "app/ReportList.h"

#include "shell/ShellControlSupport.h"

#include <QHeaderView>
#include <QMimeData>

#include <algorithm>

namespace {

// The rows a filter reads itself when their tags are not read yet: a folder
// of a few hundred files is filtered whole at once, a bigger one is not held
// up by it (some 60 µs a file).
constexpr int kRowsReadByFilter = 256;

} // namespace

TReportList::TReportList(QWidget* parent)
    : QTreeView(parent), model_(new TReportModel(this)),
      reading_(*model_, [this](int first, int last) { filterRows(first, last); })
{
    model_->setDragMark([this](QMimeData& data) { ShellControls::markDragSource(data, *this); });
    // New rows are read from the first; so are rows moved or taken away,
    // which leave the walk's place behind (the rows read are passed quickly).
    connect(model_, &QAbstractItemModel::modelReset, this, [this] { reading_.restart(); });
    connect(model_, &QAbstractItemModel::layoutChanged, this, [this] { reading_.restart(); });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] { reading_.restart(); });
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

std::vector<int> TReportList::filteredColumns() const
{
    // The name always counts, shown or not.
    std::vector<int> columns{TReportModel::NameColumn};
    for (int c = TReportModel::NameColumn + 1; c < TReportModel::ColumnCount; ++c) {
        if (!header()->isSectionHidden(c))
            columns.push_back(c);
    }
    return columns;
}

void TReportList::hideRow(int index, bool hide)
{
    // Only the rows that change: a view told to hide a hidden row lays
    // itself out again all the same.
    if (hide != isRowHidden(index, {}))
        setRowHidden(index, {}, hide);
}

void TReportList::applyFilter()
{
    const std::vector<int> columns = filteredColumns();
    int readHere = kRowsReadByFilter;
    for (int i = 0; i < rowCount(); ++i) {
        if (filter_.isEmpty()) {
            hideRow(i, false);
            continue;
        }
        // A row not read yet may match by its tags: shown until they are read.
        const bool known = model_->isRead(i) || readHere-- > 0;
        hideRow(i, known && !matches(i, columns));
    }
    deselectHidden();
}

void TReportList::filterRows(int first, int last)
{
    if (filter_.isEmpty())
        return;
    const std::vector<int> columns = filteredColumns();
    std::vector<int> hiddenSelected;
    for (int i = first; i <= last && i < rowCount(); ++i) {
        const bool hide = !matches(i, columns);
        if (hide == isRowHidden(i, {}))
            continue;
        setRowHidden(i, {}, hide);
        if (hide && selectionModel()->isRowSelected(i, {}))
            hiddenSelected.push_back(i);
    }
    if (!hiddenSelected.empty())
        selectionModel()->select(rowRanges(hiddenSelected), QItemSelectionModel::Deselect);
}

void TReportList::deselectHidden()
{
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
