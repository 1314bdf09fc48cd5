#include "app/Option.h"

#include "widgets/RadioGroup.h"
#include "widgets/Toolkit.h"

#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace settings {
int heldPosition(int stored)
{
    return std::clamp(stored, 0, 100);
}
int heldShowId(int stored)
{
    return std::clamp(stored, -1, 2);
}
} // namespace settings

namespace {

template <class Widget>
Widget* place(Widget* widget, const QString& name, int left, int top, int width = -1,
              int height = -1)
{
    widget->setObjectName(name);
    if (width < 0)
        widget->adjustSize();
    widget->setGeometry(left, top, width < 0 ? widget->width() : width,
                        height < 0 ? widget->height() : height);
    return widget;
}

// The designed margin of the controls from the dialog's left and top edge,
// given again on the right and at the bottom when the dialog shrinks.
constexpr int kMargin = 8;

} // namespace

TFormOption::TFormOption(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"FormOption"_s);
    setWindowTitle(u"选项设置"_s);
    setFont(widgets::songTiFont(10.5));
    resize(688, 453);
    createControls();
    OpenDlg = widgets::executableChooser(u"Winamp的位置"_s, u"Winamp播放器"_s);

    connect(BtnPath, &QPushButton::clicked, this, [this] { guarded(&TFormOption::BtnPathClick); });
    connect(BtnOk, &QPushButton::clicked, this, [this] { guarded(&TFormOption::BtnOkClick); });
    connect(BtnCancel, &QPushButton::clicked, this,
            [this] { guarded(&TFormOption::BtnCancelClick); });
    connect(TrackBarPos, &QSlider::valueChanged, this,
            [this] { guarded(&TFormOption::TrackBarPosChange); });
}

void TFormOption::guarded(void (TFormOption::*handler)())
{
    try {
        (this->*handler)();
    } catch (const std::exception& e) {
        if (OnException)
            OnException(e);
        else
            QMessageBox::critical(this, windowTitle(), QString::fromUtf8(e.what()));
    }
}

void TFormOption::createControls()
{
    Label1 = new QLabel(u"Winamp的位置"_s, this);
    Label1->setFont(widgets::condensedToFit(font(), Label1->text(), 96 - 8 - 2));
    place(Label1, u"Label1"_s, 8, 8);
    EditPathtoWinamp = new QLineEdit(this);
    EditPathtoWinamp->setFont(widgets::songTiFont(9));
    place(EditPathtoWinamp, u"EditPathtoWinamp"_s, 96, 6, 233, 20);
    BtnPath = new QPushButton(u"..."_s, this);
    BtnPath->setFont(widgets::uiFont(8));
    place(BtnPath, u"BtnPath"_s, 336, 6, 17, 17);

    RadioGrpID = new TRadioGroup(u"显示优先级"_s, this);
    RadioGrpID->setColumns(3);
    RadioGrpID->setItems({u"只显示ID3v1"_s, u"只显示ID3v2"_s, u"优先显示ID3v2"_s});
    RadioGrpID->setItemIndex(2);
    place(RadioGrpID, u"RadioGrpID"_s, 8, 40, 345, 49);

    // Beside the priority, so that the designed places of the others stay.
    RadioGrpEncoding = new TRadioGroup(u"ID3v2写入编码"_s, this);
    RadioGrpEncoding->setColumns(2);
    RadioGrpEncoding->setItems({u"Unicode(UTF-16)"_s, u"GBK(兼容老设备)"_s});
    RadioGrpEncoding->setItemIndex(0);
    place(RadioGrpEncoding, u"RadioGrpEncoding"_s, 361, 40, 300, 49);

    BtnOk = place(new QPushButton(u"确定"_s, this), u"BtnOk"_s, 88, 112, 75, 25);
    BtnCancel = place(new QPushButton(u"取消"_s, this), u"BtnCancel"_s, 192, 112, 75, 25);

    // Never shown: the start position is changed only in the file.
    Label2 = place(new QLabel(u"试听开始位置"_s, this), u"Label2"_s, 0, 232);
    TrackBarPos = new QSlider(Qt::Horizontal, this);
    TrackBarPos->setRange(0, 100);
    TrackBarPos->setPageStep(10);
    TrackBarPos->setTickInterval(10);
    TrackBarPos->setTickPosition(QSlider::TicksBelow);
    TrackBarPos->setValue(0);
    place(TrackBarPos, u"TrackBarPos"_s, 96, 232, 225, 45);
    LabelPos = new QLabel(u"%"_s, this);
    LabelPos->setFont(widgets::songTiFont(9));
    place(LabelPos, u"LabelPos"_s, 184, 300);
    for (QWidget* hidden : {static_cast<QWidget*>(Label2), static_cast<QWidget*>(TrackBarPos),
                            static_cast<QWidget*>(LabelPos)})
        hidden->setVisible(false);
}

void TFormOption::FormCreate()
{
    const TIniFile ini;
    shrinkToVisibleControls();
    EditPathtoWinamp->setText(settings::readWinampPath(ini));
    TrackBarPos->setValue(settings::heldPosition(settings::readStartPosition(ini)));
    RadioGrpID->setItemIndex(settings::heldShowId(settings::readShowId(ini)));
    RadioGrpEncoding->setItemIndex(
        settings::readTextEncoding(ini) == settings::TextEncoding::Gbk ? 1 : 0);
    TrackBarPosChange();
}

void TFormOption::shrinkToVisibleControls()
{
    QRect used;
    for (const QWidget* child : findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->isVisibleTo(this))
            used |= child->geometry();
    }
    setFixedSize(used.right() + 1 + kMargin, used.bottom() + 1 + kMargin);
}

void TFormOption::BtnPathClick()
{
    const QString path = OpenDlg ? OpenDlg(this) : QString();
    if (!path.isEmpty())
        EditPathtoWinamp->setText(path);
}

void TFormOption::SaveToFile(TIniFile& ini) const
{
    if (!EditPathtoWinamp->text().isEmpty())
        settings::writeWinampPath(ini, EditPathtoWinamp->text());
    settings::writeStartPosition(ini, TrackBarPos->value());
    settings::writeShowId(ini, RadioGrpID->itemIndex());
    settings::writeTextEncoding(ini, RadioGrpEncoding->itemIndex() == 1
                                         ? settings::TextEncoding::Gbk
                                         : settings::TextEncoding::Unicode);
}

void TFormOption::BtnOkClick()
{
    TIniFile ini;
    SaveToFile(ini);
    accept();
}

void TFormOption::BtnCancelClick()
{
    reject();
}

// The track bar's selection runs from its start to the position; QSlider
// has no selection, so it is kept as two properties of the track bar.
void TFormOption::TrackBarPosChange()
{
    TrackBarPos->setProperty("SelStart", TrackBarPos->minimum());
    TrackBarPos->setProperty("SelEnd", TrackBarPos->value());
    LabelPos->setText(QString::number(TrackBarPos->value()) + u'%');
}
