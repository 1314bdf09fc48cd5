// The file and folder commands of the window over the steps of
// operations/ItemSteps: moves onto the tree, the trash, a new folder.

#include "app/ItemsController.h"

#include "app/RenamePlanDialog.h"
#include "app/ReportList.h"
#include "operations/FileCommands.h"
#include "operations/ItemSteps.h"
#include "platform/FolderNames.h"
#include "shell/ShellControls.h"

#include <QHash>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <iterator>
#include <utility>

using namespace Qt::StringLiterals;

TItemsController::TItemsController(const Widgets& widgets, Window window)
    : w_(widgets), window_(std::move(window))
{
}

const QString& TItemsController::rowName(int row) const
{
    return w_.list->rows().name(row);
}

bool TItemsController::ShellTreeDragOver(QObject* source) const
{
    return source == w_.list;
}

void TItemsController::ShellTreeDragDrop(QObject* source, int x, int y)
{
    window_.stopPlayer();
    if (source != w_.list || !window_.leavePage())
        return;
    const QString target = w_.tree->GetNodePath(w_.tree->itemAt(x, y));
    if (target.isEmpty())
        return; // no folder under the pointer
    const QString folder = w_.files->Path();
    std::vector<QString> names;
    for (const int row : w_.list->selectedRows()) {
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
    QTimer::singleShot(0, window_.widget, [this, target, folder, names] {
        window_.guarded([&] { askAndMoveRowsTo(target, folder, names); });
    });
}

void TItemsController::askAndMoveRowsTo(const QString& target, const QString& folder,
                                        const std::vector<QString>& names)
{
    if (w_.files->Path() != folder || window_.busy())
        return; // the list moved on meanwhile
    const auto entries = platform::FolderEntries(target).value_or(std::vector<QString>{});
    const platform::NameRules rules = platform::NameRulesOf(target);
    TFormRenamePlan dialog(window_.widget);
    dialog.setNameShower(window_.shownName);
    dialog.showMoves(
        [&](operations::ClashChoice choice) {
            return operations::planMoves(names, entries, rules, choice);
        },
        target);
    if (dialog.exec() == QDialog::Accepted)
        moveRowsTo(target, dialog.plan());
}

void TItemsController::moveRowsTo(const QString& target,
                                  const std::vector<operations::PlannedName>& plan)
{
    const QString folder = w_.files->Path();
    QHash<QString, int> rows;
    for (const int row : w_.list->selectedRows())
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
            window_.appendLog(window_.shownPath(oldPath) + u"未移动: "_s + outcome.reason);
        } else if (outcome.succeeded) {
            window_.appendLog(window_.shownPath(oldPath) + u"->"_s +
                              window_.shownPath(outcome.file));
            gone.push_back(rows.value(present[i].name));
        } else {
            window_.appendLog(window_.shownPath(oldPath) + u"移动文件失败！"_s);
        }
    }
    // The moved rows go once the moves are done: the others keep their indexes meanwhile.
    std::sort(gone.begin(), gone.end(), std::greater<>());
    for (const int row : gone)
        w_.list->rows().removeRowAt(row);
    window_.recordStep(operations::StepKind::Move, step.files);
}

void TItemsController::MenuCreSubClick()
{
    const QString name = (*window_.inputBox)(u"新建子目录"_s, u"目录名"_s, QString());
    if (name.isEmpty())
        return;
    const QString folder = w_.tree->GetNodePath(w_.tree->currentItem());
    if (folder.isEmpty())
        return; // no folder of the file system is selected
    const QString path = operations::joinPath(folder, name);
    window_.recordStep(operations::StepKind::NewFolder, operations::makeFolder(path).files);
    w_.tree->RefreshTree();
    w_.tree->setSelectedFolder(path);
}

void TItemsController::MenuDelFileClick()
{
    if (!window_.leavePage())
        return;
    const QString folder = w_.files->Path();
    const std::vector<int> rows = w_.list->selectedRows();
    std::vector<QString> paths;
    for (const int row : rows)
        paths.push_back(folder + rowName(row));
    const operations::ItemStep step = operations::trashFiles(paths);
    // From the last: the rows before keep their indexes.
    for (std::size_t i = rows.size(); i-- > 0;) {
        if (step.outcomes[i].succeeded)
            w_.list->rows().removeRowAt(rows[i]);
    }
    window_.recordStep(operations::StepKind::Trash, step.files);
}
