#pragma once

#include <QAbstractItemView>
#include <QPoint>
#include <QRect>
#include <QTreeWidget>

namespace testsupport {

// The point a user would aim at on an item: the middle of the part of its
// rectangle that the viewport shows, away from the edges where a drag
// scrolls the view. The middle of the whole rectangle can lie outside the
// viewport (a deep tree node with a long name), depending on the fonts and
// the folder names of the machine; a drag entering there scrolls at once,
// and the drop then hits another row or none.
inline QPoint pointOn(const QAbstractItemView& view, const QRect& item)
{
    const QRect viewport = view.viewport()->rect();
    const QRect inner = item.intersected(viewport.adjusted(26, 21, -26, -21));
    if (!inner.isEmpty())
        return inner.center();
    const QRect shown = item.intersected(viewport);
    return shown.isEmpty() ? item.center() : shown.center();
}

inline QPoint pointOn(const QTreeWidget& view, QTreeWidgetItem* item)
{
    return pointOn(view, view.visualItemRect(item));
}

} // namespace testsupport
