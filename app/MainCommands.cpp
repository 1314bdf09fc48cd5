// The main window's commands on the selected rows: the batch operations in
// their shared frame, the renaming page, and the file and folder commands.
// What each does to one file lives in operations/.

#include "app/main.h"

#include "app/EncodingCheck.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "app/RenamePlanDialog.h"
#include "operations/EncodingRepair.h"
#include "operations/FileCommands.h"
#include "operations/ItemSteps.h"
#include "operations/NameBatch.h"
#include "operations/Renaming.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "platform/FileNameCodec.h"
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

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

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

void TFormMain::BtnFileNameClick()
{
    if (!leavePage())
        return;
    const QString folder = ui.ShellList->Path();
    const std::vector<int> rows = selectedRows();
    TFormRenamePlan dialog(this);
    dialog.setNameShower([this](const QString& name) { return shownName(name); });
    dialog.showRenames(renamePlan(folder, rows, true));
    // While the dialog is open the list may follow changes on disk; the run
    // finds its rows anew by their names.
    if (dialog.exec() != QDialog::Accepted || ui.ShellList->Path() != folder)
        return;
    runRenamePlan(folder, dialog.plan());
}

std::vector<operations::PlannedName>
TFormMain::renamePlan(const QString& folder, const std::vector<int>& rows, bool readFiles) const
{
    const QString pattern = ui.EditNameFormat->text();
    const auto p = priority();
    // A plan to run takes each file's tags as they are now: another program
    // may have changed them since the cells were read.
    const auto values = [&](int row) {
        if (!readFiles)
            return rowTags(row);
        return p ? operations::readShownTags(*TagV1, *TagV2, *p, rowPath(row), textRules()).fields
                 : std::array<QString, 6>{};
    };
    std::vector<operations::NameSource> sources;
    sources.reserve(rows.size());
    for (const int row : rows)
        sources.push_back({rowName(row), operations::substitutePattern(pattern, values(row))});
    // A folder that cannot be read hides no name that matters: the moves
    // themselves never replace anything.
    const auto entries = platform::FolderEntries(folder);
    return operations::planRenames(sources, entries.value_or(std::vector<QString>{}),
                                   platform::NameRulesOf(folder),
                                   [this](const QString& name) { return shownName(name); });
}

void TFormMain::runRenamePlan(const QString& folder,
                              const std::vector<operations::PlannedName>& plan)
{
    QHash<QString, int> rows;
    for (const int row : selectedRows())
        rows.insert(rowName(row), row);
    std::vector<operations::NameJob> jobs = operations::jobsOfPlan(
        folder, plan, [&rows](const QString& name) { return rows.contains(name); });
    RefreshEnabled = false;
    renameJobs(jobs, u"正在批量文件名..."_s, u"修改文件名失败！"_s,
               [&](const operations::NameJob& job) { return rows.value(job.plan.name, -1); });
    Batch->showTotals();
    Batch->finish(u"批量修改文件名完成"_s, 1);
    RefreshEnabled = true;
    ClearPropPage();
    // The captions changed: the column fits them once, after the run.
    fitNameColumn();
    schedulePreviews();
}

void TFormMain::renameJobs(std::vector<operations::NameJob>& jobs, const QString& runningText,
                           const QString& failed, const RowOfJob& rowOf)
{
    std::size_t toMove = 0;
    for (const operations::NameJob& job : jobs)
        toMove += !job.error && job.plan.state == operations::PlanState::Rename;
    Batch->begin(runningText, int(toMove));
    // The bar moves about 200 times whatever the number of files.
    const std::size_t stride = std::max<std::size_t>(1, toMove / 200);
    const auto step = operations::moveJobs(jobs, [&](std::size_t finished) {
        if (finished % stride == 0)
            Batch->stepTo(int(finished) - 1);
    });
    // Reported in list order, each file as the renaming always did, in one
    // append: the log lays out and scrolls once, not once a file.
    QStringList log;
    for (const operations::NameJob& job : jobs) {
        if (job.plan.state == operations::PlanState::Unchanged && !job.error)
            continue;
        const QString newPath = folderOf(job.path) + job.plan.newName;
        if (job.moved) {
            setRowName(rowOf(job), job.plan.newName);
            log.append(shownPath(job.path) + u"->"_s + shownPath(newPath));
        } else if (!job.at.isEmpty()) {
            // Neither name could be had back: the file keeps a temporary one.
            setRowName(rowOf(job), job.at.mid(job.at.lastIndexOf(u'/') + 1));
            log.append(shownPath(job.path) + failed + u"(文件暂时名为 "_s + job.at + u')');
        } else if (job.plan.state == operations::PlanState::Rename) {
            log.append(shownPath(job.path) + failed); // the move itself failed
        } else {
            log.append(shownPath(job.path) + failed + u'(' + job.error.value_or(QString()) + u')');
        }
        Batch->count(job.moved);
    }
    if (!log.isEmpty())
        appendLog(log.join(u'\n'));
    recordStep(operations::StepKind::Rename, step);
}

// ---------------------------------------------------------------- renaming page

void TFormMain::RadioGrpFileNameClick()
{
    const int item = ui.RadioGrpFileName->itemIndex();
    if (item >= 0 && item < 4)
        ui.EditNameFormat->setText(operations::presetPatterns()[std::size_t(item)]);
}

void TFormMain::EditNameFormatChange()
{
    // Neither handler loops: setting the text or the item each already has
    // raises nothing.
    ui.RadioGrpFileName->setItemIndex(operations::presetIndexOf(ui.EditNameFormat->text()));
}

void TFormMain::BtnAddPropClick()
{
    // Just below the button's lower-left corner.
    ui.PopupMenuProp->popup(ui.BtnAddProp->mapToGlobal(QPoint(8, ui.BtnAddProp->height())));
}

void TFormMain::insertPlaceholder(const QString& placeholder)
{
    QLineEdit* edit = ui.EditNameFormat;
    int caret = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    // The button (or its menu) took the focus: the caret the edit had then.
    if (!edit->hasFocus() && nameFormatCaret_ >= 0 && nameFormatText_ == edit->text())
        caret = nameFormatCaret_;
    const auto inserted = operations::insertPlaceholder(edit->text(), caret, placeholder);
    edit->setText(inserted.text);
    edit->setFocus();
    edit->setCursorPosition(inserted.caret);
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

// ---------------------------------------------------------------- encodings

void TFormMain::MenuEncodingClick()
{
    if (!leavePage())
        return;
    std::vector<TEncodingFile> files;
    for (const int row : selectedRows()) {
        const QString path = rowPath(row);
        files.push_back({path, ui.ListViewMain->row(row).shown,
                         operations::legacyTextsOf(*TagV1, *TagV2, path, textRules())});
    }
    TFormEncoding dialog(this);
    dialog.setFiles(std::move(files));
    dialog.exec();
    if (!dialog.convertRequested())
        return;
    const auto interpretations = dialog.interpretations();

    BatchRun run;
    run.runningText = u"正在转换编码..."_s;
    run.completionText = u"编码转换完成"_s;
    run.page = ui.PageCtrlMain->currentIndex(); // back where the user was
    run.act = [&](int row) {
        const QString path = rowPath(row);
        const auto chosen = interpretations.find(path);
        if (!ui.ListViewMain->isRowSelected(row) || chosen == interpretations.end())
            return;
        auto prepared =
            operations::prepareConversion(*TagV1, *TagV2, path, chosen->second, textRules());
        // A file whose texts are Unicode already is left alone, uncounted.
        if (!prepared.converted)
            return;
        const auto report = [this, path](bool succeeded) {
            appendLog(shownPath(path) + (succeeded ? u"编码转换."_s : u"编码转换失败."_s));
            Batch->count(succeeded);
        };
        if (prepared.change)
            queueWrite(std::move(*prepared.change),
                       [report](const operations::Outcome& written) { report(written.succeeded); });
        else
            report(false);
    };
    run.closing = [this] {
        RebuildList();
    };
    run.tagStep = operations::StepKind::Conversion;
    runBatch(run);
}

void TFormMain::MenuFixNameClick()
{
    if (!leavePage())
        return;
    // The repair is planned whole first, as the command line plans it: a name
    // another file has, or that two files would take, or that the file system
    // refuses, is said before anything moves.
    const QString folder = ui.ShellList->Path();
    QHash<QString, int> rows;
    std::vector<QString> paths;
    for (const int row : selectedRows()) {
        if (!ui.ListViewMain->row(row).legacyName)
            continue; // a UTF-8 name already
        rows.insert(folder + rowName(row), row);
        paths.push_back(folder + rowName(row));
    }
    std::vector<operations::NameJob> jobs = operations::nameJobs(paths);
    operations::planRepairedNames(jobs, core_.detector(), core_.codePage(),
                                  [this](const QString& name) { return shownName(name); });
    renameJobs(jobs, u"正在修复文件名..."_s, u"修复文件名失败！"_s,
               [&rows](const operations::NameJob& job) { return rows.value(job.path, -1); });
    Batch->finish(u"修复文件名完成"_s, ui.PageCtrlMain->currentIndex());
    fitNameColumn();
}
