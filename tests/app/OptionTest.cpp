#include "app/Option.h"

#include "platform/Exception.h"
#include "platform/ProfileFile.h"
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"
#include "widgets/RadioGroup.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QTimer>

using namespace Qt::StringLiterals;
using testsupport::readBytes;
using testsupport::writeBytes;

namespace {

QString iniPath()
{
    return QDir(qEnvironmentVariable("XDG_CONFIG_HOME")).filePath(u"mp3tdex.ini"_s);
}

QString stored(const QString& section, const QString& key)
{
    return platform::GetPrivateProfileStringA(section, key, u"<none>"_s, u"mp3tdex.ini"_s);
}

template <class T> T* child(const QWidget& form, const char* name)
{
    return form.findChild<T*>(QString::fromLatin1(name));
}

} // namespace

class OptionTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void controlsAsDesigned();
    void startUp_data();
    void startUp();
    void badValueStopsStartUp_data();
    void badValueStopsStartUp();
    void okWrites_data();
    void okWrites();
    void writeEncoding_data();
    void writeEncoding();
    void okWithEmptyPathKeepsTheStoredPath();
    void pathComesFromTheChooser();
    void cancelWritesNothingButKeepsTheChoice();
    void failedWriteKeepsTheDialogOpen();
    void failedWriteFromTheButtonIsShown();
    void runsModally();

private:
    // A dialog started as the program starts it, shown as the menu shows it.
    std::unique_ptr<TFormOption> started();
};

void OptionTest::init()
{
    QDir(iniPath()).removeRecursively();
    QFile::remove(iniPath());
}

std::unique_ptr<TFormOption> OptionTest::started()
{
    auto form = std::make_unique<TFormOption>();
    form->FormCreate();
    form->show();
    if (!QTest::qWaitForWindowExposed(form.get()))
        return nullptr;
    return form;
}

void OptionTest::controlsAsDesigned()
{
    const auto form = started();
    QVERIFY(form);
    QCOMPARE(form->objectName(), u"FormOption"_s);
    QCOMPARE(form->windowTitle(), u"选项设置"_s);
    QCOMPARE(form->font().family(), u"宋体"_s);
    QCOMPARE(form->font().pixelSize(), 14);

    const struct {
        const char* name;
        QRect geometry; // width or height -1: sized to its text
        QString text;
        bool visible;
    } controls[] = {
        {"Label1", {8, 8, -1, -1}, u"Winamp的位置"_s, true},
        {"EditPathtoWinamp", {96, 6, 233, 20}, {}, true},
        {"BtnPath", {336, 6, 17, 17}, u"..."_s, true},
        {"RadioGrpID", {8, 40, 345, 49}, u"显示优先级"_s, true},
        {"RadioGrpEncoding", {361, 40, 300, 49}, u"ID3v2写入编码"_s, true},
        {"BtnOk", {88, 112, 75, 25}, u"确定"_s, true},
        {"BtnCancel", {192, 112, 75, 25}, u"取消"_s, true},
        {"Label2", {0, 232, -1, -1}, u"试听开始位置"_s, false},
        {"TrackBarPos", {96, 232, 225, 45}, {}, false},
        {"LabelPos", {184, 300, -1, -1}, u"0%"_s, false},
    };
    for (const auto& c : controls) {
        const QWidget* w = child<QWidget>(*form, c.name);
        QVERIFY2(w, c.name);
        QCOMPARE(w->pos(), c.geometry.topLeft());
        if (c.geometry.width() > 0)
            QCOMPARE(w->size(), c.geometry.size());
        QCOMPARE(w->isVisible(), c.visible);
        if (const auto* label = qobject_cast<const QLabel*>(w))
            QCOMPARE(label->text(), c.text);
        if (const auto* button = qobject_cast<const QPushButton*>(w))
            QCOMPARE(button->text(), c.text);
    }
    QCOMPARE(child<TRadioGroup>(*form, "RadioGrpID")->columns(), 3);
    QCOMPARE(child<TRadioGroup>(*form, "RadioGrpID")->items(),
             (QStringList{u"只显示ID3v1"_s, u"只显示ID3v2"_s, u"优先显示ID3v2"_s}));
    QCOMPARE(child<QWidget>(*form, "EditPathtoWinamp")->font().pixelSize(), 12);
    QCOMPARE(child<QWidget>(*form, "LabelPos")->font().pixelSize(), 12);
    QCOMPARE(child<QWidget>(*form, "BtnPath")->font().pixelSize(), 11);
    const auto* track = child<QSlider>(*form, "TrackBarPos");
    QCOMPARE(track->maximum(), 100);
    QCOMPARE(track->pageStep(), 10);
    QCOMPARE(track->tickInterval(), 10);
    QCOMPARE(track->tickPosition(), QSlider::TicksBelow);
    // Shrunk to the visible controls, with the left margin given on the right too.
    QCOMPARE(child<TRadioGroup>(*form, "RadioGrpEncoding")->items(),
             (QStringList{u"Unicode(UTF-16)"_s, u"GBK(兼容老设备)"_s}));
    QCOMPARE(form->size(), QSize(661 + 8, 137 + 8));
}

void OptionTest::startUp_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no settings file
    QTest::addColumn<QString>("path");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("choice");

    QTest::newRow("no file") << QByteArray() << QString() << 0 << 2;
    QTest::newRow("all stored")
        << "[SysInfo]\nShowId=0\n[WinampInfo]\nPath=/usr/bin/mpv\nPosition=30\n"_ba
        << u"/usr/bin/mpv"_s << 30 << 0;
    QTest::newRow("ShowId 5") << "[SysInfo]\nShowId=5\n"_ba << QString() << 0 << 2;
    QTest::newRow("ShowId -3") << "[SysInfo]\nShowId=-3\n"_ba << QString() << 0 << -1;
    QTest::newRow("Position 150") << "[WinampInfo]\nPosition=150\n"_ba << QString() << 100 << 2;
    QTest::newRow("Position -7") << "[WinampInfo]\nPosition=-7\n"_ba << QString() << 0 << 2;
}

void OptionTest::startUp()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(int, position);
    QFETCH(int, choice);
    if (!content.isNull())
        QVERIFY(writeBytes(iniPath(), content));
    const auto form = started();
    QVERIFY(form);
    QCOMPARE(child<QLineEdit>(*form, "EditPathtoWinamp")->text(), path);
    QCOMPARE(child<QSlider>(*form, "TrackBarPos")->value(), position);
    QCOMPARE(child<QSlider>(*form, "TrackBarPos")->property("SelEnd").toInt(), position);
    QCOMPARE(child<QLabel>(*form, "LabelPos")->text(), QString::number(position) + u'%');
    const auto* group = child<TRadioGroup>(*form, "RadioGrpID");
    QCOMPARE(group->itemIndex(), choice);
    for (int i = 0; i < 3; ++i)
        QCOMPARE(group->button(i)->isChecked(), i == choice);
    if (content.isNull())
        QVERIFY(!QFile::exists(iniPath())); // start-up writes nothing
}

void OptionTest::badValueStopsStartUp_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("labelPos");

    QTest::newRow("bad Position") << "[SysInfo]\nShowId=0\n[WinampInfo]\nPath=/p\nPosition=abc\n"_ba
                                  << u"'abc' is not a valid integer value"_s << 0 << u"%"_s;
    QTest::newRow("bad ShowId") << "[SysInfo]\nShowId=1.0\n[WinampInfo]\nPath=/p\nPosition=40\n"_ba
                                << u"'1.0' is not a valid integer value"_s << 40 << u"40%"_s;
}

// The steps before the bad value have run, the later controls keep their
// designed values (the position label follows the track bar).
void OptionTest::badValueStopsStartUp()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    QFETCH(int, position);
    QFETCH(QString, labelPos);
    QVERIFY(writeBytes(iniPath(), content));
    TFormOption form;
    try {
        form.FormCreate();
        QFAIL("no error");
    } catch (const platform::EConvertError& e) {
        QCOMPARE(e.message(), message);
    }
    QCOMPARE(form.size(), QSize(669, 145));
    QCOMPARE(child<QLineEdit>(form, "EditPathtoWinamp")->text(), u"/p"_s);
    QCOMPARE(child<QSlider>(form, "TrackBarPos")->value(), position);
    QCOMPARE(child<TRadioGroup>(form, "RadioGrpID")->itemIndex(), 2);
    QCOMPARE(child<QLabel>(form, "LabelPos")->text(), labelPos);
}

void OptionTest::okWrites_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no settings file
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("position");
    QTest::addColumn<QString>("showId");

    QTest::newRow("no file") << QByteArray() << u"<none>"_s << u"0"_s << u"2"_s;
    QTest::newRow("ShowId 5") << "[SysInfo]\nShowId=5\n"_ba << u"<none>"_s << u"0"_s << u"2"_s;
    QTest::newRow("ShowId -3") << "[SysInfo]\nShowId=-3\n"_ba << u"<none>"_s << u"0"_s << u"-1"_s;
    QTest::newRow("Position 150") << "[WinampInfo]\nPosition=150\n"_ba << u"<none>"_s << u"100"_s
                                  << u"2"_s;
    QTest::newRow("stored path") << "[WinampInfo]\nPath=/opt/player\n"_ba << u"/opt/player"_s
                                 << u"0"_s << u"2"_s;
}

void OptionTest::okWrites()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, path);
    QFETCH(QString, position);
    QFETCH(QString, showId);
    if (!content.isNull())
        QVERIFY(writeBytes(iniPath(), content));
    const auto form = started();
    QVERIFY(form);
    QTest::mouseClick(child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Accepted));
    QCOMPARE(stored(u"WinampInfo"_s, u"Path"_s), path);
    QCOMPARE(stored(u"WinampInfo"_s, u"Position"_s), position);
    QCOMPARE(stored(u"SysInfo"_s, u"ShowId"_s), showId);
}

void OptionTest::writeEncoding_data()
{
    QTest::addColumn<QByteArray>("content"); // null: no settings file
    QTest::addColumn<int>("shown");
    QTest::addColumn<int>("chosen");
    QTest::addColumn<QString>("written");

    QTest::newRow("no file, kept") << QByteArray() << 0 << 0 << u"unicode"_s;
    QTest::newRow("no file, GBK chosen") << QByteArray() << 0 << 1 << u"gbk"_s;
    QTest::newRow("gbk stored") << "[SysInfo]\nTextEncoding=gbk\n"_ba << 1 << 1 << u"gbk"_s;
    QTest::newRow("GBK in capitals")
        << "[SysInfo]\nTextEncoding=GBK\n"_ba << 1 << 0 << u"unicode"_s;
    QTest::newRow("unknown value") << "[SysInfo]\nTextEncoding=utf7\n"_ba << 0 << 0 << u"unicode"_s;
}

// The write encoding of ID3v2 texts: shown from the file, written by OK.
void OptionTest::writeEncoding()
{
    QFETCH(QByteArray, content);
    QFETCH(int, shown);
    QFETCH(int, chosen);
    QFETCH(QString, written);
    if (!content.isNull())
        QVERIFY(writeBytes(iniPath(), content));
    const auto form = started();
    QVERIFY(form);
    auto* group = child<TRadioGroup>(*form, "RadioGrpEncoding");
    QCOMPARE(group->itemIndex(), shown);
    QTest::mouseClick(group->button(chosen), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    QCOMPARE(stored(u"SysInfo"_s, u"TextEncoding"_s), written);
}

void OptionTest::okWithEmptyPathKeepsTheStoredPath()
{
    QVERIFY(writeBytes(iniPath(), "[WinampInfo]\nPath=/opt/player\n"));
    const auto form = started();
    QVERIFY(form);
    auto* edit = child<QLineEdit>(*form, "EditPathtoWinamp");
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QCOMPARE(edit->text(), QString());
    QTest::mouseClick(child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    QCOMPARE(stored(u"WinampInfo"_s, u"Path"_s), u"/opt/player"_s);
}

void OptionTest::pathComesFromTheChooser()
{
    const auto form = started();
    QVERIFY(form);
    QString answer = u"/usr/bin/mpv"_s;
    int asked = 0;
    form->OpenDlg = [&](QWidget* parent) {
        ++asked;
        return parent == form.get() ? answer : QString();
    };
    auto* edit = child<QLineEdit>(*form, "EditPathtoWinamp");
    QTest::mouseClick(child<QPushButton>(*form, "BtnPath"), Qt::LeftButton);
    QCOMPARE(asked, 1);
    QCOMPARE(edit->text(), u"/usr/bin/mpv"_s);
    answer.clear(); // the user cancels the chooser
    QTest::mouseClick(child<QPushButton>(*form, "BtnPath"), Qt::LeftButton);
    QCOMPARE(edit->text(), u"/usr/bin/mpv"_s);

    QTest::mouseClick(child<TRadioGroup>(*form, "RadioGrpID")->button(1), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    QCOMPARE(stored(u"WinampInfo"_s, u"Path"_s), u"/usr/bin/mpv"_s);
    QCOMPARE(stored(u"SysInfo"_s, u"ShowId"_s), u"1"_s);
}

void OptionTest::cancelWritesNothingButKeepsTheChoice()
{
    const QByteArray before = "[SysInfo]\nShowId=2\n"_ba;
    QVERIFY(writeBytes(iniPath(), before));
    const auto form = started();
    QVERIFY(form);
    auto* group = child<TRadioGroup>(*form, "RadioGrpID");
    QTest::mouseClick(group->button(0), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(*form, "BtnCancel"), Qt::LeftButton);
    QVERIFY(!form->isVisible());
    QCOMPARE(form->result(), int(QDialog::Rejected));
    QCOMPARE(readBytes(iniPath()), before);

    form->show(); // the next opening shows the cancelled change
    QCOMPARE(group->itemIndex(), 0);
    QVERIFY(group->button(0)->isChecked());
}

// A folder where the settings file should be: the write fails even for root.
void OptionTest::failedWriteKeepsTheDialogOpen()
{
    const auto form = started();
    QVERIFY(form);
    QVERIFY(QDir().mkpath(iniPath()));
    try {
        form->BtnOkClick();
        QFAIL("no error");
    } catch (const platform::Exception& e) {
        QCOMPARE(e.message(), u"Unable to write to "_s + iniPath());
    }
    QVERIFY(form->isVisible());
    QVERIFY(QFileInfo(iniPath()).isDir());
}

// The button's handler shows the error itself: nothing passes through the
// toolkit's button code.
void OptionTest::failedWriteFromTheButtonIsShown()
{
    const auto form = started();
    QVERIFY(form);
    QVERIFY(QDir().mkpath(iniPath()));
    QStringList shown;
    form->OnException = [&](const std::exception& e) {
        shown << QString::fromUtf8(e.what());
    };
    QTest::mouseClick(child<QPushButton>(*form, "BtnOk"), Qt::LeftButton);
    QCOMPARE(shown, QStringList{u"Unable to write to "_s + iniPath()});
    QVERIFY(form->isVisible());
}

void OptionTest::runsModally()
{
    TFormOption form;
    form.FormCreate();
    QTimer::singleShot(0, &form, [&form] {
        QTest::mouseClick(child<QPushButton>(form, "BtnOk"), Qt::LeftButton);
    });
    QCOMPARE(form.exec(), int(QDialog::Accepted));
    QCOMPARE(stored(u"SysInfo"_s, u"ShowId"_s), u"2"_s);
}

MP3T_TEST_MAIN(OptionTest)
#include "OptionTest.moc"
