#pragma once

#include <QDialog>
#include <QStringList>

class QPushButton;
class TRadioGroup;

// The copy-options dialog "选择" (objectName "FormID3"): whether a target tag
// that exists already is left alone (item 0) or overwritten (item 1). The
// caller adds the two items of its direction.
class TFormID3 : public QDialog {
    Q_OBJECT

public:
    explicit TFormID3(QWidget* parent = nullptr);

    // -1 when the dialog was cancelled or closed without OK, otherwise the
    // chosen item.
    int Choice = -1;

    void FormCreate();
    void addItems(const QStringList& items);
    void selectItem(int index);
    void BtnOkClick();
    void BtnCancelClick();

private:
    TRadioGroup* RadioGrpSel;
    QPushButton* BtnOk;
    QPushButton* BtnCancel;
};
