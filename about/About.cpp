#include "about/About.h"

#include "resources/Icons.h"
#include "widgets/Toolkit.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

using namespace Qt::StringLiterals;

namespace {

// A plain text that does not react to the mouse.
QLabel* label(QWidget* parent, const QString& text, int left, int top, const QString& name = {})
{
    auto* l = new QLabel(text, parent);
    l->setObjectName(name);
    l->setTextFormat(Qt::PlainText);
    l->setTextInteractionFlags(Qt::NoTextInteraction);
    l->setFont(widgets::condensedToFit(parent->font(), text, parent->width() - left - 2));
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

TAboutBox::TAboutBox(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(u"AboutBox"_s);
    setWindowTitle(u"Vantor工作室简介"_s);
    setFont(widgets::songTiFont(9));
    setFixedSize(225, 167);
    setBackgroundRole(QPalette::Button);
    setAutoFillBackground(true);

    auto* panel = new QFrame(this);
    panel->setObjectName(u"Panel1"_s);
    panel->setGeometry(8, 8, 209, 121);
    widgets::setRaisedLoweredBevel(panel);

    auto* icon = new QLabel(panel);
    icon->setObjectName(u"ProgramIcon"_s);
    icon->setGeometry(8, 8, 33, 33);
    icon->setScaledContents(true);
    icon->setPixmap(resources::aboutPicture());

    label(panel, u"软件名:Mp3Tagloom"_s, 56, 8, u"ProductName"_s);
    label(panel, u"版本:V1.0"_s, 56, 24, u"Version"_s);
    label(panel, u"感谢下载使用"_s, 56, 40);
    label(panel, u"本软件由Vantor工作室编制，"_s, 10, 58);
    label(panel, u"网址："_s + WebAddress.toString(), 8, 72);
    label(panel, u"e.mail:"_s + MailAddress.toString(), 8, 88);
    label(panel, u"使用本软件有疑难可发信给我"_s, 8, 104, u"Comment"_s);

    auto* ok = new QPushButton(u"确定"_s, this);
    ok->setObjectName(u"OKButton"_s);
    ok->setGeometry(79, 132, 75, 25);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}

void TAboutBox::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Centred on the screen, not on the window that opens it.
    const QScreen* screen = this->screen() ? this->screen() : QGuiApplication::primaryScreen();
    if (screen) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}
