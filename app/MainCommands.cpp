// The main window's commands on the selected rows: the batch operations in
// their shared frame, and the file and folder commands.
// What each does to one file lives in operations/.

#include "app/main.h"

#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "app/RenamePlanDialog.h"
#include "operations/FileCommands.h"
#include "operations/ItemSteps.h"
#include "operations/Renaming.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "platform/FileOps.h"
#include "platform/FolderNames.h"
#include "platform/NativePath.h"
#include "player/Winamp.h"
#include "shell/ShellControls.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>
#include <iterator>

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------- batches

namespace {

struct FieldControls {
    QCheckBox* check;
    QLineEdit* edit;
    TRadioGroup* source;
    int column;
    QString logMessage;
};

} // namespace

void TFormMain::runBatch(const BatchRun& run)
{
    const TReportList* list = ui.ListViewMain;
    const int rows = list->rowCount();
    Batch->begin(run.runningText, rows);
    if (run.tagStep) {
        // Written slice by slice while the rows are read, each file followed
        // by what its row does next.
        writes_ = std::make_unique<operations::TagBatch>(
            journal(), *run.tagStep, [this](std::size_t, const operations::Outcome& outcome) {
                const AfterWrite then = std::move(afterWrites_.front());
                afterWrites_.pop_front();
                then(outcome);
                Batch->afterWrite();
            });
    }
    try {
        for (int i = 0; i < rows && i < list->rowCount(); ++i) {
            run.act(i);
            Batch->afterRow(i);
        }
    } catch (const std::exception& e) {
        // The run stops at this file; the frame still finishes.
        ShowException(e, this);
    }
    try {
        // The slices written already are part of the step: the rest of it
        // is written and the step ended, also after a stop.
        writeQueued();
    } catch (const std::exception& e) {
        ShowException(e, this);
    }
    writes_.reset();
    afterWrites_.clear();
    Batch->finish(run.completionText, run.page);
    run.closing();
    updateEditMenu();
    flushJournalSoon();
}

void TFormMain::flushJournalSoon()
{
    // The flush of what the command wrote waits for the window to show its
    // outcome; until it runs a crash has the files checked at the next start.
    QTimer::singleShot(0, this, [this] {
        if (const QString problem = core_.flush(); !problem.isEmpty())
            appendLog(problem);
    });
}

void TFormMain::queueWrite(tags::TagChange change, AfterWrite then)
{
    if (!writes_) {
        // Outside a tag batch the change is a step of its own.
        then(operations::writeOne(journal(), operations::StepKind::Save, std::move(change)));
        return;
    }
    afterWrites_.push_back(std::move(then));
    writes_->add(std::move(change));
}

void TFormMain::writeQueued()
{
    if (!writes_)
        return;
    writes_->finish();
    // The files were written all the same, through copies: say that this
    // change cannot be taken back, and why.
    for (const QString& problem : writes_->problems())
        appendLog(problem);
}

void TFormMain::recordStep(operations::StepKind kind,
                           const std::vector<operations::StepFile>& files)
{
    if (const QString problem = core_.record(kind, files); !problem.isEmpty())
        appendLog(problem);
    updateEditMenu();
}

namespace {

// The batch page's three fields, in the order they are set and logged.
std::array<FieldControls, 3> batchFields(const TFormMainLayout& ui)
{
    return {{
        {ui.CheckBoxTitle, ui.EditMTitle, ui.RadioGrpMTitle, 1, u"修改标题."_s},
        {ui.CheckBoxArtist, ui.EditMArtist, ui.RadioGrpMArtist, 2, u"修改作者."_s},
        {ui.CheckBoxAlbum, ui.EditMAlbum, ui.RadioGrpMAlbum, 3, u"修改专辑."_s},
    }};
}

} // namespace

std::optional<TFormMain::BatchValues>
TFormMain::batchValues(int row, const operations::FieldsFromName& names) const
{
    const auto fields = batchFields(ui);
    const QString stem = operations::titleFromFileName(ui.ListViewMain->row(row).shown);
    std::optional<operations::FieldsFromName::Values> parts;
    BatchValues values;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (!fields[f].check->isChecked())
            continue;
        if (fields[f].source->itemIndex() != 0) {
            values[f] = fields[f].edit->text();
            continue;
        }
        // Title, artist and album are "%1", "%2" and "%3" of the pattern;
        // without its placeholder a field takes the whole name.
        if (!names.holds(int(f) + 1)) {
            values[f] = stem;
            continue;
        }
        if (!parts)
            parts = names.match(stem);
        if (!parts)
            return std::nullopt;
        values[f] = (*parts)[f];
    }
    return values;
}

void TFormMain::BtnChgMPropClick()
{
    if (!leavePage())
        return;
    const auto fields = batchFields(ui);
    // Input waits while the batch runs: the pattern is the one of the click.
    const operations::FieldsFromName names(ui.EditNamePattern->text());
    BatchRun run;
    run.runningText = u"正在批量修改..."_s;
    run.completionText = u"批量修改属性完成"_s;
    run.page = 0;
    run.act = [&](int row) {
        if (!ui.ListViewMain->isRowSelected(row))
            return;
        const QString path = rowPath(row);
        const auto values = batchValues(row, names);
        if (!values) {
            appendLog(shownPath(path) + u"文件名与格式不符."_s);
            Batch->count(false);
            return;
        }
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (!(*values)[f])
                continue;
            ui.ListViewMain->rows().changeRow(row, [&](TReportRow& r) {
                r.hasTag = true; // a row without cells gets them
                r.setTag(fields[f].column - 1, *(*values)[f]);
            });
            appendLog(shownPath(path) + fields[f].logMessage);
        }
        // Under a priority that names no version nothing is written.
        operations::FieldChange prepared;
        if (const auto p = priority())
            prepared = operations::changeFields(
                *TagV1, *TagV2, *p, path, {(*values)[0], (*values)[1], (*values)[2]}, textRules());
        if (prepared.change)
            queueWrite(std::move(*prepared.change), [=, this](const operations::Outcome& written) {
                if (!written.succeeded)
                    appendLog(shownPath(path) + u"修改属性失败: "_s + written.message);
                Batch->count(written.succeeded);
            });
        else if (prepared.written) {
            if (!prepared.reason.isEmpty())
                appendLog(shownPath(path) + u"修改属性失败: "_s + prepared.reason);
            Batch->count(false);
        }
    };
    run.closing = [this] {
        RebuildList();
    };
    run.tagStep = operations::StepKind::FieldChange;
    runBatch(run);
}

void TFormMain::BtnV1V2Click()
{
    copyTags(true);
}

void TFormMain::BtnV2V1Click()
{
    copyTags(false);
}

void TFormMain::copyTags(bool v1ToV2)
{
    if (!leavePage())
        return;
    TFormID3 dialog(this);
    dialog.FormCreate();
    if (v1ToV2)
        dialog.addItems({u"如果ID3v2存在则不覆盖"_s, u"用ID3v1覆盖ID3v2"_s});
    else
        dialog.addItems({u"如果ID3v1存在则不覆盖"_s, u"用ID3v2覆盖ID3v1"_s});
    dialog.selectItem(0);
    dialog.exec();
    if (dialog.Choice < 0)
        return;
    const bool overwrite = dialog.Choice == 1;
    const auto direction =
        v1ToV2 ? operations::CopyDirection::V1ToV2 : operations::CopyDirection::V2ToV1;

    BatchRun run;
    run.runningText = u"正在复制属性..."_s;
    run.completionText = u"复制属性完成"_s;
    run.page = 0;
    run.act = [&](int row) {
        if (!ui.ListViewMain->isRowSelected(row))
            return;
        const QString path = rowPath(row);
        auto copy =
            operations::prepareCopy(*TagV1, *TagV2, direction, overwrite, path, textRules());
        if (copy.change) {
            queueWrite(std::move(*copy.change), [=, this](const operations::Outcome& written) {
                const auto outcome = operations::copyWritten(direction, written.succeeded);
                appendLog(shownPath(path) + outcome.message);
                Batch->count(outcome.succeeded);
            });
            return;
        }
        if (!copy.now.message.isEmpty())
            appendLog(shownPath(path) + copy.now.message);
        Batch->count(copy.now.succeeded);
    };
    run.closing = [this] {
        RebuildList();
    };
    run.tagStep = v1ToV2 ? operations::StepKind::CopyV1ToV2 : operations::StepKind::CopyV2ToV1;
    runBatch(run);
}

// ---------------------------------------------------------------- files and folders

bool TFormMain::ShellTreeDragOver(QObject* source) const
{
    return source == ui.ListViewMain;
}

void TFormMain::ShellTreeDragDrop(QObject* source, int x, int y)
{
    Winamp->Stop();
    if (source != ui.ListViewMain || !leavePage())
        return;
    const QString target = ui.ShellTree->GetNodePath(ui.ShellTree->itemAt(x, y));
    if (target.isEmpty())
        return; // no folder under the pointer
    const QString folder = ui.ShellList->Path();
    std::vector<QString> names;
    for (const int row : selectedRows()) {
        // A drop on the list's own folder leaves its rows alone.
        if (operations::joinPath(target, rowName(row)) != folder + rowName(row))
            names.push_back(rowName(row));
    }
    if (names.empty())
        return;
    const auto entries = platform::FolderEntries(target);
    const auto plan =
        operations::planMoves(names, entries.value_or(std::vector<QString>{}),
                              platform::NameRulesOf(target), operations::ClashChoice::Skip);
    const auto counts = operations::countPlan(plan);
    if (counts.conflict == 0 && counts.invalid == 0) {
        moveRowsTo(target, plan);
        return;
    }
    // The plan is asked for once the drag is over: a dialog opened inside the
    // drop would wait under the drag's pointer grab.
    QTimer::singleShot(0, this, [this, target, folder, names] {
        runGuarded([&] { askAndMoveRowsTo(target, folder, names); });
    });
}

void TFormMain::askAndMoveRowsTo(const QString& target, const QString& folder,
                                 const std::vector<QString>& names)
{
    if (ui.ShellList->Path() != folder || Batch->running())
        return; // the list moved on meanwhile
    const auto entries = platform::FolderEntries(target).value_or(std::vector<QString>{});
    const platform::NameRules rules = platform::NameRulesOf(target);
    TFormRenamePlan dialog(this);
    dialog.setNameShower([this](const QString& name) { return shownName(name); });
    dialog.showMoves(
        [&](operations::ClashChoice choice) {
            return operations::planMoves(names, entries, rules, choice);
        },
        target);
    if (dialog.exec() == QDialog::Accepted)
        moveRowsTo(target, dialog.plan());
}

void TFormMain::moveRowsTo(const QString& target, const std::vector<operations::PlannedName>& plan)
{
    const QString folder = ui.ShellList->Path();
    QHash<QString, int> rows;
    for (const int row : selectedRows())
        rows.insert(rowName(row), row);
    std::vector<operations::PlannedName> present; // a row gone meanwhile is no file of the drop
    std::copy_if(
        plan.begin(), plan.end(), std::back_inserter(present),
        [&rows](const operations::PlannedName& planned) { return rows.contains(planned.name); });
    const operations::ItemStep step = operations::moveFilesInto(folder, target, present);
    std::vector<int> gone;
    for (std::size_t i = 0; i < present.size(); ++i) {
        const QString oldPath = folder + present[i].name;
        const operations::FileOutcome& outcome = step.outcomes[i];
        if (present[i].state != operations::PlanState::Rename) {
            appendLog(shownPath(oldPath) + u"未移动: "_s + outcome.reason);
        } else if (outcome.succeeded) {
            appendLog(shownPath(oldPath) + u"->"_s + shownPath(outcome.file));
            gone.push_back(rows.value(present[i].name));
        } else {
            appendLog(shownPath(oldPath) + u"移动文件失败！"_s);
        }
    }
    // The moved rows go once the moves are done: the others keep their indexes meanwhile.
    std::sort(gone.begin(), gone.end(), std::greater<>());
    for (const int row : gone)
        ui.ListViewMain->rows().removeRowAt(row);
    recordStep(operations::StepKind::Move, step.files);
}

void TFormMain::MenuCreSubClick()
{
    const QString name = InputBox(u"新建子目录"_s, u"目录名"_s, QString());
    if (name.isEmpty())
        return;
    const QString folder = ui.ShellTree->GetNodePath(ui.ShellTree->currentItem());
    if (folder.isEmpty())
        return; // no folder of the file system is selected
    const QString path = operations::joinPath(folder, name);
    recordStep(operations::StepKind::NewFolder, operations::makeFolder(path).files);
    ui.ShellTree->RefreshTree();
    ui.ShellTree->setSelectedFolder(path);
}

void TFormMain::MenuDelFileClick()
{
    if (!leavePage())
        return;
    const QString folder = ui.ShellList->Path();
    const std::vector<int> rows = selectedRows();
    std::vector<QString> paths;
    for (const int row : rows)
        paths.push_back(folder + rowName(row));
    const operations::ItemStep step = operations::trashFiles(paths);
    // From the last: the rows before keep their indexes.
    for (std::size_t i = rows.size(); i-- > 0;) {
        if (step.outcomes[i].succeeded)
            ui.ListViewMain->rows().removeRowAt(rows[i]);
    }
    recordStep(operations::StepKind::Trash, step.files);
}
