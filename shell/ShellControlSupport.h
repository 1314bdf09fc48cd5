#pragma once

// What the folder tree and the shell file list share: the operation codes
// they report, the message boxes they show, the guards of their long work,
// their icons, their label editor, and their part in drag and drop.

#include "platform/Exception.h"
#include "platform/ShellFileOps.h"

#include <QHash>
#include <QIcon>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTimer>

#include <functional>

class QAbstractScrollArea;
class QDropEvent;
class QMimeData;
class QWidget;
class TSystemImageList;

// A bit set that tells what happened to the files of an operation.
using TShellOperations = quint32;

namespace ShellOperation {
inline constexpr TShellOperations Deleted = 0xC0;
inline constexpr TShellOperations Pasted = 0x120;  // Destination: the folder pasted into
inline constexpr TShellOperations Renamed = 0x200; // Destination: the new name
inline constexpr TShellOperations CutItemsVanished = 0x90;
inline constexpr TShellOperations DroppedCopy = 9; // a drop onto the control
inline constexpr TShellOperations DroppedMove = 10;
inline constexpr TShellOperations DroppedLink = 8;
inline constexpr TShellOperations DraggedCopy = 5; // a drag out of the control
inline constexpr TShellOperations DraggedMove = 0x86;
inline constexpr TShellOperations DraggedLink = 4;
} // namespace ShellOperation

// Raised after file operations done through a control; only when assigned and
// Files is not empty.
using TOnOperation = std::function<void(QObject* Sender, TShellOperations Operation,
                                        const QStringList& Files, const QString& Destination)>;

namespace ShellControls {

// The message boxes of the controls, process-wide so that tests answer them.
struct Ui {
    // An error message box with an OK button.
    std::function<void(QWidget* parent, const QString& message)> errorBox;
};
Ui& ui();
void showError(QWidget* parent, const QString& message);

// Runs what a user's key, click or menu pick asks for. Exceptions must not
// cross Qt's event delivery, so an error ends the action with its message in
// a box, as the application's general handler shows it.
template <class Action> void guarded(QWidget* control, Action&& action)
{
    try {
        action();
    } catch (const platform::Exception& e) {
        showError(control, e.message());
    } catch (const std::exception& e) {
        showError(control, QString::fromUtf8(e.what()));
    }
}

// Sets a property's field; true when the value changed, so that the
// property's setter reads again only then.
template <class T> bool assignChanged(T& field, const T& value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

// The hourglass for the duration of a long operation.
class WaitCursor {
public:
    WaitCursor();
    ~WaitCursor();
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;

private:
    bool active_;
};

// No redrawing of a widget while many of its items change.
class UpdatesSuspended {
public:
    explicit UpdatesSuspended(QWidget* widget);
    ~UpdatesSuspended();
    UpdatesSuspended(const UpdatesSuspended&) = delete;
    UpdatesSuspended& operator=(const UpdatesSuspended&) = delete;

private:
    QWidget* widget_;
    bool wasEnabled_;
};

// The icons of items from the system image list, with the open icon for the
// selected look, an overlay (0 shared, 1 link; -1 none) and the dimmed look
// of a cut or hidden item; each combination is made once.
class IconCache {
public:
    explicit IconCache(const TSystemImageList& images) : images_(images) {}
    QIcon icon(int index, int selectedIndex, int overlay, bool cut);

private:
    const TSystemImageList& images_;
    QHash<QString, QIcon> made_;
};

// The label editor of both controls: a committed text goes to the control,
// which renames the item, instead of into the item.
class RenameDelegate : public QStyledItemDelegate {
public:
    using Commit = std::function<void(const QModelIndex& index, const QString& text)>;
    RenameDelegate(QObject* parent, Commit commit);
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

private:
    Commit commit_;
};

// Scrolls a view while a drag stays near its edges: within 25 pixels of the
// left or right or 20 pixels of the top or bottom, one step per 100 ms, the
// first 100 ms after the drag came near.
class DragScroller : public QObject {
public:
    explicit DragScroller(QAbstractScrollArea* area);
    void track(const QPoint& viewportPos);
    void stop();

private:
    void step();

    QAbstractScrollArea* area_;
    QTimer timer_;
    int dx_ = 0;
    int dy_ = 0;
};

// Drag and drop of files between the controls and other programs.
// The effect a drop of files will have: the proposed one when it is a copy or
// a move, otherwise a copy, otherwise a move; IgnoreAction when neither is offered.
Qt::DropAction FileDropAction(const QDropEvent& event);

// A widget of this program that starts a framework drag names itself in the
// drag's data under this format: the platform does not always tell a drop
// target where a drag came from (QDropEvent::source() is only known while Qt
// itself runs the drag).
inline constexpr char DragSourceFormat[] = "application/x-mp3tagloom-drag-source";
void markDragSource(QMimeData& data, const QWidget& source);
// The drag's source: the event's own, else the widget named in the data
// within the target's window when this process marked the data; null for a
// drag from elsewhere (another program, or another copy of this one).
QObject* DragSource(const QDropEvent& event, const QWidget& target);
// Copies or moves the dropped files into the folder; a name that exists is
// replaced only when the user says so (TShellBrowser::ui().askReplace).
platform::PasteResult DropFiles(const QStringList& files, Qt::DropAction action,
                                const QString& folder);
// The operation code of a drop onto a control / of a drag out of one.
TShellOperations DroppedOperation(Qt::DropAction action);
TShellOperations DraggedOperation(Qt::DropAction action);
// The drag actions an item's attributes allow (can copy, move, link).
Qt::DropActions ActionsOfAttributes(quint32 attributes);
// Drags the files from a control; the effect the drop had, IgnoreAction for none.
Qt::DropAction DragFiles(QWidget* source, const QStringList& files, Qt::DropActions actions,
                         const QIcon& icon);

} // namespace ShellControls
