#pragma once

#include <QTreeWidget>

// The main window's report list. Its rows can be dragged onto the folder
// tree, which then knows the drag came from here.
class TReportList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    QMimeData* mimeData(const QList<QTreeWidgetItem*>& items) const override;
};
