#include "app/ToolsController.h"

#include "app/BatchFrame.h"
#include "app/ErrorReport.h"
#include "app/RenameController.h"
#include "app/ReportList.h"
#include "app/ToolsDialog.h"
#include "settings/ToolsSection.h"
#include "shell/ShellList.h"

#include <QHash>
#include <QTabWidget>

#include <map>

using namespace Qt::StringLiterals;

TToolsController::TToolsController(const operations::Core& core, TRenameController& renaming,
                                   const Widgets& widgets, Window window)
    : core_(core), renaming_(renaming), w_(widgets), window_(std::move(window))
{
}

void TToolsController::MenuToolsClick()
{
    const auto priority = core_.priority();
    if (!priority || !window_.leavePage())
        return;
    const QString folder = w_.folder->Path();
    std::vector<QString> paths;
    for (const int row : w_.list->selectedRows())
        paths.push_back(folder + w_.list->rows().name(row));
    if (paths.empty())
        return;
    const auto stored = settings::readAdPatterns(TIniFile());
    TFormTools dialog(operations::readToolFiles(paths, *priority, core_.textRules()),
                      window_.shownName, stored.value_or(operations::AdStripper::presets()),
                      window_.widget);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (dialog.adPatternsChanged()) {
        TIniFile ini;
        settings::writeAdPatterns(ini, dialog.adPatterns());
    }
    // Planned before the tags are written, which change no name: whether
    // names follow makes the kind of the step.
    auto jobs = operations::toolNameJobs(dialog.edits(), dialog.files(), window_.shownName);
    const std::int64_t step = writeTags(dialog, operations::toolStepKind(jobs));
    renameFiles(jobs, step);
}

// The tag edits, each file logged with the fields it changed. Gives the step.
std::int64_t TToolsController::writeTags(const TFormTools& dialog, operations::StepKind kind)
{
    std::map<QString, QStringList> fieldsOf; // by path
    for (const operations::ToolEdit& edit : dialog.edits())
        if (edit.field && edit.error.isEmpty())
            fieldsOf[dialog.files()[edit.file].path] << operations::editFieldName(edit.field);
    if (fieldsOf.empty())
        return 0;
    const operations::TagCommand command = operations::toolTagCommand(
        dialog.tool(), dialog.files(), *core_.priority(), core_.textRules(), kind);
    TBatchController::CommandRun run;
    run.runningText = u"正在批量处理..."_s;
    run.completionText = u"批量处理完成"_s;
    run.page = w_.pages->currentIndex();
    run.command = &command;
    run.done = [&](int, const operations::TagPlan& plan,
                   const operations::FileOutcome& outcome) -> std::optional<bool> {
        if (!plan.due)
            return std::nullopt; // nothing of this file changes
        const QString shown = window_.shownPath(plan.file);
        window_.appendLog(outcome.succeeded
                              ? shown + u"批量处理: "_s + fieldsOf[plan.file].join(u", "_s) + u"."_s
                              : shown + u"批量处理失败: "_s + outcome.reason);
        return outcome.succeeded;
    };
    run.closing = window_.afterRun;
    return window_.runCommand(run);
}

// New names through the renaming's plan, in the step of the tags. A file
// whose name the plan refuses keeps its new tags; the log says why its name
// stayed.
void TToolsController::renameFiles(std::vector<operations::NameJob>& jobs, std::int64_t step)
{
    if (jobs.empty())
        return;
    QHash<QString, int> rows;
    const QString folder = w_.folder->Path();
    for (const int row : w_.list->selectedRows())
        rows.insert(folder + w_.list->rows().name(row), row);
    renaming_.runJobs(
        jobs, u"正在批量文件名..."_s, u"修改文件名失败！"_s,
        [&rows](const operations::NameJob& job) { return rows.value(job.path, -1); }, step);
    window_.frame().finish(u"批量处理完成"_s, w_.pages->currentIndex());
    window_.namesChanged();
    window_.stepsChanged();
}
