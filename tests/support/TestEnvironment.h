#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QString>
#include <QTest>

#include "tests/support/TemporaryFolder.h"

namespace testsupport {

// A private world for one test program: its own home, configuration and
// data folders, so that no test reads or writes the machine's real files.
// Create it before the application object.
class TestEnvironment {
public:
    TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString root() const { return dir_.path(); }
    QString home() const;       // $HOME
    QString configHome() const; // $XDG_CONFIG_HOME
    QString dataHome() const;   // $XDG_DATA_HOME (the trash lives here)
    QString stateHome() const;  // $XDG_STATE_HOME (the journal lives here)

private:
    TemporaryFolder dir_;
};

} // namespace testsupport

// Like QTEST_MAIN / QTEST_GUILESS_MAIN, with the private world set up first.
#define MP3T_TEST_MAIN_IMPL(TestObject, AppClass)                                                  \
    int main(int argc, char** argv)                                                                \
    {                                                                                              \
        testsupport::TestEnvironment environment;                                                  \
        AppClass app(argc, argv);                                                                  \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        TestObject tc;                                                                             \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }

#define MP3T_TEST_MAIN(TestObject) MP3T_TEST_MAIN_IMPL(TestObject, QApplication)
#define MP3T_TEST_GUILESS_MAIN(TestObject) MP3T_TEST_MAIN_IMPL(TestObject, QCoreApplication)
