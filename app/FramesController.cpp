#include "app/FramesController.h"

#include "app/FramesDialog.h"
#include "app/ReportList.h"
#include "operations/LyricsCommand.h"
#include "tags/ID3v1.h"
#include "tags/ID3v2.h"

#include <QAction>
#include <QLabel>
#include <QMessageBox>
#include <QTabWidget>

#include <map>

using namespace Qt::StringLiterals;

TFramesController::TFramesController(const operations::Core& core, const Widgets& widgets,
                                     Window window)
    : core_(core), w_(widgets), window_(std::move(window))
{
    QWidget* const context = window_.widget;
    const auto on = [this, context](QAction* action, void (TFramesController::*handler)()) {
        QObject::connect(action, &QAction::triggered, context, [this, handler] {
            window_.guarded([this, handler] { (this->*handler)(); });
        });
    };
    on(w_.frames, &TFramesController::showFrames);
    on(w_.lyricsImport, &TFramesController::importLyrics);
    on(w_.lyricsExport, &TFramesController::exportLyrics);
}

std::vector<QString> TFramesController::selectedPaths() const
{
    std::vector<QString> paths;
    for (const int row : w_.list->selectedRows())
        paths.push_back(window_.rowPath(row));
    return paths;
}

void TFramesController::updateMenu(int selected)
{
    const bool free = !window_.busy();
    w_.frames->setEnabled(free && selected == 1);
    w_.lyricsImport->setEnabled(free && selected > 0);
    w_.lyricsExport->setEnabled(free && selected > 0);
}

void TFramesController::showFrames()
{
    const std::vector<QString> paths = selectedPaths();
    if (paths.size() != 1 || window_.busy() || !window_.leavePage())
        return;
    const QString path = paths.front();
    bool saved = false;
    TFramesDialog dialog(
        window_.widget, path, core_.textRules(),
        [&](const operations::FrameChanges& changes, const operations::TagsSeen& seen) {
            const auto result =
                operations::saveFrames(core_.journal(), path, changes, seen, core_.textRules());
            for (const QString& problem : result.problems)
                window_.appendLog(problem);
            window_.appendLog(window_.shownPath(path) + (result.succeeded
                                                             ? result.message + u"."_s
                                                             : u"修改帧失败: "_s + result.message));
            window_.afterStep();
            saved = saved || result.succeeded;
            return result;
        });
    dialog.load();
    dialog.exec();
    if (saved)
        window_.afterRun();
}

void TFramesController::importLyrics()
{
    if (window_.busy() || !window_.leavePage())
        return;
    std::map<QString, QString> encodings; // by file, once its lyrics file is read
    const auto command = operations::lyricsImportCommand(
        core_.textRules(), core_.codePage(), window_.shownName,
        [&](const QString& path, const operations::LyricsBeside& beside) {
            if (beside.lyrics)
                encodings[path] = beside.lyrics->encodingName();
        });
    TBatchController::CommandRun run;
    run.runningText = u"正在导入歌词..."_s;
    run.completionText = u"导入歌词完成"_s;
    run.page = w_.pages->currentIndex();
    run.command = &command;
    run.done = [&](int, const operations::TagPlan& plan,
                   const operations::FileOutcome& outcome) -> std::optional<bool> {
        const QString shown = window_.shownPath(plan.file);
        window_.appendLog(shown + (outcome.succeeded ? u"导入歌词 (%1)."_s.arg(encodings[plan.file])
                                                     : u"导入歌词失败: "_s + outcome.reason));
        return outcome.succeeded;
    };
    run.closing = window_.afterRun;
    window_.runCommand(run);
}

void TFramesController::exportLyrics()
{
    if (window_.busy())
        return;
    TID3v1 v1;
    TID3v2 v2;
    int written = 0;
    for (const QString& path : selectedPaths()) {
        auto exported = operations::exportLyrics(v1, v2, path, false, core_.textRules());
        const QString lrc = window_.shownPath(exported.lrc);
        if (exported.result == operations::LyricsExport::Exists) {
            const auto answer = QMessageBox::question(
                window_.widget, u"导出歌词"_s, u"%1 已存在, 是否覆盖?"_s.arg(lrc),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes) {
                window_.appendLog(lrc + u"已存在, 未覆盖."_s);
                continue;
            }
            exported = operations::exportLyrics(v1, v2, path, true, core_.textRules());
        }
        if (exported.result == operations::LyricsExport::Written) {
            ++written;
            window_.appendLog(lrc + u"导出歌词."_s);
        } else {
            window_.appendLog(window_.shownPath(path) + u"导出歌词失败: "_s + exported.message);
        }
    }
    w_.status->setText(u"已导出 %1 个歌词文件"_s.arg(written));
}
