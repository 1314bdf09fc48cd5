// The list menu's encoding tools: conversion of legacy tag texts, and the
// repair of file names.

#include "app/EncodingController.h"

#include "app/BatchFrame.h"
#include "app/EncodingCheck.h"
#include "app/ErrorReport.h"
#include "app/RenameController.h"
#include "app/ReportList.h"
#include "operations/Conversion.h"
#include "operations/EncodingRepair.h"
#include "operations/NameBatch.h"
#include "shell/ShellControls.h"

#include <QAction>
#include <QHash>
#include <QTabWidget>

using namespace Qt::StringLiterals;

TEncodingController::TEncodingController(const operations::Core& core, TRenameController& renaming,
                                         const Widgets& widgets, Window window)
    : core_(core), renaming_(renaming), w_(widgets), window_(std::move(window))
{
    QWidget* const context = window_.widget;
    const auto on = [this, context](QAction* action, void (TEncodingController::*handler)()) {
        QObject::connect(action, &QAction::triggered, context, [this, handler] {
            window_.guarded([this, handler] { (this->*handler)(); });
        });
    };
    on(w_.inspect, &TEncodingController::inspectSelected);
    on(w_.fixNames, &TEncodingController::fixSelectedNames);
}

void TEncodingController::inspectSelected()
{
    if (!window_.leavePage())
        return;
    std::vector<TEncodingFile> files;
    for (const int row : w_.list->selectedRows()) {
        const QString path = w_.folder->Path() + w_.list->rows().name(row);
        files.push_back({path, w_.list->row(row).shown,
                         operations::legacyTextsOf(v1_, v2_, path, core_.textRules())});
    }
    TFormEncoding dialog(window_.widget);
    dialog.setFiles(std::move(files));
    dialog.exec();
    if (dialog.convertRequested())
        convert(dialog.interpretations());
}

// The selected rows the dialog listed, converted in list order as one step.
void TEncodingController::convert(
    const std::map<QString, std::optional<platform::LegacyCodePage>>& chosen)
{
    TBatchFrame& frame = window_.frame();
    const TReportList* list = w_.list;
    const int page = w_.pages->currentIndex(); // back where the user was
    const int rows = list->rowCount();
    frame.begin(u"正在转换编码..."_s, rows);
    operations::Conversion conversion(
        core_.journal(), core_.textRules(),
        [&](std::size_t, const operations::Conversion::FileResult& result) {
            // A file whose texts are Unicode already is left alone, uncounted.
            if (!result.needed)
                return;
            const bool succeeded = result.file.succeeded;
            window_.appendLog(window_.shownPath(result.file.file) +
                              (succeeded ? u"编码转换."_s : u"编码转换失败."_s));
            frame.count(succeeded);
            frame.afterWrite();
        });
    try {
        for (int i = 0; i < rows && i < list->rowCount(); ++i) {
            const QString path = w_.folder->Path() + list->rows().name(i);
            const auto codePage = chosen.find(path);
            if (list->isRowSelected(i) && codePage != chosen.end())
                conversion.add(path, codePage->second);
            frame.afterRow(i);
        }
    } catch (const std::exception& e) {
        // The run stops at this file; what was made ready is still written.
        ShowException(e, window_.widget);
    }
    conversion.finish();
    // The files were written all the same, through copies: say that this
    // change cannot be taken back, and why.
    for (const QString& problem : conversion.problems())
        window_.appendLog(problem);
    frame.finish(u"编码转换完成"_s, page);
    window_.afterConversion();
}

void TEncodingController::fixSelectedNames()
{
    if (!window_.leavePage())
        return;
    // The repair is planned whole first, as the command line plans it: a name
    // another file has, or that two files would take, or that the file system
    // refuses, is said before anything moves.
    const QString folder = w_.folder->Path();
    QHash<QString, int> rows;
    std::vector<QString> paths;
    for (const int row : w_.list->selectedRows()) {
        if (!w_.list->row(row).legacyName)
            continue; // a UTF-8 name already
        const QString path = folder + w_.list->rows().name(row);
        rows.insert(path, row);
        paths.push_back(path);
    }
    std::vector<operations::NameJob> jobs = operations::nameJobs(paths);
    operations::planRepairedNames(jobs, core_.detector(), core_.codePage(),
                                  [this](const QString& name) { return core_.shownName(name); });
    renaming_.runJobs(jobs, u"正在修复文件名..."_s, u"修复文件名失败！"_s,
                      [&rows](const operations::NameJob& job) { return rows.value(job.path, -1); });
    window_.frame().finish(u"修复文件名完成"_s, w_.pages->currentIndex());
    window_.namesChanged();
}
