#include "shell/ShellControlSupport.h"

#include "platform/ShellClipboard.h"
#include "platform/ShellNamespace.h"
#include "shell/ShellBrowser.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QMimeData>
#include <QPainter>
#include <QScrollBar>
#include <QUuid>
#include <QWidget>

using namespace Qt::StringLiterals;

namespace ShellControls {

namespace {

void messageBox(QWidget* parent, const QString& message)
{
    QMessageBox::critical(parent, QGuiApplication::applicationDisplayName(), message,
                          QMessageBox::Ok);
}

constexpr int horizontalMargin = 25;
constexpr int verticalMargin = 20;
constexpr int scrollInterval = 100;

} // namespace

Ui& ui()
{
    static Ui ui{messageBox};
    return ui;
}

void showError(QWidget* parent, const QString& message)
{
    if (ui().errorBox)
        ui().errorBox(parent, message);
}

WaitCursor::WaitCursor()
    : active_(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
{
    if (active_)
        QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

WaitCursor::~WaitCursor()
{
    if (active_)
        QGuiApplication::restoreOverrideCursor();
}

UpdatesSuspended::UpdatesSuspended(QWidget* widget)
    : widget_(widget), wasEnabled_(widget->updatesEnabled())
{
    widget_->setUpdatesEnabled(false);
}

UpdatesSuspended::~UpdatesSuspended()
{
    widget_->setUpdatesEnabled(wasEnabled_);
}

// ---- icons -------------------------------------------------------------------

QIcon IconCache::icon(int index, int selectedIndex, int overlay, bool cut)
{
    const QString key = u"%1/%2/%3/%4"_s.arg(index).arg(selectedIndex).arg(overlay).arg(int(cut));
    auto it = made_.constFind(key);
    if (it != made_.constEnd())
        return *it;
    const QSize size = images_.iconSize();
    const auto draw = [&](int i, QIcon::Mode mode) {
        QPixmap pixmap = images_.icon(i).pixmap(size, mode);
        const QIcon emblem = TSystemImageList::overlay(overlay);
        if (!pixmap.isNull() && !emblem.isNull()) {
            QPainter painter(&pixmap);
            const QSize half = size / 2;
            painter.drawPixmap(0, size.height() - half.height(), emblem.pixmap(half));
        }
        return pixmap;
    };
    QIcon made;
    const QIcon::Mode look = cut ? QIcon::Disabled : QIcon::Normal;
    const QPixmap normal = draw(index, look);
    if (!normal.isNull()) {
        made.addPixmap(normal, QIcon::Normal);
        made.addPixmap(selectedIndex >= 0 ? draw(selectedIndex, look) : normal, QIcon::Selected);
    }
    return *made_.insert(key, made);
}

// ---- label editing -----------------------------------------------------------

RenameDelegate::RenameDelegate(QObject* parent, Commit commit)
    : QStyledItemDelegate(parent), commit_(std::move(commit))
{
}

void RenameDelegate::setModelData(QWidget* editor, QAbstractItemModel*,
                                  const QModelIndex& index) const
{
    if (const auto* line = qobject_cast<QLineEdit*>(editor); line && commit_)
        commit_(index, line->text());
}

// ---- scrolling while dragging --------------------------------------------------

DragScroller::DragScroller(QAbstractScrollArea* area) : QObject(area), area_(area)
{
    timer_.setInterval(scrollInterval);
    connect(&timer_, &QTimer::timeout, this, [this] { step(); });
}

void DragScroller::track(const QPoint& pos)
{
    const QSize size = area_->viewport()->size();
    dx_ = pos.x() < horizontalMargin ? -1 : (pos.x() >= size.width() - horizontalMargin ? 1 : 0);
    dy_ = pos.y() < verticalMargin ? -1 : (pos.y() >= size.height() - verticalMargin ? 1 : 0);
    // The first step waits for the interval too: a drag that only crosses
    // the band (coming in from the neighbouring view) leaves the view still.
    if (dx_ == 0 && dy_ == 0)
        timer_.stop();
    else if (!timer_.isActive())
        timer_.start();
}

void DragScroller::stop()
{
    timer_.stop();
}

void DragScroller::step()
{
    for (auto [bar, d] : {std::pair{area_->horizontalScrollBar(), dx_},
                          std::pair{area_->verticalScrollBar(), dy_}}) {
        if (d != 0)
            bar->setValue(bar->value() + d * bar->singleStep());
    }
}

// ---- files dragged and dropped -------------------------------------------------

namespace {

// Names this process in the drag data: another running copy of the program
// has widgets of the same names, and its drags must not act on ours.
const QByteArray& processToken()
{
    static const QByteArray token = QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
    return token;
}

} // namespace

void markDragSource(QMimeData& data, const QWidget& source)
{
    data.setData(QString::fromLatin1(DragSourceFormat),
                 processToken() + ' ' + source.objectName().toUtf8());
}

QObject* DragSource(const QDropEvent& event, const QWidget& target)
{
    if (QObject* source = event.source())
        return source;
    const QMimeData* data = event.mimeData();
    const QString format = QString::fromLatin1(DragSourceFormat);
    if (!data || !data->hasFormat(format))
        return nullptr;
    const QByteArray marked = data->data(format);
    const qsizetype space = marked.indexOf(' ');
    if (space < 0 || marked.left(space) != processToken())
        return nullptr; // a drag of another process
    const QString name = QString::fromUtf8(marked.mid(space + 1));
    return name.isEmpty() ? nullptr : target.window()->findChild<QWidget*>(name);
}

Qt::DropAction FileDropAction(const QDropEvent& event)
{
    const Qt::DropActions possible = event.possibleActions();
    const Qt::DropAction proposed = event.proposedAction();
    if ((proposed == Qt::CopyAction || proposed == Qt::MoveAction) && (possible & proposed))
        return proposed;
    if (possible & Qt::CopyAction)
        return Qt::CopyAction;
    return possible & Qt::MoveAction ? Qt::MoveAction : Qt::IgnoreAction;
}

platform::PasteResult DropFiles(const QStringList& files, Qt::DropAction action,
                                const QString& folder)
{
    if (files.isEmpty() || folder.isEmpty() ||
        (action != Qt::CopyAction && action != Qt::MoveAction))
        return {};
    const WaitCursor wait;
    return platform::PasteItems(files, action == Qt::MoveAction, folder,
                                TShellBrowser::ui().askReplace);
}

TShellOperations DroppedOperation(Qt::DropAction action)
{
    switch (action) {
    case Qt::MoveAction:
        return ShellOperation::DroppedMove;
    case Qt::LinkAction:
        return ShellOperation::DroppedLink;
    default:
        return ShellOperation::DroppedCopy;
    }
}

TShellOperations DraggedOperation(Qt::DropAction action)
{
    switch (action) {
    case Qt::MoveAction:
        return ShellOperation::DraggedMove;
    case Qt::LinkAction:
        return ShellOperation::DraggedLink;
    default:
        return ShellOperation::DraggedCopy;
    }
}

Qt::DropActions ActionsOfAttributes(quint32 attributes)
{
    Qt::DropActions actions;
    if (attributes & platform::SFGAO_CANCOPY)
        actions |= Qt::CopyAction;
    if (attributes & platform::SFGAO_CANMOVE)
        actions |= Qt::MoveAction;
    if (attributes & platform::SFGAO_CANLINK)
        actions |= Qt::LinkAction;
    return actions;
}

Qt::DropAction DragFiles(QWidget* source, const QStringList& files, Qt::DropActions actions,
                         const QIcon& icon)
{
    if (files.isEmpty() || actions == Qt::IgnoreAction)
        return Qt::IgnoreAction;
    // The drag manager deletes the drag when it is over.
    auto* drag = new QDrag(source);
    drag->setMimeData(platform::CreateFilesMimeData(files, false));
    if (!icon.isNull())
        drag->setPixmap(icon.pixmap(16, 16));
    // A copy unless the user asks for more: a drag never loses the original.
    const Qt::DropAction preferred = actions & Qt::CopyAction ? Qt::CopyAction : Qt::MoveAction;
    return drag->exec(actions, preferred);
}

} // namespace ShellControls
