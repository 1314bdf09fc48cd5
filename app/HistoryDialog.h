#pragma once

#include "operations/History.h"
#include "operations/Journal.h"

#include <QDialog>

#include <cstdint>
#include <vector>

class QPushButton;
class QTreeWidget;

// "操作历史" (objectName "FormHistory"): the journal's steps, newest first,
// each with its time, its name, its number of files and whether it was
// undone. BtnHistoryUndo "撤销到此" undoes every step down to the chosen one;
// BtnClose "关闭" (also Enter in the list) closes the dialog. What the undos
// did is kept for the window to log.
class TFormHistory : public QDialog {
    Q_OBJECT

public:
    TFormHistory(operations::Journal& journal, operations::History& history,
                 QWidget* parent = nullptr);

    // One per click on "撤销到此", in order.
    const std::vector<operations::TurnOutcome>& outcomes() const { return outcomes_; }

    QTreeWidget* ListViewHistory;
    QPushButton* BtnHistoryUndo;
    QPushButton* BtnClose;

private:
    void showSteps();
    void selectStep(std::int64_t step);
    std::int64_t chosenStep() const;
    void ListViewHistoryChange();
    void BtnHistoryUndoClick();

    operations::Journal& journal_;
    operations::History& history_;
    std::vector<operations::TurnOutcome> outcomes_;
};
