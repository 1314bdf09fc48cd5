#include "app/ReportList.h"

#include "shell/ShellControlSupport.h"

#include <QMimeData>

QMimeData* TReportList::mimeData(const QList<QTreeWidgetItem*>& items) const
{
    QMimeData* data = QTreeWidget::mimeData(items);
    if (data)
        ShellControls::markDragSource(*data, *this);
    return data;
}
