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

#include <algorithm>
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
    writeTags(dialog);
    renameFiles(dialog);
}

// The tag edits as one step: each file logged with the fields it changed.
void TToolsController::writeTags(const TFormTools& dialog)
{
    std::map<QString, QStringList> fieldsOf; // by path
    for (const operations::ToolEdit& edit : dialog.edits())
        if (edit.field && edit.error.isEmpty())
            fieldsOf[dialog.files()[edit.file].path] << operations::editFieldName(edit.field);
    if (fieldsOf.empty())
        return;
    const operations::TagCommand command = operations::toolTagCommand(
        dialog.tool(), dialog.files(), *core_.priority(), core_.textRules());
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
    window_.runCommand(run);
}

// New names through the renaming's plan, planned again against the folder.
void TToolsController::renameFiles(const TFormTools& dialog)
{
    const bool any = std::any_of(dialog.edits().begin(), dialog.edits().end(),
                                 [](const operations::ToolEdit& edit) { return !edit.field; });
    if (!any)
        return;
    QHash<QString, int> rows;
    const QString folder = w_.folder->Path();
    for (const int row : w_.list->selectedRows())
        rows.insert(folder + w_.list->rows().name(row), row);
    auto jobs = operations::toolNameJobs(dialog.edits(), dialog.files(), window_.shownName);
    renaming_.runJobs(jobs, u"正在批量文件名..."_s, u"修改文件名失败！"_s,
                      [&rows](const operations::NameJob& job) { return rows.value(job.path, -1); });
    window_.frame().finish(u"批量处理完成"_s, w_.pages->currentIndex());
    window_.namesChanged();
}
