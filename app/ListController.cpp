#include "app/ListController.h"

#include "app/ReportList.h"
#include "settings/WindowState.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QScopedValueRollback>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

TListController::TListController(TReportList& list, QLineEdit& filter)
    : list_(list), menu_(new QMenu(&list))
{
    menu_->setObjectName(u"PopupMenuColumns"_s);
    QAbstractItemModel& model = list.rows();
    for (int c = 0; c < TReportModel::ColumnCount; ++c) {
        QAction* action =
            menu_->addAction(model.headerData(c, Qt::Horizontal, Qt::DisplayRole).toString());
        action->setObjectName(u"MenuColumn%1"_s.arg(c));
        action->setCheckable(true);
        // Every row is known by its name: that column stays.
        action->setEnabled(c != TReportModel::NameColumn);
        connect(action, &QAction::toggled, this, [this, c](bool on) { showColumn(c, on); });
    }
    syncMenu();
    QHeaderView* header = list.header();
    header->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(header, &QWidget::customContextMenuRequested, this, [this, header](const QPoint& at) {
        syncMenu();
        menu_->popup(header->mapToGlobal(at));
    });
    connect(&filter, &QLineEdit::textChanged, this,
            [this](const QString& text) { list_.setFilter(text); });
    widths_.fill(header->defaultSectionSize());
    for (int c = 0; c < TReportModel::ColumnCount; ++c) {
        if (!header->isSectionHidden(c))
            widths_[std::size_t(c)] = header->sectionSize(c);
    }
    connect(header, &QHeaderView::sectionResized, this,
            [this](int column, int, int width) { sized(column, width); });
}

void TListController::sized(int column, int width)
{
    // Hiding a column sizes it to nothing: the width it had is kept.
    if (width <= 0 || column < 0 || column >= TReportModel::ColumnCount)
        return;
    widths_[std::size_t(column)] = width;
    // The last column is stretched by the list, not sized by the user.
    if (!sizing_ && !isStretched(column))
        widthsKept_ = true;
}

bool TListController::isStretched(int column) const
{
    const QHeaderView* header = list_.header();
    if (!header->stretchLastSection())
        return false;
    for (int visual = header->count() - 1; visual >= 0; --visual) {
        const int last = header->logicalIndex(visual);
        if (!header->isSectionHidden(last))
            return last == column;
    }
    return false;
}

void TListController::fitNameColumn()
{
    if (widthsKept_)
        return;
    const QScopedValueRollback sizing(sizing_, true);
    list_.resizeColumnToContents(TReportModel::NameColumn);
}

void TListController::showColumn(int column, bool shown)
{
    if (list_.isColumnHidden(column) != shown)
        return;
    {
        // A column shown again comes back at its width: no width of the user's.
        const QScopedValueRollback sizing(sizing_, true);
        list_.setColumnHidden(column, !shown);
    }
    // The filter looks at what is shown.
    if (!list_.filter().isEmpty())
        list_.refilter();
}

void TListController::syncMenu()
{
    const QList<QAction*> actions = menu_->actions();
    for (int c = 0; c < actions.size(); ++c) {
        const QSignalBlocker quiet(actions[c]);
        actions[c]->setChecked(!list_.isColumnHidden(c));
    }
}

void TListController::restoreColumns(const settings::WindowState& state)
{
    const QScopedValueRollback sizing(sizing_, true);
    QHeaderView* header = list_.header();
    std::vector<bool> placed(TReportModel::ColumnCount, false);
    int visual = 0;
    for (const int column : state.columnOrder) {
        // A column this build does not have, or one named twice, is passed
        // over; the others keep their places after the ones named.
        if (column >= TReportModel::ColumnCount || placed[std::size_t(column)])
            continue;
        placed[std::size_t(column)] = true;
        header->moveSection(header->visualIndex(column), visual++);
    }
    if (!state.shownColumns.isEmpty()) {
        for (int c = 0; c < TReportModel::ColumnCount; ++c)
            list_.setColumnHidden(c,
                                  c != TReportModel::NameColumn && !state.shownColumns.contains(c));
    }
    restoreWidths(state.columns);
    syncMenu();
}

void TListController::restoreWidths(const QList<int>& widths)
{
    // By column number from the name on: a file of a build with fewer
    // columns sizes those it has, the others keep the window's widths.
    QHeaderView* header = list_.header();
    const int count = std::min(int(widths.size()), int(TReportModel::ColumnCount));
    for (int c = 0; c < count; ++c) {
        if (widths[c] <= 0)
            continue;
        // A hidden column takes the width when it is shown again.
        header->resizeSection(c, widths[c]);
        widths_[std::size_t(c)] = widths[c];
        widthsKept_ = true;
    }
}

void TListController::saveColumns(settings::WindowState& state) const
{
    const QHeaderView* header = list_.header();
    for (int visual = 0; visual < header->count(); ++visual) {
        const int column = header->logicalIndex(visual);
        state.columnOrder << column;
        if (!list_.isColumnHidden(column))
            state.shownColumns << column;
    }
    if (!widthsKept_)
        return;
    for (int c = 0; c < TReportModel::ColumnCount; ++c)
        state.columns << (header->isSectionHidden(c) ? widths_[std::size_t(c)]
                                                     : header->sectionSize(c));
}
