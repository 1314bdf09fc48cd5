#include "app/RenamePlanDialog.h"

#include "widgets/RadioGroup.h"
#include "widgets/Toolkit.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using operations::PlanState;

namespace {

enum Column { OldColumn, NewColumn, StateColumn, NoteColumn };

bool isProblem(PlanState state)
{
    return state == PlanState::Conflict || state == PlanState::Empty || state == PlanState::Invalid;
}

} // namespace

TFormRenamePlan::TFormRenamePlan(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormRenamePlan"_s);
    setWindowTitle(u"重命名预览"_s);
    setFont(widgets::songTiFont(9));
    resize(760, 440);

    LabelPlanTarget = new QLabel(this);
    LabelPlanTarget->setObjectName(u"LabelPlanTarget"_s);
    LabelPlanTarget->setTextFormat(Qt::PlainText);
    LabelPlanTarget->hide();

    ListViewPlan = new QTreeWidget(this);
    ListViewPlan->setObjectName(u"ListViewPlan"_s);
    ListViewPlan->setRootIsDecorated(false);
    ListViewPlan->setUniformRowHeights(true);
    ListViewPlan->setSelectionMode(QAbstractItemView::SingleSelection);
    ListViewPlan->setHeaderLabels({u"原文件名"_s, u"新文件名"_s, u"状态"_s, u"说明"_s});
    ListViewPlan->header()->setStretchLastSection(true);
    ListViewPlan->header()->resizeSection(OldColumn, 210);
    ListViewPlan->header()->resizeSection(NewColumn, 210);
    ListViewPlan->header()->resizeSection(StateColumn, 70);

    LabelPlanCounts = new QLabel(this);
    LabelPlanCounts->setObjectName(u"LabelPlanCounts"_s);
    RadioGrpPlanClash = new TRadioGroup(u"目标文件夹中已有同名的文件时"_s, this);
    RadioGrpPlanClash->setObjectName(u"RadioGrpPlanClash"_s);
    RadioGrpPlanClash->setColumns(2);
    RadioGrpPlanClash->setItems({u"跳过这些文件"_s, u"保留两者(新文件名加“ (2)”)"_s});
    RadioGrpPlanClash->setItemIndex(0);
    RadioGrpPlanClash->setMinimumHeight(44);
    RadioGrpPlanClash->hide();

    BtnPlanRun = new QPushButton(u"执行"_s, this);
    BtnPlanRun->setObjectName(u"BtnPlanRun"_s);
    BtnPlanRun->setDefault(true);
    BtnPlanCancel = new QPushButton(u"取消"_s, this);
    BtnPlanCancel->setObjectName(u"BtnPlanCancel"_s);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(LabelPlanCounts, 1);
    buttons->addWidget(BtnPlanRun);
    buttons->addWidget(BtnPlanCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(LabelPlanTarget);
    layout->addWidget(ListViewPlan);
    layout->addWidget(RadioGrpPlanClash);
    layout->addLayout(buttons);

    RadioGrpPlanClash->OnClick = [this](QObject*) {
        RadioGrpPlanClashClick();
    };
    connect(BtnPlanRun, &QPushButton::clicked, this, &QDialog::accept);
    connect(BtnPlanCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFormRenamePlan::showRenames(std::vector<operations::PlannedName> plan)
{
    moves_ = false;
    setWindowTitle(u"重命名预览"_s);
    plan_ = std::move(plan);
    fill();
}

void TFormRenamePlan::showMoves(MovePlanner planner, const QString& target)
{
    moves_ = true;
    setWindowTitle(u"移动预览"_s);
    LabelPlanTarget->setText(u"目标文件夹: "_s + target);
    LabelPlanTarget->show();
    planner_ = std::move(planner);
    RadioGrpPlanClash->show();
    RadioGrpPlanClashClick();
}

void TFormRenamePlan::RadioGrpPlanClashClick()
{
    if (!planner_)
        return;
    plan_ = planner_(RadioGrpPlanClash->itemIndex() == 1 ? operations::ClashChoice::KeepBoth
                                                         : operations::ClashChoice::Skip);
    fill();
}

QString TFormRenamePlan::stateText(const operations::PlannedName& row) const
{
    if (moves_ && row.state == PlanState::Rename)
        return row.newName == row.name ? u"移动"_s : u"改名后移动"_s;
    return operations::stateText(row.state);
}

QString TFormRenamePlan::countsText() const
{
    const operations::PlanCounts n = operations::countPlan(plan_);
    if (moves_)
        return u"移动 %1 个,冲突 %2 个,无效 %3 个"_s.arg(n.rename).arg(n.conflict).arg(n.invalid);
    return u"重命名 %1 个,不变 %2 个,冲突 %3 个,空文件名 %4 个,无效 %5 个"_s.arg(n.rename)
        .arg(n.unchanged)
        .arg(n.conflict)
        .arg(n.empty)
        .arg(n.invalid);
}

void TFormRenamePlan::fill()
{
    ListViewPlan->clear();
    QList<QTreeWidgetItem*> rows;
    rows.reserve(qsizetype(plan_.size()));
    QTreeWidgetItem* firstProblem = nullptr;
    for (const operations::PlannedName& planned : plan_) {
        auto* row = new QTreeWidgetItem;
        row->setText(OldColumn, shown_ ? shown_(planned.name) : planned.name);
        row->setText(NewColumn, shown_ ? shown_(planned.newName) : planned.newName);
        row->setText(StateColumn, stateText(planned));
        row->setText(NoteColumn, planned.note);
        row->setToolTip(NoteColumn, planned.note);
        if (isProblem(planned.state)) {
            for (int c = OldColumn; c <= NoteColumn; ++c)
                row->setForeground(c, Qt::red);
            if (!firstProblem)
                firstProblem = row;
        }
        rows.append(row);
    }
    ListViewPlan->addTopLevelItems(rows);
    // The first file that cannot be renamed is where the eye should go.
    ListViewPlan->setCurrentItem(firstProblem ? firstProblem : ListViewPlan->topLevelItem(0));
    if (firstProblem)
        ListViewPlan->scrollToItem(firstProblem);
    LabelPlanCounts->setText(countsText());
    BtnPlanRun->setEnabled(operations::countPlan(plan_).rename > 0);
}
