#include "widgets/RadioGroup.h"

#include "widgets/Toolkit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <algorithm>

TRadioGroup::TRadioGroup(QWidget* parent) : QGroupBox(parent) {}

TRadioGroup::TRadioGroup(const QString& caption, QWidget* parent) : QGroupBox(caption, parent) {}

void TRadioGroup::setItems(const QStringList& items)
{
    updating_ = true;
    resizeButtons(items.size());
    for (qsizetype i = 0; i < items.size(); ++i)
        buttons_.at(i)->setText(items.at(i));
    itemIndex_ = std::min(itemIndex_, count() - 1);
    checkOnly(itemIndex_);
    updating_ = false;
    arrange();
}

QStringList TRadioGroup::items() const
{
    QStringList texts;
    for (const QRadioButton* button : buttons_)
        texts.append(button->text());
    return texts;
}

void TRadioGroup::addItem(const QString& text)
{
    setItems(items() << text);
}

void TRadioGroup::clearItems()
{
    setItems({});
}

QRadioButton* TRadioGroup::button(int index) const
{
    return index >= 0 && index < count() ? buttons_.at(index) : nullptr;
}

void TRadioGroup::setColumns(int columns)
{
    columns_ = std::max(1, columns);
    arrange();
}

void TRadioGroup::setItemIndex(int index)
{
    index = std::clamp(index, -1, count() - 1);
    if (index == itemIndex_)
        return;
    if (index < 0) {
        itemIndex_ = -1;
        checkOnly(-1);
        return;
    }
    buttons_.at(index)->setChecked(true); // raises the event through buttonToggled
}

// Buttons that go are hidden at once but deleted later: the change may come
// from inside one of their own signals (an OnClick that sets new items).
void TRadioGroup::resizeButtons(qsizetype count)
{
    while (buttons_.size() > count) {
        QRadioButton* button = buttons_.takeLast();
        button->setAutoExclusive(false);
        button->setChecked(false);
        button->hide();
        button->deleteLater();
    }
    while (buttons_.size() < count) {
        auto* button = new QRadioButton(this);
        connect(button, &QRadioButton::toggled, this,
                [this, button](bool checked) { buttonToggled(button, checked); });
        button->setVisible(true);
        buttons_.append(button);
    }
}

// Checks the button of index and no other; -1 unchecks every button, which
// exclusive radio buttons only allow while they are not exclusive.
void TRadioGroup::checkOnly(int index)
{
    const bool wasUpdating = updating_;
    updating_ = true;
    for (int i = 0; i < count(); ++i) {
        QRadioButton* button = buttons_.at(i);
        if (i == index) {
            button->setChecked(true);
        } else if (button->isChecked()) {
            button->setAutoExclusive(false);
            button->setChecked(false);
            button->setAutoExclusive(true);
        }
    }
    updating_ = wasUpdating;
}

void TRadioGroup::buttonToggled(QRadioButton* button, bool checked)
{
    if (!checked || updating_)
        return;
    const int index = int(buttons_.indexOf(button));
    if (index < 0 || index == itemIndex_)
        return;
    itemIndex_ = index;
    if (OnClick)
        OnClick(this);
}

// Column by column: with n items in c columns each column holds
// ceil(n / c) items, evenly spread over the box's contents.
void TRadioGroup::arrange()
{
    if (buttons_.isEmpty())
        return;
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect contents =
        style()
            ->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, this)
            .adjusted(6, 0, -2, 0);
    const int perColumn = (count() + columns_ - 1) / columns_;
    const int columnWidth = contents.width() / columns_;
    const int rowHeight = std::max(1, contents.height() / perColumn);
    for (int i = 0; i < count(); ++i) {
        QRadioButton* button = buttons_.at(i);
        fitText(button, columnWidth);
        const int height = std::max(rowHeight, button->sizeHint().height());
        const int top = contents.top() + (i % perColumn) * rowHeight + (rowHeight - height) / 2;
        button->setGeometry(contents.left() + (i / perColumn) * columnWidth, top, columnWidth,
                            height);
    }
}

// An item's text is condensed rather than cut off at its column's edge.
void TRadioGroup::fitText(QRadioButton* button, int width) const
{
    button->setFont(font());
    const int textWidth = QFontMetrics(font()).horizontalAdvance(button->text());
    const int indicator = button->sizeHint().width() - textWidth;
    button->setFont(widgets::condensedToFit(font(), button->text(), width - indicator));
}

void TRadioGroup::resizeEvent(QResizeEvent* event)
{
    QGroupBox::resizeEvent(event);
    arrange();
}

void TRadioGroup::changeEvent(QEvent* event)
{
    QGroupBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        arrange();
}

void TRadioGroup::showEvent(QShowEvent* event)
{
    QGroupBox::showEvent(event);
    arrange(); // the caption may have changed the contents since
}
