#pragma once

#include "platform/Events.h"

#include <QGroupBox>
#include <QList>
#include <QStringList>

class QRadioButton;

// A radio group: a framed box whose items are radio buttons (its children,
// in item order), laid out column by column, with the index of the chosen
// item, -1 for none.
//
// OnClick is raised, once, whenever the chosen item becomes another item:
// by a click or a key of the user, or by setItemIndex. Choosing the item
// already chosen, or choosing none, raises nothing.
class TRadioGroup : public QGroupBox {
    Q_OBJECT

public:
    explicit TRadioGroup(QWidget* parent = nullptr);
    explicit TRadioGroup(const QString& caption, QWidget* parent = nullptr);

    // Replaces the items; the chosen index stays if it is still an item
    // (otherwise it becomes the last item, or -1), and nothing is raised.
    void setItems(const QStringList& items);
    QStringList items() const;
    void addItem(const QString& text);
    void clearItems();
    int count() const { return int(buttons_.size()); }
    QRadioButton* button(int index) const;

    int columns() const { return columns_; }
    void setColumns(int columns); // at least 1

    int itemIndex() const { return itemIndex_; }
    // Values below -1 give -1, values past the last item the last item.
    void setItemIndex(int index);

    TNotifyEvent OnClick;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void resizeButtons(qsizetype count);
    void checkOnly(int index);
    void arrange();
    void fitText(QRadioButton* button, int width) const;
    void buttonToggled(QRadioButton* button, bool checked);

    QList<QRadioButton*> buttons_;
    int columns_ = 1;
    int itemIndex_ = -1;
    bool updating_ = false; // while items change: no event
};
