// The Edit menu: undo and redo of the journal's steps, and the history
// dialog. What a turn does to the files lives in operations/History.

#include "app/main.h"

#include "app/HistoryDialog.h"
#include "platform/FileNameCodec.h"
#include "shell/ShellControls.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

// A text field takes Ctrl+Z and Ctrl+Y for its own typing even when it has
// nothing to take back; right after a save the focus is in the title field,
// and the keys would do nothing. With nothing of its own to turn, a field
// leaves the keys to the Edit menu.
class FieldKeysToMenu : public QObject {
public:
    FieldKeysToMenu(QAction* undo, QAction* redo, QObject* parent)
        : QObject(parent), undo_(undo), redo_(redo)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        const auto* edit = qobject_cast<QLineEdit*>(watched);
        if (!edit || event->type() != QEvent::ShortcutOverride)
            return QObject::eventFilter(watched, event);
        const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
        const bool menuUndo = undo_->shortcuts().contains(pressed) && !edit->isUndoAvailable();
        const bool menuRedo = redo_->shortcuts().contains(pressed) && !edit->isRedoAvailable();
        if (!menuUndo && !menuRedo)
            return QObject::eventFilter(watched, event);
        event->ignore(); // not overridden: the shortcut goes to the menu
        return true;
    }

private:
    QAction* undo_;
    QAction* redo_;
};

// The step's name in words; empty for none (0) or a step not listed.
QString stepNameOf(const std::vector<operations::StepInfo>& steps, std::int64_t step)
{
    const auto found = std::find_if(steps.begin(), steps.end(),
                                    [step](const operations::StepInfo& s) { return s.id == step; });
    return step == 0 || found == steps.end() ? QString() : operations::stepName(found->kind);
}

// The menu item with its fixed caption; what it would turn in its tips.
void describe(QAction* action, const QString& verb, const QString& step)
{
    const QString tip = step.isEmpty() ? u"没有可%1的操作"_s.arg(verb) : verb + u": "_s + step;
    action->setEnabled(!step.isEmpty());
    action->setStatusTip(tip);
    action->setToolTip(tip);
}

} // namespace

// ---------------------------------------------------------------- start-up

void TFormMain::openJournal()
{
    const operations::Core::Opening opening = core_.openJournal();
    const auto shown = [this](const std::string& path) {
        return shownPath(platform::decodeFileName(QByteArray::fromStdString(path)));
    };
    for (const QString& notice : opening.notices)
        appendLog(notice);
    for (const std::string& path : opening.recovered)
        appendLog(shown(path) + u": 恢复了中断的写入"_s);
    for (const std::string& path : opening.leftAlone)
        appendLog(shown(path) + u": 已被其他程序修改, 未恢复"_s);
    if (!opening.failure.isEmpty()) {
        // The program works on without it: said once, where the user looks,
        // and no box stands between the user and the window.
        const QString text = opening.failure + u"; 保存将整体重写文件,无法撤销."_s;
        appendLog(text);
        ui.StatusBarPanel0->setText(text);
    }
    updateEditMenu();
}

void TFormMain::routeEditKeys()
{
    auto* keys = new FieldKeysToMenu(ui.MenuUndo, ui.MenuRedo, this);
    for (QLineEdit* edit : findChildren<QLineEdit*>())
        edit->installEventFilter(keys);
    connect(ui.E1, &QMenu::aboutToShow, this, &TFormMain::updateEditMenu);
}

// ---------------------------------------------------------------- the menu

void TFormMain::updateEditMenu()
{
    QString undo;
    QString redo;
    // Called from the menu's signal as well: an error of the journal leaves
    // both items disabled rather than escaping.
    try {
        if (const operations::History* history = core_.history()) {
            const std::vector<operations::StepInfo> steps = core_.journal()->steps();
            undo = stepNameOf(steps, history->nextUndo());
            redo = stepNameOf(steps, history->nextRedo());
        }
    } catch (const std::exception&) {
        undo.clear();
        redo.clear();
    }
    describe(ui.MenuUndo, u"撤销"_s, undo);
    describe(ui.MenuRedo, u"重做"_s, redo);
    ui.MenuHistory->setEnabled(core_.history() != nullptr);
}

void TFormMain::MenuUndoClick()
{
    if (Batch->running())
        return;
    operations::History* const history = core_.history();
    if (!history || history->nextUndo() == 0) {
        showTurn(u"撤销"_s, {});
        return;
    }
    if (!leavePage())
        return;
    showTurn(u"撤销"_s, history->undo());
}

void TFormMain::MenuRedoClick()
{
    if (Batch->running())
        return;
    operations::History* const history = core_.history();
    if (!history || history->nextRedo() == 0) {
        showTurn(u"重做"_s, {});
        return;
    }
    if (!leavePage())
        return;
    showTurn(u"重做"_s, history->redo());
}

void TFormMain::MenuHistoryClick()
{
    if (!core_.history() || Batch->running() || !leavePage())
        return;
    TFormHistory dialog(*core_.journal(), *core_.history(), this);
    dialog.exec();
    for (const operations::TurnOutcome& outcome : dialog.outcomes())
        showTurn(u"撤销"_s, outcome);
    updateEditMenu();
}

// ---------------------------------------------------------------- the outcome

void TFormMain::showTurn(const QString& verb, const operations::TurnOutcome& outcome)
{
    if (!outcome.any) {
        ui.StatusBarPanel0->setText(u"没有可%1的操作"_s.arg(verb));
        updateEditMenu();
        return;
    }
    appendLog(
        u"%1: %2 (%3 个文件)"_s.arg(verb, outcome.step).arg(outcome.turned + outcome.refused));
    for (const QString& line : outcome.lines)
        appendLog(line);
    ui.StatusBarPanel0->setText(
        outcome.refused == 0
            ? u"已%1: %2"_s.arg(verb, outcome.step)
            : u"%1: %2, %3 个文件未能%1"_s.arg(verb, outcome.step).arg(outcome.refused));
    // The page's edits were saved or given up before the turn: it shows
    // the file as the turn left it.
    page_->markUnmodified();
    // Names came back or went: the folder is read again now, not when the
    // directory monitor reports it.
    ui.ShellTree->RefreshTree();
    ui.ShellList->Populate();
    rebuildKeepingSelection();
    updateEditMenu();
}
