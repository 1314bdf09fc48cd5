#pragma once

#include "operations/RenamePlan.h"

#include <QDialog>

#include <functional>
#include <vector>

class QLabel;
class QPushButton;
class QTreeWidget;
class TRadioGroup;

// The plan of a renaming ("重命名预览") or of a drop onto the tree whose
// names clash in the target folder ("移动预览"), objectName "FormRenamePlan":
// every file's old and new name and state in ListViewPlan, the counts under
// it, and BtnPlanRun "执行" / BtnPlanCancel "取消". A drop's plan also asks
// whether the clashing files are skipped or kept both (RadioGrpPlanClash),
// showing the plan anew for the answer. Nothing moves here: the window runs
// the plan the dialog was accepted with.
class TFormRenamePlan : public QDialog {
    Q_OBJECT

public:
    explicit TFormRenamePlan(QWidget* parent = nullptr);

    void showRenames(std::vector<operations::PlannedName> plan);
    using MovePlanner =
        std::function<std::vector<operations::PlannedName>(operations::ClashChoice choice)>;
    // `target`: the folder the files go to, named above the plan.
    void showMoves(MovePlanner planner, const QString& target);
    // How the rows' names are shown: as the list shows them.
    void setNameShower(operations::NameShower shown) { shown_ = std::move(shown); }

    const std::vector<operations::PlannedName>& plan() const { return plan_; }

    QLabel* LabelPlanTarget; // a drop's target folder; hidden for a renaming
    QTreeWidget* ListViewPlan;
    QLabel* LabelPlanCounts;
    TRadioGroup* RadioGrpPlanClash;
    QPushButton* BtnPlanRun;
    QPushButton* BtnPlanCancel;

private:
    void fill();
    void RadioGrpPlanClashClick();
    QString stateText(const operations::PlannedName& row) const;
    QString countsText() const;

    bool moves_ = false;
    MovePlanner planner_;
    std::vector<operations::PlannedName> plan_;
    operations::NameShower shown_;
};
