// The Edit menu: undo and redo of the journal's steps, and the history
// dialog. What a turn does to the files lives in operations/History.

#include "app/HistoryController.h"

#include "app/HistoryDialog.h"
#include "platform/FileNameCodec.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>

#include <algorithm>
#include <utility>
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

THistoryController::THistoryController(operations::Core& core, const Widgets& widgets,
                                       Window window)
    : core_(core), w_(widgets), window_(std::move(window))
{
}

void THistoryController::openJournal()
{
    const operations::Core::Opening opening = core_.openJournal();
    const auto shown = [this](const std::string& path) {
        return window_.shownPath(platform::decodeFileName(QByteArray::fromStdString(path)));
    };
    for (const QString& notice : opening.notices)
        window_.appendLog(notice);
    for (const std::string& path : opening.recovered)
        window_.appendLog(shown(path) + u": 恢复了中断的写入"_s);
    for (const std::string& path : opening.leftAlone)
        window_.appendLog(shown(path) + u": 已被其他程序修改, 未恢复"_s);
    if (!opening.failure.isEmpty()) {
        // The program works on without it: said once, where the user looks,
        // and no box stands between the user and the window.
        const QString text = opening.failure + u"; 保存将整体重写文件,无法撤销."_s;
        window_.appendLog(text);
        w_.status->setText(text);
    }
    updateEditMenu();
}

void THistoryController::routeEditKeys()
{
    auto* keys = new FieldKeysToMenu(w_.undo, w_.redo, window_.widget);
    for (QLineEdit* edit : window_.widget->findChildren<QLineEdit*>())
        edit->installEventFilter(keys);
    QObject::connect(w_.menu, &QMenu::aboutToShow, window_.widget, [this] { updateEditMenu(); });
}

// ---------------------------------------------------------------- the menu

void THistoryController::updateEditMenu()
{
    QString undo;
    QString redo;
    // Called from the menu's signal as well: an error of the journal leaves
    // both items disabled rather than escaping.
    try {
        if (const operations::History* history = core_.history()) {
            const std::vector<operations::StepInfo> steps = core_.journal()->stepsUncounted();
            undo = stepNameOf(steps, history->nextUndo());
            redo = stepNameOf(steps, history->nextRedo());
        }
    } catch (const std::exception&) {
        undo.clear();
        redo.clear();
    }
    describe(w_.undo, u"撤销"_s, undo);
    describe(w_.redo, u"重做"_s, redo);
    w_.history->setEnabled(core_.history() != nullptr);
}

void THistoryController::undo()
{
    if (window_.busy())
        return;
    operations::History* const history = core_.history();
    if (!history || history->nextUndo() == 0) {
        showTurn(u"撤销"_s, {});
        return;
    }
    if (!window_.leavePage())
        return;
    showTurn(u"撤销"_s, history->undo());
}

void THistoryController::redo()
{
    if (window_.busy())
        return;
    operations::History* const history = core_.history();
    if (!history || history->nextRedo() == 0) {
        showTurn(u"重做"_s, {});
        return;
    }
    if (!window_.leavePage())
        return;
    showTurn(u"重做"_s, history->redo());
}

void THistoryController::showHistory()
{
    if (!core_.history() || window_.busy() || !window_.leavePage())
        return;
    TFormHistory dialog(*core_.journal(), *core_.history(), window_.widget);
    dialog.exec();
    for (const operations::TurnOutcome& outcome : dialog.outcomes())
        showTurn(u"撤销"_s, outcome);
    updateEditMenu();
}

// ---------------------------------------------------------------- the outcome

void THistoryController::showTurn(const QString& verb, const operations::TurnOutcome& outcome)
{
    if (!outcome.any) {
        w_.status->setText(u"没有可%1的操作"_s.arg(verb));
        updateEditMenu();
        return;
    }
    window_.appendLog(
        u"%1: %2 (%3 个文件)"_s.arg(verb, outcome.step).arg(outcome.turned + outcome.refused));
    for (const QString& line : outcome.lines)
        window_.appendLog(line);
    w_.status->setText(
        outcome.refused == 0
            ? u"已%1: %2"_s.arg(verb, outcome.step)
            : u"%1: %2, %3 个文件未能%1"_s.arg(verb, outcome.step).arg(outcome.refused));
    window_.afterTurn();
    updateEditMenu();
}
