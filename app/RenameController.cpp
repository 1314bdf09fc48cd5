// The renaming page of the main window, and the run of a renaming planned
// whole.

#include "app/RenameController.h"

#include "app/BatchFrame.h"
#include "app/RenamePlanDialog.h"
#include "app/ReportList.h"
#include "operations/Renaming.h"
#include "operations/TagEditing.h"
#include "operations/ToolsStep.h"
#include "platform/FolderNames.h"
#include "shell/ShellControls.h"
#include "widgets/RadioGroup.h"

#include <QEvent>
#include <QHash>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// The placeholders of fields that the list's rows do not hold.
const std::array<QString, 3> kFileOnlyPlaceholders{u"%7"_s, u"%8"_s, u"%9"_s};

QString folderOf(const QString& path)
{
    return path.left(path.lastIndexOf(u'/') + 1);
}

} // namespace

TRenameController::TRenameController(const operations::Core& core, const Widgets& widgets,
                                     Window window)
    : core_(core), w_(widgets), window_(std::move(window))
{
    QWidget* const context = window_.widget;
    const auto on = [this, context](auto* sender, auto signal,
                                    void (TRenameController::*handler)()) {
        connect(sender, signal, context,
                [this, handler] { window_.guarded([this, handler] { (this->*handler)(); }); });
    };
    on(w_.run, &QPushButton::clicked, &TRenameController::renameSelected);
    on(w_.addPlaceholder, &QPushButton::clicked, &TRenameController::showPlaceholders);
    on(w_.pattern, &QLineEdit::textChanged, &TRenameController::patternChanged);
    w_.presets->OnClick = [this](QObject*) {
        window_.guarded([this] { presetChosen(); });
    };
    for (std::size_t i = 0; i < w_.fields.size(); ++i)
        connect(w_.fields[i], &QAction::triggered, context,
                [this, p = u'%' + QString::number(i + 1)] { insertPlaceholder(p); });
    w_.pattern->installEventFilter(this);
}

bool TRenameController::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == w_.pattern && event->type() == QEvent::FocusOut) {
        // The edit drops its selection as it loses the focus; the placeholder
        // menu inserts where the caret was.
        patternText_ = w_.pattern->text();
        patternCaret_ = w_.pattern->hasSelectedText() ? w_.pattern->selectionStart()
                                                      : w_.pattern->cursorPosition();
    }
    return QObject::eventFilter(watched, event);
}

void TRenameController::renameSelected()
{
    if (!window_.leavePage())
        return;
    const QString folder = w_.folder->Path();
    const std::vector<int> rows = w_.list->selectedRows();
    TFormRenamePlan dialog(window_.widget);
    dialog.setNameShower(window_.shownName);
    dialog.showRenames(plan(folder, rows, true));
    // While the dialog is open the list may follow changes on disk; the run
    // finds its rows anew by their names.
    if (dialog.exec() != QDialog::Accepted || w_.folder->Path() != folder)
        return;
    runPlan(folder, dialog.plan());
}

std::vector<operations::PlannedName>
TRenameController::plan(const QString& folder, const std::vector<int>& rows, bool readFiles)
{
    const QString pattern = w_.pattern->text();
    const auto p = core_.priority();
    const TReportList* list = w_.list;
    // A plan to run takes each file's tags as they are now: another program
    // may have changed them since the cells were read. The cells hold the
    // list's six fields: a pattern with the track, the disc or the album
    // artist reads the files for the preview too.
    const bool cellsHoldAll = std::none_of(
        kFileOnlyPlaceholders.begin(), kFileOnlyPlaceholders.end(),
        [&pattern](const QString& placeholder) { return pattern.contains(placeholder); });
    const auto values = [&](int row) {
        operations::PatternValues out;
        if (!readFiles && cellsHoldAll) {
            const auto cells = list->row(row).tags();
            std::copy(cells.begin(), cells.end(), out.begin());
        } else if (p) {
            out = operations::patternValues(operations::readShownTags(
                v1_, v2_, *p, folder + list->rows().name(row), core_.textRules()));
        }
        return out;
    };
    std::vector<operations::NameSource> sources;
    sources.reserve(rows.size());
    for (const int row : rows)
        sources.push_back(
            {list->rows().name(row), operations::substitutePattern(pattern, values(row))});
    // A folder that cannot be read hides no name that matters: the moves
    // themselves never replace anything.
    const auto entries = platform::FolderEntries(folder);
    return operations::planRenames(sources, entries.value_or(std::vector<QString>{}),
                                   platform::NameRulesOf(folder), window_.shownName);
}

void TRenameController::runPlan(const QString& folder,
                                const std::vector<operations::PlannedName>& plan)
{
    QHash<QString, int> rows;
    for (const int row : w_.list->selectedRows())
        rows.insert(w_.list->rows().name(row), row);
    std::vector<operations::NameJob> jobs = operations::jobsOfPlan(
        folder, plan, [&rows](const QString& name) { return rows.contains(name); });
    window_.setRefreshEnabled(false);
    runJobs(jobs, u"正在批量文件名..."_s, u"修改文件名失败！"_s,
            [&](const operations::NameJob& job) { return rows.value(job.plan.name, -1); });
    TBatchFrame& frame = window_.frame();
    frame.showTotals();
    frame.finish(u"批量修改文件名完成"_s, 1);
    window_.setRefreshEnabled(true);
    window_.clearPage();
    window_.namesChanged();
}

void TRenameController::runJobs(std::vector<operations::NameJob>& jobs, const QString& runningText,
                                const QString& failed, const RowOfJob& rowOf,
                                std::optional<std::int64_t> toolStep)
{
    TBatchFrame& frame = window_.frame();
    std::size_t toMove = 0;
    for (const operations::NameJob& job : jobs)
        toMove += !job.error && job.plan.state == operations::PlanState::Rename;
    frame.begin(runningText, int(toMove));
    // The bar moves about 200 times whatever the number of files.
    const std::size_t stride = std::max<std::size_t>(1, toMove / 200);
    const auto progress = [&](std::size_t finished) {
        if (finished % stride == 0)
            frame.stepTo(int(finished) - 1);
    };
    std::vector<operations::StepFile> step;
    std::vector<QString> problems;
    if (toolStep)
        problems = operations::moveJobsInStep(core_.journal(), *toolStep, jobs, progress).problems;
    else
        step = operations::moveJobs(jobs, progress);
    const auto& shownPath = window_.shownPath;
    // Reported in list order, each file as the renaming always did, in one
    // append: the log lays out and scrolls once, not once a file.
    QStringList log;
    for (const operations::NameJob& job : jobs) {
        if (job.plan.state == operations::PlanState::Unchanged && !job.error)
            continue;
        const QString newPath = folderOf(job.path) + job.plan.newName;
        if (job.moved) {
            window_.setRowName(rowOf(job), job.plan.newName);
            log.append(shownPath(job.path) + u"->"_s + shownPath(newPath));
        } else if (!job.at.isEmpty()) {
            // Neither name could be had back: the file keeps a temporary one.
            window_.setRowName(rowOf(job), job.at.mid(job.at.lastIndexOf(u'/') + 1));
            log.append(shownPath(job.path) + failed + u"(文件暂时名为 "_s + job.at + u')');
        } else if (job.plan.state == operations::PlanState::Rename) {
            log.append(shownPath(job.path) + failed); // the move itself failed
        } else {
            log.append(shownPath(job.path) + failed + u'(' + job.error.value_or(QString()) + u')');
        }
        frame.count(job.moved);
    }
    for (const QString& problem : problems)
        log.append(problem);
    if (!log.isEmpty())
        window_.appendLog(log.join(u'\n'));
    if (!toolStep)
        window_.recordStep(operations::StepKind::Rename, step);
}

void TRenameController::presetChosen()
{
    const int item = w_.presets->itemIndex();
    if (item >= 0 && item < 4)
        w_.pattern->setText(operations::presetPatterns()[std::size_t(item)]);
}

void TRenameController::patternChanged()
{
    // Neither handler loops: setting the text or the item each already has
    // raises nothing.
    w_.presets->setItemIndex(operations::presetIndexOf(w_.pattern->text()));
}

void TRenameController::showPlaceholders()
{
    // Just below the button's lower-left corner.
    w_.placeholders->popup(w_.addPlaceholder->mapToGlobal(QPoint(8, w_.addPlaceholder->height())));
}

void TRenameController::insertPlaceholder(const QString& placeholder)
{
    QLineEdit* edit = w_.pattern;
    int caret = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
    // The button (or its menu) took the focus: the caret the edit had then.
    if (!edit->hasFocus() && patternCaret_ >= 0 && patternText_ == edit->text())
        caret = patternCaret_;
    const auto inserted = operations::insertPlaceholder(edit->text(), caret, placeholder);
    edit->setText(inserted.text);
    edit->setFocus();
    edit->setCursorPosition(inserted.caret);
}
