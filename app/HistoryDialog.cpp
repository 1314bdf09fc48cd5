#include "app/HistoryDialog.h"

#include "app/ErrorReport.h"
#include "widgets/Toolkit.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

enum Column { TimeColumn, NameColumn, FilesColumn, StateColumn };
constexpr int kStepRole = Qt::UserRole + 1;
constexpr int kUndoneRole = Qt::UserRole + 2;

QString stateText(const operations::StepInfo& step)
{
    if (step.undone)
        return step.done == 0 ? u"已撤销"_s : u"部分撤销"_s;
    // A redo that some files refused: the step is in force, but not whole.
    return step.done < step.files ? u"部分撤销"_s : QString();
}

QTreeWidgetItem* makeRow(const operations::StepInfo& step)
{
    auto* row = new QTreeWidgetItem;
    row->setText(TimeColumn,
                 QDateTime::fromSecsSinceEpoch(step.time).toString(u"yyyy-MM-dd HH:mm:ss"_s));
    row->setText(NameColumn, operations::stepName(step.kind));
    row->setText(FilesColumn, QString::number(step.files));
    row->setTextAlignment(FilesColumn, Qt::AlignRight | Qt::AlignVCenter);
    row->setText(StateColumn, stateText(step));
    row->setData(TimeColumn, kStepRole, qlonglong(step.id));
    row->setData(TimeColumn, kUndoneRole, step.undone);
    return row;
}

} // namespace

TFormHistory::TFormHistory(operations::Journal& journal, operations::History& history,
                           QWidget* parent)
    : QDialog(parent), journal_(journal), history_(history)
{
    setObjectName(u"FormHistory"_s);
    setWindowTitle(u"操作历史"_s);
    setFont(widgets::songTiFont(9));
    resize(480, 320);

    ListViewHistory = new QTreeWidget(this);
    ListViewHistory->setObjectName(u"ListViewHistory"_s);
    ListViewHistory->setRootIsDecorated(false);
    ListViewHistory->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewHistory->setHeaderLabels({u"时间"_s, u"操作"_s, u"文件数"_s, u"状态"_s});
    ListViewHistory->headerItem()->setTextAlignment(FilesColumn, Qt::AlignRight | Qt::AlignVCenter);
    ListViewHistory->header()->setStretchLastSection(true);

    BtnHistoryUndo = new QPushButton(u"撤销到此"_s, this);
    BtnHistoryUndo->setObjectName(u"BtnHistoryUndo"_s);
    BtnClose = new QPushButton(u"关闭"_s, this);
    BtnClose->setObjectName(u"BtnClose"_s);
    // Enter in the list closes the dialog; it never undoes. The undo button
    // still takes Enter and Space while it has the focus.
    BtnClose->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BtnHistoryUndo);
    buttons->addWidget(BtnClose);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(ListViewHistory);
    layout->addLayout(buttons);
    setTabOrder(ListViewHistory, BtnHistoryUndo);
    setTabOrder(BtnHistoryUndo, BtnClose);

    connect(ListViewHistory, &QTreeWidget::itemSelectionChanged, this,
            [this] { ListViewHistoryChange(); });
    connect(BtnHistoryUndo, &QPushButton::clicked, this, [this] { BtnHistoryUndoClick(); });
    connect(BtnClose, &QPushButton::clicked, this, &QDialog::accept);

    showSteps();
    if (ListViewHistory->topLevelItemCount() > 0)
        ListViewHistory->setCurrentItem(ListViewHistory->topLevelItem(0));
    ListViewHistoryChange();
    ListViewHistory->setFocus();
}

void TFormHistory::showSteps()
{
    ListViewHistory->clear();
    QList<QTreeWidgetItem*> rows;
    for (const operations::StepInfo& step : journal_.steps())
        rows.append(makeRow(step));
    ListViewHistory->addTopLevelItems(rows);
    for (int c = TimeColumn; c < StateColumn; ++c)
        ListViewHistory->resizeColumnToContents(c);
}

void TFormHistory::selectStep(std::int64_t step)
{
    for (int i = 0; i < ListViewHistory->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = ListViewHistory->topLevelItem(i);
        if (row->data(TimeColumn, kStepRole).toLongLong() == step) {
            ListViewHistory->setCurrentItem(row);
            return;
        }
    }
}

// The step of the selected row; 0 when none is selected or it is undone.
std::int64_t TFormHistory::chosenStep() const
{
    const QList<QTreeWidgetItem*> selected = ListViewHistory->selectedItems();
    if (selected.isEmpty() || selected.constFirst()->data(TimeColumn, kUndoneRole).toBool())
        return 0;
    return selected.constFirst()->data(TimeColumn, kStepRole).toLongLong();
}

void TFormHistory::ListViewHistoryChange()
{
    BtnHistoryUndo->setEnabled(chosenStep() != 0);
}

void TFormHistory::BtnHistoryUndoClick()
{
    const std::int64_t step = chosenStep();
    if (step == 0)
        return;
    // An error of the journal ends this undo, not the dialog: what was
    // turned before it is listed anew.
    try {
        outcomes_.push_back(history_.undoTo(step));
    } catch (const std::exception& e) {
        ShowException(e, this);
    }
    try {
        showSteps();
    } catch (const std::exception& e) {
        ShowException(e, this);
    }
    selectStep(step);
    ListViewHistoryChange();
    ListViewHistory->setFocus();
}
