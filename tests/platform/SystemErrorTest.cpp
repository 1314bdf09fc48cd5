// System errors as the user reads them: the common ones in Chinese, the
// others with the system's own words after a Chinese lead.

#include "platform/SystemError.h"

#include "tests/support/TestEnvironment.h"

#include <QTest>

#include <cerrno>

using namespace Qt::StringLiterals;

class SystemErrorTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void commonErrorsInChinese_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("text");
        QTest::newRow("EACCES") << EACCES << u"权限不足"_s;
        QTest::newRow("EPERM") << EPERM << u"权限不足"_s;
        QTest::newRow("EROFS") << EROFS << u"文件只读(只读的文件系统)"_s;
        QTest::newRow("ENOSPC") << ENOSPC << u"磁盘已满"_s;
        QTest::newRow("ENOENT") << ENOENT << u"文件或文件夹不存在"_s;
        QTest::newRow("EXDEV") << EXDEV << u"不能跨磁盘移动"_s;
    }
    void commonErrorsInChinese()
    {
        QFETCH(int, error);
        QFETCH(QString, text);
        QCOMPARE(platform::SystemErrorText(error), text);
    }

    void othersKeepTheSystemsWords()
    {
        // In the C locale the tests run in, the system's words are English.
        QCOMPARE(platform::SystemErrorText(EPROTONOSUPPORT), u"系统错误: Protocol not supported"_s);
    }
};

MP3T_TEST_GUILESS_MAIN(SystemErrorTest)
#include "SystemErrorTest.moc"
