// The main window's commands on the selected rows: the renaming page and the
// encoding tools, in the batch frame. What each does to one file lives in
// operations/.

#include "app/main.h"

#include "app/EncodingCheck.h"
#include "app/ErrorReport.h"
#include "app/RenamePlanDialog.h"
#include "operations/EncodingRepair.h"
#include "operations/FileCommands.h"
#include "operations/NameBatch.h"
#include "operations/Renaming.h"
#include "operations/TagEditing.h"
#include "platform/FileNameCodec.h"
#include "platform/FileOps.h"
#include "platform/FolderNames.h"
#include "platform/NativePath.h"
#include "shell/ShellControls.h"
#include "widgets/RadioGroup.h"

#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>

#include <algorithm>

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------- renaming

namespace {

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

} // namespace

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
    // Reported in list order, each file as the renaming always did.
    for (const operations::NameJob& job : jobs) {
        if (job.plan.state == operations::PlanState::Unchanged && !job.error)
            continue;
        const QString newPath = folderOf(job.path) + job.plan.newName;
        if (job.moved) {
            setRowName(rowOf(job), job.plan.newName);
            appendLog(shownPath(job.path) + u"->"_s + shownPath(newPath));
        } else if (!job.at.isEmpty()) {
            // Neither name could be had back: the file keeps a temporary one.
            setRowName(rowOf(job), job.at.mid(job.at.lastIndexOf(u'/') + 1));
            appendLog(shownPath(job.path) + failed + u"(文件暂时名为 "_s + job.at + u')');
        } else if (job.plan.state == operations::PlanState::Rename) {
            appendLog(shownPath(job.path) + failed); // the move itself failed
        } else {
            appendLog(shownPath(job.path) + failed + u'(' + job.error.value_or(QString()) + u')');
        }
        Batch->count(job.moved);
    }
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
