#pragma once

#include "operations/FrameEditing.h"

#include <QDialog>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;

// The small editor of one frame of the frame dialog: its ID (chosen when it
// is added, fixed when it is edited), a description and a language where the
// kind carries them, and the value, lyrics on many lines. OK is refused, the
// reason shown, while the frame could not be written.
class TFrameEditDialog : public QDialog {
public:
    // `frame` is the frame edited; none: a new one.
    TFrameEditDialog(QWidget* parent, const std::optional<operations::FrameContent>& frame);

    operations::FrameContent content() const;

    void accept() override;

private:
    void kindChanged();

    QComboBox* id_ = nullptr;
    QLineEdit* description_ = nullptr;
    QLineEdit* language_ = nullptr;
    QPlainTextEdit* value_ = nullptr;
    QLabel* refusal_ = nullptr;
};
