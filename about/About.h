#pragma once

#include <QDialog>
#include <QStringView>

class QShowEvent;

// The About box "Vantor工作室简介" (objectName "AboutBox"): the program, its
// version and its maker. Show it modally; "确定" (also Enter) or the close
// box closes it. It has no other behaviour.
class TAboutBox : public QDialog {
    Q_OBJECT

public:
    explicit TAboutBox(QWidget* parent = nullptr);

    // The maker's addresses (placeholders until the project has its own).
    static constexpr QStringView WebAddress = u"http://www.example.com";
    static constexpr QStringView MailAddress = u"vantor@example.com";

protected:
    void showEvent(QShowEvent* event) override;
};
