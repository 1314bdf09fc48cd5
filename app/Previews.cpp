// What the renaming page and the batch page would do to the first selected
// row, shown under their patterns before anything is run.

#include "app/main.h"

#include "operations/Renaming.h"
#include "shell/ShellControls.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

using namespace Qt::StringLiterals;

namespace {
constexpr int kBatchPage = 0;
constexpr int kRenamePage = 1;
} // namespace

void TFormMain::connectPreviews()
{
    previewTimer_ = new QTimer(this);
    previewTimer_->setSingleShot(true);
    previewTimer_->setInterval(0);
    connect(previewTimer_, &QTimer::timeout, this, [this] {
        // A running batch changes rows under the preview; it is shown anew after.
        if (!Batch || Batch->running())
            return;
        runGuarded([this] {
            if (ui.PageCtrlMain->currentIndex() == kRenamePage)
                showNamePreview();
            else if (ui.PageCtrlMain->currentIndex() == kBatchPage)
                batch_->showFieldPreview();
        });
    });
    const auto schedule = [this] {
        schedulePreviews();
    };
    connect(ui.ListViewMain->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            schedule);
    connect(ui.PageCtrlMain, &QTabWidget::currentChanged, this, schedule);
    for (QLineEdit* edit : {ui.EditNameFormat, ui.EditNamePattern})
        connect(edit, &QLineEdit::textChanged, this, schedule);
    for (QLineEdit* edit : batchEdits())
        connect(edit, &QLineEdit::textChanged, this, schedule);
    for (QCheckBox* box : batchChecks())
        connect(box, &QCheckBox::toggled, this, schedule);
    for (TRadioGroup* group : batchSources())
        group->OnClick = [this](QObject*) {
            schedulePreviews();
        };
}

// The batch page's fields in the controller's order.
std::array<QCheckBox*, TBatchController::kFields> TFormMain::batchChecks() const
{
    return {ui.CheckBoxTitle, ui.CheckBoxArtist, ui.CheckBoxAlbum,
            ui.CheckBoxYear,  ui.CheckBoxGenre,  ui.CheckBoxComment,
            ui.CheckBoxTrack, ui.CheckBoxDisc,   ui.CheckBoxAlbumArtist};
}

std::array<QLineEdit*, TBatchController::kFields> TFormMain::batchEdits() const
{
    return {ui.EditMTitle,   ui.EditMArtist, ui.EditMAlbum, ui.EditMYear,       ui.EditMGenre,
            ui.EditMComment, ui.EditMTrack,  ui.EditMDisc,  ui.EditMAlbumArtist};
}

std::array<TRadioGroup*, TBatchController::kFields> TFormMain::batchSources() const
{
    return {ui.RadioGrpMTitle, ui.RadioGrpMArtist, ui.RadioGrpMAlbum,
            ui.RadioGrpMYear,  ui.RadioGrpMGenre,  ui.RadioGrpMComment,
            ui.RadioGrpMTrack, ui.RadioGrpMDisc,   ui.RadioGrpMAlbumArtist};
}

void TFormMain::schedulePreviews()
{
    if (previewTimer_)
        previewTimer_->start();
}

void TFormMain::showNamePreview()
{
    QLabel* label = ui.LabelNamePreview;
    const std::vector<int> rows = selectedRows();
    if (rows.empty()) {
        label->clear();
        return;
    }
    // The whole selection is planned: the first row's name may be wanted by
    // another row, or kept from it.
    const auto plan = rename_->plan(ui.ShellList->Path(), rows);
    const operations::PlannedName& first = plan.front();
    QString text = shownName(first.name) + u" → "_s +
                   (first.newName.isEmpty() ? u"(空)"_s : shownName(first.newName));
    switch (first.state) {
    case operations::PlanState::Rename:
        break;
    case operations::PlanState::Unchanged:
        text += u"\n文件名不变"_s;
        break;
    case operations::PlanState::Conflict:
        text += u"\n冲突: "_s + first.note;
        break;
    case operations::PlanState::Empty:
        text += u"\n新文件名为空,不会改名"_s;
        break;
    case operations::PlanState::Invalid:
        text += u"\n无效: "_s + first.note;
        break;
    }
    const operations::PlanCounts counts = operations::countPlan(plan);
    const bool firstFails = first.state != operations::PlanState::Rename &&
                            first.state != operations::PlanState::Unchanged;
    const int othersFail = counts.conflict + counts.empty + counts.invalid - (firstFails ? 1 : 0);
    if (othersFail > 0)
        text += u"\n另有 %1 个选中的文件不能改名"_s.arg(othersFail);
    label->setText(text);
    label->setToolTip(text);
}
