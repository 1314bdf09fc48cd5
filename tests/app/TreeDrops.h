#pragma once

// Dropping rows of the report list onto the folder tree, as a user would.

#include "app/main.h"
#include "shell/ShellControls.h"
#include "tests/support/ItemPoint.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QTreeWidget>

#include <memory>

namespace apptest {

// The tree's node of a folder, scrolled into the middle of the tree while
// the tree goes on showing the folder it showed.
inline QTreeWidgetItem* nodeOf(TFormMain& w, const QString& folder)
{
    TShellTree* tree = w.ui.ShellTree;
    const QString shown = tree->SelectedFolder();
    tree->setSelectedFolder(folder);
    QTreeWidgetItem* node = tree->currentItem();
    tree->setSelectedFolder(shown);
    tree->scrollToItem(node, QAbstractItemView::PositionAtCenter);
    return node;
}

// Drags the selected rows of the report list onto the tree's node of a
// folder: the platform delivers enter, move and drop.
inline bool dropRowsOn(TFormMain& w, QTreeWidgetItem* node)
{
    const QAbstractItemView* list = w.ui.ListViewMain;
    TShellTree* tree = w.ui.ShellTree;
    std::unique_ptr<QMimeData> data(
        list->model()->mimeData(list->selectionModel()->selectedIndexes()));
    const QPoint at = testsupport::pointOn(*tree, node);
    QDragEnterEvent enter(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &move);
    if (!move.isAccepted())
        return false;
    QDropEvent drop(at, Qt::MoveAction, data.get(), Qt::LeftButton, {});
    QCoreApplication::sendEvent(tree->viewport(), &drop);
    return true;
}

} // namespace apptest
