#include "app/ID3Copy.h"

#include "widgets/RadioGroup.h"
#include "widgets/Toolkit.h"

#include <QPushButton>

using namespace Qt::StringLiterals;

TFormID3::TFormID3(QWidget* parent) : QDialog(parent)
{
    setObjectName(u"FormID3"_s);
    setWindowTitle(u"选择"_s);
    setFont(widgets::songTiFont(9));
    RadioGrpSel = new TRadioGroup(u"请选择"_s, this);
    RadioGrpSel->setObjectName(u"RadioGrpSel"_s);
    RadioGrpSel->setGeometry(7, 7, 162, 102);
    RadioGrpSel->setItems({u"如果ID3v2存在则不覆盖"_s, u"如果ID3v2存在则覆盖"_s});
    const auto button = [this](const QString& name, const QString& caption, int left) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(name);
        b->setGeometry(left, 122, 45, 23);
        // Neither button is the dialog's default: Enter presses nothing.
        b->setAutoDefault(false);
        b->setDefault(false);
        return b;
    };
    BtnOk = button(u"BtnOk"_s, u"确定"_s, 30);
    BtnCancel = button(u"BtnCancel"_s, u"取消"_s, 102);
    connect(BtnOk, &QPushButton::clicked, this, &TFormID3::BtnOkClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TFormID3::BtnCancelClick);
    move(332, 201);
}

void TFormID3::FormCreate()
{
    // Sized to its controls, with their left margin on the other sides too.
    setFixedSize(7 + 162 + 7, 122 + 23 + 7);
    RadioGrpSel->clearItems();
    RadioGrpSel->setItemIndex(0);
    Choice = -1;
}

void TFormID3::addItems(const QStringList& items)
{
    for (const QString& item : items)
        RadioGrpSel->addItem(item);
}

void TFormID3::selectItem(int index)
{
    RadioGrpSel->setItemIndex(index);
}

void TFormID3::BtnOkClick()
{
    Choice = RadioGrpSel->itemIndex();
    accept();
}

void TFormID3::BtnCancelClick()
{
    Choice = -1;
    reject();
}
