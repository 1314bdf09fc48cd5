#include "about/About.h"

#include "tests/support/TestEnvironment.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

QLabel* labelWithText(const QWidget& box, const QString& text)
{
    for (QLabel* l : box.findChildren<QLabel*>()) {
        if (l->text() == text)
            return l;
    }
    return nullptr;
}

} // namespace

class AboutTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void laidOutAsDesigned();
    void textsAreShownWhole();
    void texts_data();
    void texts();
    void closes_data();
    void closes();
};

void AboutTest::laidOutAsDesigned()
{
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QCOMPARE(box.objectName(), u"AboutBox"_s);
    QCOMPARE(box.windowTitle(), u"Vantor工作室简介"_s);
    QCOMPARE(box.size(), QSize(225, 167));
    QCOMPARE(box.font().pixelSize(), 12);
    QCOMPARE(box.backgroundRole(), QPalette::Button);

    const auto* panel = box.findChild<QFrame*>(u"Panel1"_s);
    QVERIFY(panel);
    QCOMPARE(panel->geometry(), QRect(8, 8, 209, 121));
    const auto* icon = box.findChild<QLabel*>(u"ProgramIcon"_s);
    QVERIFY(icon);
    QCOMPARE(icon->parentWidget(), panel);
    QCOMPARE(icon->geometry(), QRect(8, 8, 33, 33));
    QVERIFY(icon->hasScaledContents());
    QVERIFY(!icon->pixmap().isNull());

    const auto* ok = box.findChild<QPushButton*>(u"OKButton"_s);
    QVERIFY(ok);
    QCOMPARE(ok->text(), u"确定"_s);
    QCOMPARE(ok->geometry(), QRect(79, 132, 75, 25));
    QVERIFY(ok->isDefault());

    const QPoint centre = box.screen()->availableGeometry().center();
    QVERIFY((box.frameGeometry().center() - centre).manhattanLength() <= 2);
}

// Every text ends inside the panel.
void AboutTest::textsAreShownWhole()
{
    TAboutBox box;
    for (const QLabel* l : box.findChildren<QLabel*>()) {
        if (l->objectName() == u"ProgramIcon"_s)
            continue;
        QVERIFY2(l->geometry().right() < 209 - 1, qPrintable(l->text()));
        QVERIFY2(l->width() >= l->sizeHint().width(), qPrintable(l->text()));
    }
}

void AboutTest::texts_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("name");
    QTest::newRow("product") << u"软件名:Mp3Tagloom"_s << QPoint(56, 8) << u"ProductName"_s;
    QTest::newRow("version") << u"版本:V1.0"_s << QPoint(56, 24) << u"Version"_s;
    QTest::newRow("thanks") << u"感谢下载使用"_s << QPoint(56, 40) << QString();
    QTest::newRow("maker") << u"本软件由Vantor工作室编制，"_s << QPoint(10, 58) << QString();
    QTest::newRow("web") << u"网址：http://www.example.com"_s << QPoint(8, 72) << QString();
    QTest::newRow("mail") << u"e.mail:vantor@example.com"_s << QPoint(8, 88) << QString();
    QTest::newRow("comment") << u"使用本软件有疑难可发信给我"_s << QPoint(8, 104) << u"Comment"_s;
}

void AboutTest::texts()
{
    QFETCH(QString, text);
    QFETCH(QPoint, position);
    QFETCH(QString, name);
    TAboutBox box;
    const QLabel* l = labelWithText(box, text);
    QVERIFY(l);
    QCOMPARE(l->parentWidget()->objectName(), u"Panel1"_s);
    QCOMPARE(l->pos(), position);
    if (!name.isEmpty())
        QCOMPARE(l->objectName(), name);
    QCOMPARE(l->textFormat(), Qt::PlainText); // the addresses are no links
    QCOMPARE(l->textInteractionFlags(), Qt::NoTextInteraction);
}

void AboutTest::closes_data()
{
    QTest::addColumn<int>("how");
    QTest::addColumn<int>("result");
    QTest::newRow("OK button") << 0 << int(QDialog::Accepted);
    QTest::newRow("Enter") << 1 << int(QDialog::Accepted);
    QTest::newRow("close box") << 2 << int(QDialog::Rejected);
}

void AboutTest::closes()
{
    QFETCH(int, how);
    QFETCH(int, result);
    TAboutBox box;
    box.show();
    QVERIFY(QTest::qWaitForWindowActive(&box));
    if (how == 0)
        QTest::mouseClick(box.findChild<QPushButton*>(u"OKButton"_s), Qt::LeftButton);
    else if (how == 1)
        QTest::keyClick(&box, Qt::Key_Return);
    else
        box.close();
    QVERIFY(!box.isVisible());
    QCOMPARE(box.result(), result);
}

MP3T_TEST_MAIN(AboutTest)
#include "AboutTest.moc"
