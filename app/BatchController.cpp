// The batch page and the batch runs of the window: a command prepared over
// the selected rows and run in the batch frame, each file logged and counted.

#include "app/BatchController.h"

#include "app/Application.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "app/ReportList.h"
#include "operations/CopyCommand.h"
#include "operations/TagWrites.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QStringList>
#include <QTimer>

#include <utility>

using namespace Qt::StringLiterals;

namespace {

// The page's fields as it shows and logs them.
struct PageField {
    operations::Field field;
    QString name;
};
const std::array<PageField, TBatchController::kFields>& pageFields()
{
    using operations::Field;
    static const std::array<PageField, TBatchController::kFields> fields{{
        {Field::Title, u"标题"_s},
        {Field::Artist, u"作者"_s},
        {Field::Album, u"专辑"_s},
        {Field::Year, u"年代"_s},
        {Field::Genre, u"类型"_s},
        {Field::Comment, u"备注"_s},
        {Field::Track, u"音轨"_s},
        {Field::Disc, u"碟号"_s},
        {Field::AlbumArtist, u"专辑艺术家"_s},
    }};
    return fields;
}

} // namespace

TBatchController::TBatchController(operations::Core& core, TBatchFrame& frame,
                                   const Widgets& widgets, Window window)
    : core_(core), frame_(frame), w_(widgets), window_(std::move(window))
{
}

// ---------------------------------------------------------------- runs

std::int64_t TBatchController::runCommand(const CommandRun& run)
{
    const TReportList* list = w_.list;
    const int rows = list->rowCount();
    frame_.begin(run.runningText, rows);
    // The rows of the files given and not yet written: a slice at most.
    std::deque<int> waiting;
    operations::TagRunner runner(
        *run.command, core_.journal(),
        [&](std::size_t, const operations::TagPlan& plan, const operations::FileOutcome& outcome) {
            const int row = waiting.front();
            waiting.pop_front();
            if (const auto counted = run.done(row, plan, outcome))
                frame_.count(*counted);
            frame_.afterWrite();
        },
        [&](std::size_t, const tags::TagChange& change) {
            if (run.made)
                run.made(waiting.back(), change);
        });
    try {
        for (int i = 0; i < rows && i < list->rowCount(); ++i) {
            if (list->isRowSelected(i)) {
                waiting.push_back(i);
                try {
                    runner.add(window_.rowPath(i));
                } catch (...) {
                    waiting.pop_back(); // not taken
                    throw;
                }
            }
            frame_.afterRow(i);
        }
    } catch (const std::exception& e) {
        // The run stops at this file: those before it are still written.
        ShowException(e, window_.widget);
    }
    const auto ran = runner.finish();
    // The files were written all the same, through copies: say that this
    // change cannot be taken back, and why.
    for (const QString& problem : ran.problems)
        window_.appendLog(problem);
    if (ran.stopped) {
        try {
            std::rethrow_exception(ran.stopped);
        } catch (const std::exception& e) {
            ShowException(e, window_.widget);
        }
    }
    ended(run);
    return ran.step;
}

void TBatchController::ended(const CommandRun& run)
{
    frame_.finish(run.completionText, run.page);
    if (run.closing)
        run.closing();
    window_.updateEditMenu();
    flushJournalSoon();
}

void TBatchController::runBatch(const BatchRun& run)
{
    const TReportList* list = w_.list;
    const int rows = list->rowCount();
    frame_.begin(run.runningText, rows);
    if (run.tagStep) {
        // Written slice by slice while the rows are read, each file followed
        // by what its row does next.
        writes_ = std::make_unique<operations::TagBatch>(
            core_.journal(), *run.tagStep, [this](std::size_t, const operations::Outcome& outcome) {
                const AfterWrite then = std::move(afterWrites_.front());
                afterWrites_.pop_front();
                then(outcome);
                frame_.afterWrite();
            });
    }
    try {
        for (int i = 0; i < rows && i < list->rowCount(); ++i) {
            run.act(i);
            frame_.afterRow(i);
        }
    } catch (const std::exception& e) {
        // The run stops at this file; the frame still finishes.
        ShowException(e, window_.widget);
    }
    try {
        // The slices written already are part of the step: the rest of it
        // is written and the step ended, also after a stop.
        writeQueued();
    } catch (const std::exception& e) {
        ShowException(e, window_.widget);
    }
    writes_.reset();
    afterWrites_.clear();
    ended({run.runningText, run.completionText, run.page, nullptr, {}, {}, run.closing});
}

void TBatchController::flushJournalSoon()
{
    // The flush of what the command wrote waits for the window to show its
    // outcome; until it runs a crash has the files checked at the next start.
    QTimer::singleShot(0, window_.widget, [this] {
        if (const QString problem = core_.flush(); !problem.isEmpty())
            window_.appendLog(problem);
    });
}

void TBatchController::queueWrite(tags::TagChange change, AfterWrite then)
{
    if (!writes_) {
        // Outside a tag batch the change is a step of its own.
        then(operations::writeOne(core_.journal(), operations::StepKind::Save, std::move(change)));
        return;
    }
    afterWrites_.push_back(std::move(then));
    writes_->add(std::move(change));
}

void TBatchController::writeQueued()
{
    if (!writes_)
        return;
    writes_->finish();
    for (const QString& problem : writes_->problems())
        window_.appendLog(problem);
}

void TBatchController::recordStep(operations::StepKind kind,
                                  const std::vector<operations::StepFile>& files)
{
    if (const QString problem = core_.record(kind, files); !problem.isEmpty())
        window_.appendLog(problem);
    window_.updateEditMenu();
}

// ---------------------------------------------------------------- the page

operations::FieldsCommand TBatchController::fieldsCommand() const
{
    operations::FieldSources sources;
    for (std::size_t f = 0; f < kFields; ++f) {
        if (!w_.checks[f]->isChecked())
            continue;
        const auto index = std::size_t(pageFields()[f].field);
        const bool fromName = w_.sources[f]->itemIndex() == 0;
        sources.from[index] =
            fromName ? operations::FieldSources::From::Name : operations::FieldSources::From::Text;
        sources.text[index] = w_.edits[f]->text();
    }
    sources.pattern = w_.pattern->text();
    return operations::FieldsCommand(sources, core_.priority(), core_.textRules(),
                                     [this](const QString& name) { return core_.shownName(name); });
}

bool TBatchController::refusesTypedValues() const
{
    const bool v1Only = core_.priority() == operations::Priority::V1Only;
    for (std::size_t f = 0; f < kFields; ++f) {
        if (!w_.checks[f]->isChecked())
            continue;
        const auto field = pageFields()[f].field;
        const QString text = w_.edits[f]->text();
        QString why;
        // Written nowhere, it would still be logged and counted as set.
        if (v1Only && !operations::v1Holds(field))
            why = u"ID3v1 没有"_s + pageFields()[f].name + u", 只显示ID3v1时不能修改"_s;
        else if (w_.sources[f]->itemIndex() != 0 && !operations::acceptsValue(field, text))
            why = pageFields()[f].name + u"应为 n 或 n/总数: "_s + text;
        if (why.isEmpty())
            continue;
        QMessageBox::warning(window_.widget, TApplication::title(), why);
        w_.edits[f]->setFocus();
        return true;
    }
    return false;
}

void TBatchController::BtnChgMPropClick()
{
    if (!window_.leavePage() || refusesTypedValues())
        return;
    // Input waits while the batch runs: the page is read once, at the click.
    const operations::FieldsCommand fields = fieldsCommand();
    CommandRun run;
    run.runningText = u"正在批量修改..."_s;
    run.completionText = u"批量修改属性完成"_s;
    run.page = 0;
    run.command = &fields.command();
    run.made = [&](int row, const tags::TagChange&) {
        const QString path = window_.rowPath(row);
        const auto values = fields.valuesFor(path);
        if (!values)
            return;
        for (const PageField& page : pageFields()) {
            const auto& value = values->value(page.field);
            if (!value)
                continue;
            // The list's rows hold its six fields; the others show after the
            // rebuild. A row not read yet is read from the file written.
            if (const auto cell = std::size_t(page.field);
                cell < operations::kListFieldCount && w_.list->rows().isRead(row))
                w_.list->rows().changeRow(row, [&](TReportRow& r) {
                    r.hasTag = true; // a row without cells gets them
                    r.setTag(int(cell), *value);
                });
            window_.appendLog(window_.shownPath(path) + u"修改"_s + page.name + u"."_s);
        }
    };
    run.done = [this](int, const operations::TagPlan& plan,
                      const operations::FileOutcome& outcome) -> std::optional<bool> {
        if (!plan.due)
            return std::nullopt; // nothing to set, or no version to write
        if (!outcome.succeeded) {
            const QString shown = window_.shownPath(plan.file);
            window_.appendLog(outcome.reason == operations::FieldsCommand::misfit()
                                  ? shown + outcome.reason + u"."_s
                                  : shown + u"修改属性失败: "_s + outcome.reason);
        }
        return outcome.succeeded;
    };
    run.closing = window_.rebuildList;
    runCommand(run);
}

void TBatchController::BtnV1V2Click()
{
    copyTags(true);
}

void TBatchController::BtnV2V1Click()
{
    copyTags(false);
}

void TBatchController::copyTags(bool v1ToV2)
{
    if (!window_.leavePage())
        return;
    TFormID3 dialog(window_.widget);
    dialog.FormCreate();
    if (v1ToV2)
        dialog.addItems({u"如果ID3v2存在则不覆盖"_s, u"用ID3v1覆盖ID3v2"_s});
    else
        dialog.addItems({u"如果ID3v1存在则不覆盖"_s, u"用ID3v2覆盖ID3v1"_s});
    dialog.selectItem(0);
    dialog.exec();
    if (dialog.Choice < 0)
        return;
    const operations::CopyCommand copy(v1ToV2 ? operations::CopyDirection::V1ToV2
                                              : operations::CopyDirection::V2ToV1,
                                       dialog.Choice == 1, core_.textRules());

    CommandRun run;
    run.runningText = u"正在复制属性..."_s;
    run.completionText = u"复制属性完成"_s;
    run.page = 0;
    run.command = &copy.command();
    run.done = [&](int, const operations::TagPlan& plan, const operations::FileOutcome& outcome) {
        const QString shown = window_.shownPath(plan.file);
        if (outcome.succeeded)
            window_.appendLog(shown + copy.succeeded());
        else if (plan.ready)
            window_.appendLog(shown + u"复制属性失败."_s);
        else if (outcome.reason != copy.noSource()) // a file without the tag is only counted
            window_.appendLog(shown + outcome.reason);
        return std::optional<bool>(outcome.succeeded);
    };
    run.closing = window_.rebuildList;
    runCommand(run);
}

void TBatchController::showFieldPreview()
{
    QLabel* label = w_.preview;
    const int first = w_.list->firstSelectedRow();
    if (first < 0) {
        label->clear();
        return;
    }
    const auto values = fieldsCommand().valuesFor(window_.rowPath(first));
    if (!values) {
        label->setText(u"“%1”与文件名格式不符,不会修改"_s.arg(w_.list->row(first).shown));
        return;
    }
    QStringList parts;
    for (const PageField& page : pageFields()) {
        if (const auto& value = values->value(page.field))
            parts << page.name + u": "_s + (value->isEmpty() ? u"(空)"_s : *value);
    }
    label->setText(parts.isEmpty() ? u"没有勾选要修改的项"_s : u"将设为  "_s + parts.join(u"  "_s));
}
