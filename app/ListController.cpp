#include "app/ListController.h"

#include "app/ReportList.h"
#include "settings/WindowState.h"

#include <QAction>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>

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
}

void TListController::showColumn(int column, bool shown)
{
    if (list_.isColumnHidden(column) != shown)
        return;
    list_.setColumnHidden(column, !shown);
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
    syncMenu();
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
}
