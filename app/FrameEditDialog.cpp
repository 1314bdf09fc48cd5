#include "app/FrameEditDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

// The kinds offered first; any other T*** or W*** may be typed.
const QStringList& offeredIds()
{
    static const QStringList ids{u"TIT2"_s, u"TPE1"_s, u"TALB"_s, u"TPE2"_s, u"TCOM"_s,
                                 u"TRCK"_s, u"TPOS"_s, u"TYER"_s, u"TCON"_s, u"TXXX"_s,
                                 u"COMM"_s, u"USLT"_s, u"WOAR"_s, u"WXXX"_s};
    return ids;
}

} // namespace

TFrameEditDialog::TFrameEditDialog(QWidget* parent,
                                   const std::optional<operations::FrameContent>& frame)
    : QDialog(parent)
{
    setObjectName(u"FormFrameEdit"_s);
    setWindowTitle(frame ? u"编辑帧"_s : u"添加帧"_s);
    setModal(true);
    id_ = new QComboBox(this);
    id_->setObjectName(u"ComboFrameId"_s);
    id_->setEditable(true);
    id_->addItems(offeredIds());
    description_ = new QLineEdit(this);
    description_->setObjectName(u"EditFrameDescription"_s);
    language_ = new QLineEdit(this);
    language_->setObjectName(u"EditFrameLanguage"_s);
    language_->setMaxLength(3);
    value_ = new QPlainTextEdit(this);
    value_->setObjectName(u"EditFrameValue"_s);
    value_->setTabChangesFocus(true);
    refusal_ = new QLabel(this);
    refusal_->setObjectName(u"LabelFrameRefusal"_s);
    refusal_->setWordWrap(true);
    refusal_->setStyleSheet(u"color: #b00000"_s);

    auto* form = new QFormLayout;
    form->addRow(u"帧ID(&I):"_s, id_);
    form->addRow(u"描述(&D):"_s, description_);
    form->addRow(u"语言(&L):"_s, language_);
    form->addRow(u"内容(&V):"_s, value_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->button(QDialogButtonBox::Ok)->setObjectName(u"BtnFrameOk"_s);
    buttons->button(QDialogButtonBox::Ok)->setText(u"确定"_s);
    buttons->button(QDialogButtonBox::Cancel)->setObjectName(u"BtnFrameCancel"_s);
    buttons->button(QDialogButtonBox::Cancel)->setText(u"取消"_s);
    connect(buttons, &QDialogButtonBox::accepted, this, &TFrameEditDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TFrameEditDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(refusal_);
    layout->addWidget(buttons);
    resize(460, 320);

    if (frame) {
        id_->setCurrentText(frame->id);
        id_->setEnabled(false); // another kind is another frame: delete and add
        description_->setText(frame->description);
        language_->setText(frame->language);
        value_->setPlainText(frame->value);
    } else {
        id_->setCurrentText(u"TIT2"_s);
        language_->setText(u"XXX"_s);
    }
    connect(id_, &QComboBox::currentTextChanged, this, &TFrameEditDialog::kindChanged);
    kindChanged();
}

operations::FrameContent TFrameEditDialog::content() const
{
    const QString id = id_->currentText().trimmed().toUpper();
    return {id, operations::carriesDescription(id) ? description_->text() : QString(),
            operations::carriesLanguage(id) ? language_->text() : QString(), value_->toPlainText()};
}

void TFrameEditDialog::kindChanged()
{
    const QString id = id_->currentText().trimmed().toUpper();
    description_->setEnabled(operations::carriesDescription(id));
    language_->setEnabled(operations::carriesLanguage(id));
    refusal_->clear();
}

void TFrameEditDialog::accept()
{
    const QString why = operations::frameContentRefusal(content());
    if (!why.isEmpty()) {
        refusal_->setText(why);
        return;
    }
    QDialog::accept();
}
