// The main window's commands on the selected rows: the batch operations in
// their shared frame, the renaming page, and the file and folder commands.
// What each does to one file lives in operations/.

#include "app/main.h"

#include "app/EncodingCheck.h"
#include "app/ErrorReport.h"
#include "app/ID3Copy.h"
#include "operations/EncodingRepair.h"
#include "operations/FileCommands.h"
#include "operations/Renaming.h"
#include "operations/TagCopying.h"
#include "operations/TagEditing.h"
#include "platform/FileOps.h"
#include "platform/NativePath.h"
#include "player/Winamp.h"
#include "shell/ShellControls.h"
#include "widgets/RadioGroup.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>

using namespace Qt::StringLiterals;

// ---------------------------------------------------------------- batches

namespace {

// The six tag cells of a row (empty texts for a row that has none).
std::array<QString, 6> rowValues(const QTreeWidgetItem* row)
{
    std::array<QString, 6> values;
    for (int c = 0; c < 6; ++c)
        values[std::size_t(c)] = row->text(c + 1);
    return values;
}

operations::StepFile moved(const QString& from, const QString& to)
{
    operations::StepFile file;
    file.from = platform::NativePath(from);
    file.to = platform::NativePath(to);
    return file;
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
    QTreeWidget* list = ui.ListViewMain;
    const int rows = list->topLevelItemCount();
    Batch->begin(run.runningText, rows);
    if (run.tagStep)
        writes_ = std::make_unique<operations::TagWrites>(journal(), *run.tagStep);
    try {
        for (int i = 0; i < rows && i < list->topLevelItemCount(); ++i) {
            const RowEnd end = run.act(list->topLevelItem(i));
            if (end == RowEnd::Stop)
                break;
            if (end == RowEnd::ProgressOnly)
                ProgressBar->setValue(i);
            else
                Batch->afterRow(i, run.totalsAfterEveryRow);
        }
        writeQueued();
    } catch (const std::exception& e) {
        // The run stops at this file; the frame still finishes.
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
        if (!journal_)
            return;
        try {
            journal_->flushWrites();
        } catch (const operations::JournalError& e) {
            appendLog(u"操作历史无法记录: "_s + QString::fromUtf8(e.what()));
        }
    });
}

void TFormMain::queueWrite(tags::TagChange change, AfterWrite then)
{
    if (!writes_) {
        // Outside a tag batch the change is a step of its own.
        then(operations::writeOne(journal(), operations::StepKind::Save, std::move(change)));
        return;
    }
    writes_->add(std::move(change));
    afterWrites_.push_back(std::move(then));
}

void TFormMain::writeQueued()
{
    if (!writes_ || writes_->size() == 0)
        return;
    // Every file's old bytes go into the journal at once, then the files are
    // written, each reported as it is done.
    writes_->write([&](std::size_t index, const operations::Outcome& outcome) {
        afterWrites_[index](outcome);
        Batch->afterWrite();
    });
}

void TFormMain::recordStep(operations::StepKind kind,
                           const std::vector<operations::StepFile>& files)
{
    if (journal_ && !files.empty()) {
        try {
            journal_->record(kind, files);
        } catch (const operations::JournalError& e) {
            appendLog(u"操作历史无法记录: "_s + QString::fromStdString(e.what()));
        }
    }
    updateEditMenu();
}

void TFormMain::BtnChgMPropClick()
{
    if (!leavePage())
        return;
    const std::array<FieldControls, 3> fields{{
        {ui.CheckBoxTitle, ui.EditMTitle, ui.RadioGrpMTitle, 1, u"修改标题."_s},
        {ui.CheckBoxArtist, ui.EditMArtist, ui.RadioGrpMArtist, 2, u"修改作者."_s},
        {ui.CheckBoxAlbum, ui.EditMAlbum, ui.RadioGrpMAlbum, 3, u"修改专辑."_s},
    }};
    BatchRun run;
    run.runningText = u"正在批量修改..."_s;
    run.completionText = u"批量修改属性完成"_s;
    run.page = 0;
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString path = rowPath(row);
        // The page is read anew for every file.
        std::array<std::optional<QString>, 3> values;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            if (!fields[f].check->isChecked())
                continue;
            values[f] = fields[f].source->itemIndex() == 0
                            ? operations::titleFromFileName(row->text(0))
                            : fields[f].edit->text();
            row->setData(0, HasTagRole, true); // a row without cells gets them
            row->setText(fields[f].column, *values[f]);
            appendLog(path + fields[f].logMessage);
        }
        // Under a priority that names no version nothing is written.
        operations::FieldChange prepared;
        if (const auto p = priority())
            prepared = operations::changeFields(*TagV1, *TagV2, *p, path,
                                                {values[0], values[1], values[2]}, textRules());
        if (prepared.change)
            queueWrite(std::move(*prepared.change), [=, this](const operations::Outcome& written) {
                if (!written.succeeded)
                    appendLog(path + u"修改属性失败: "_s + written.message);
                Batch->count(written.succeeded);
            });
        else if (prepared.written)
            Batch->count(false);
        return RowEnd::Next;
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
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString path = rowPath(row);
        auto copy =
            operations::prepareCopy(*TagV1, *TagV2, direction, overwrite, path, textRules());
        if (copy.change) {
            queueWrite(std::move(*copy.change), [=, this](const operations::Outcome& written) {
                const auto outcome = operations::copyWritten(direction, written.succeeded);
                appendLog(path + outcome.message);
                Batch->count(outcome.succeeded);
            });
            return RowEnd::Next;
        }
        if (!copy.now.message.isEmpty())
            appendLog(path + copy.now.message);
        Batch->count(copy.now.succeeded);
        return RowEnd::Next;
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
    RefreshEnabled = false;
    const QString folder = ui.ShellList->Path();
    std::vector<operations::StepFile> renamed;
    BatchRun run;
    run.runningText = u"正在批量文件名..."_s;
    run.completionText = u"批量修改文件名完成"_s;
    run.page = 1;
    run.totalsAfterEveryRow = false;
    run.act = [&](QTreeWidgetItem* row) {
        if (!row->isSelected())
            return RowEnd::Next;
        const QString oldCaption = rowName(row);
        const QString oldPath = folder + oldCaption;
        const QString name =
            operations::substitutePattern(ui.EditNameFormat->text(), rowValues(row));
        if (operations::isEmptyName(name))
            return RowEnd::Stop;
        const QString caption = name + u".MP3"_s;
        const QString newPath = folder + caption;
        setRowName(row, caption);
        switch (operations::moveFile(oldPath, newPath)) {
        case operations::MoveResult::Unchanged:
            return RowEnd::ProgressOnly;
        case operations::MoveResult::Moved:
            appendLog(oldPath + u"->"_s + newPath);
            renamed.push_back(moved(oldPath, newPath));
            Batch->count(true);
            break;
        case operations::MoveResult::Failed:
            setRowName(row, oldCaption);
            appendLog(oldPath + u"修改文件名失败！"_s);
            Batch->count(false);
            break;
        }
        Batch->showTotals();
        return RowEnd::Next;
    };
    run.closing = [&] {
        recordStep(operations::StepKind::Rename, renamed);
        RefreshEnabled = true;
        ClearPropPage();
        // The captions changed: the column fits them once, after the run.
        ui.ListViewMain->resizeColumnToContents(0);
    };
    runBatch(run);
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
    QTreeWidget* list = ui.ListViewMain;
    std::vector<operations::StepFile> files;
    for (int i = 0; i < list->topLevelItemCount();) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        const QString oldPath = rowPath(row);
        const QString newPath = operations::joinPath(target, rowName(row));
        if (!row->isSelected() || newPath == oldPath) {
            ++i;
            continue;
        }
        // Only files: a row never moves a folder with its contents.
        if (platform::FileExists(oldPath) &&
            operations::moveFile(oldPath, newPath) == operations::MoveResult::Moved) {
            appendLog(oldPath + u"->"_s + newPath);
            files.push_back(moved(oldPath, newPath));
            delete row;
        } else {
            appendLog(oldPath + u"移动文件失败！"_s);
            ++i;
        }
    }
    recordStep(operations::StepKind::Move, files);
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
    if (operations::createFolder(path)) {
        operations::StepFile made;
        made.to = platform::NativePath(path);
        recordStep(operations::StepKind::NewFolder, {made});
    }
    ui.ShellTree->RefreshTree();
    ui.ShellTree->setSelectedFolder(path);
}

void TFormMain::MenuDelFileClick()
{
    if (!leavePage())
        return;
    const QString folder = ui.ShellList->Path();
    QTreeWidget* list = ui.ListViewMain;
    std::vector<operations::StepFile> trashed;
    for (int i = 0; i < list->topLevelItemCount();) {
        QTreeWidgetItem* row = list->topLevelItem(i);
        // Only files: a row never sends a folder with its contents away.
        const QString path = folder + rowName(row);
        operations::TrashPlace place;
        if (row->isSelected() && platform::FileExists(path) &&
            operations::deleteToTrash(path, &place)) {
            operations::StepFile file;
            file.from = platform::NativePath(path);
            file.to = platform::NativePath(place.item);
            file.trashInfo = platform::NativePath(place.info);
            trashed.push_back(std::move(file));
            delete row;
        } else {
            ++i;
        }
    }
    recordStep(operations::StepKind::Trash, trashed);
}

// ---------------------------------------------------------------- encodings

void TFormMain::MenuEncodingClick()
{
    if (!leavePage())
        return;
    std::vector<TEncodingFile> files;
    for (const QTreeWidgetItem* row : ui.ListViewMain->selectedItems()) {
        const QString path = rowPath(row);
        files.push_back(
            {path, row->text(0), operations::legacyTextsOf(*TagV1, *TagV2, path, textRules())});
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
    run.act = [&](QTreeWidgetItem* row) {
        const QString path = rowPath(row);
        const auto chosen = interpretations.find(path);
        if (!row->isSelected() || chosen == interpretations.end())
            return RowEnd::Next;
        auto prepared =
            operations::prepareConversion(*TagV1, *TagV2, path, chosen->second, textRules());
        // A file whose texts are Unicode already is left alone, uncounted.
        if (!prepared.converted)
            return RowEnd::Next;
        const auto report = [this, path](bool succeeded) {
            appendLog(path + (succeeded ? u"编码转换."_s : u"编码转换失败."_s));
            Batch->count(succeeded);
        };
        if (prepared.change)
            queueWrite(std::move(*prepared.change),
                       [report](const operations::Outcome& written) { report(written.succeeded); });
        else
            report(false);
        return RowEnd::Next;
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
    const QString folder = ui.ShellList->Path();
    std::vector<operations::StepFile> renamed;
    for (QTreeWidgetItem* row : ui.ListViewMain->selectedItems()) {
        if (!row->data(0, NameRole).isValid())
            continue; // a UTF-8 name already
        const QString oldPath = folder + rowName(row);
        const QString shown = row->text(0);
        const QString newPath = folder + shown;
        if (operations::moveFile(oldPath, newPath) == operations::MoveResult::Moved) {
            appendLog(oldPath + u"->"_s + newPath);
            renamed.push_back(moved(oldPath, newPath));
            setRowName(row, shown);
        } else {
            appendLog(oldPath + u"修复文件名失败！"_s);
        }
    }
    recordStep(operations::StepKind::Rename, renamed);
    ui.ListViewMain->resizeColumnToContents(0);
}
