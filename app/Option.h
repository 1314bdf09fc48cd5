#pragma once

#include "settings/IniFile.h"
#include "widgets/OpenDlg.h"

#include <QDialog>

#include <exception>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TRadioGroup;

// The options dialog "选项设置" (objectName "FormOption"): the player's
// program, the priority between the tag versions and how edited ID3v2 texts
// are written. The start position
// for listening is loaded and written back but has no visible control.
//
// Create it once, call FormCreate, then show it modally as often as the
// user asks; its controls keep their values between showings.
class TFormOption : public QDialog {
    Q_OBJECT

public:
    explicit TFormOption(QWidget* parent = nullptr);

    // Start-up: sizes the dialog to its visible controls and loads the
    // controls from the settings file, in order: player path, position,
    // priority, write encoding. A value that is not a number throws platform::EConvertError
    // and the controls after it keep their designed values; the caller shows
    // the message as the application's error handler does.
    void FormCreate();

    // The open-file dialog of the "..." button; tests put their own here.
    widgets::FileChooser OpenDlg;

    // Shows an error that a handler of the controls raised (a settings file
    // that cannot be written); the program shows it as its error handler
    // does. Unassigned: a message box titled as the dialog. Errors never
    // pass through the toolkit's own code.
    std::function<void(const std::exception&)> OnException;

    // The handlers, connected to the controls.
    void BtnPathClick();
    // Writes the settings and closes the dialog. When a write fails it
    // throws platform::Exception and the dialog stays open.
    void BtnOkClick();
    void BtnCancelClick();
    void TrackBarPosChange();

    // What the dialog writes: the path only when not empty, then the
    // position, the chosen priority and the write encoding.
    void SaveToFile(TIniFile& ini) const;

private:
    void guarded(void (TFormOption::*handler)());
    void createControls();
    void shrinkToVisibleControls();

    QLabel* Label1;
    QLineEdit* EditPathtoWinamp;
    QPushButton* BtnPath;
    TRadioGroup* RadioGrpID;
    TRadioGroup* RadioGrpEncoding;
    QPushButton* BtnOk;
    QPushButton* BtnCancel;
    QLabel* Label2;
    QSlider* TrackBarPos;
    QLabel* LabelPos;
};

namespace settings {
// The stored values held to what the controls can show: the position to
// 0..100, the priority to -1..2 (-1 is no choice).
int heldPosition(int stored);
int heldShowId(int stored);
} // namespace settings
