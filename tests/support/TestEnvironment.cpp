#include "tests/support/TestEnvironment.h"

#include <QDir>

#include <cstdio>
#include <cstdlib>

namespace testsupport {

namespace {
void setEnv(const char* name, const QString& value)
{
    ::setenv(name, QFile::encodeName(value).constData(), 1);
}
} // namespace

TestEnvironment::TestEnvironment()
{
    if (!dir_.isValid()) {
        std::fprintf(stderr, "cannot create a temporary folder for the test\n");
        std::abort();
    }
    QDir root(dir_.path());
    root.mkpath(QStringLiteral("home"));
    root.mkpath(QStringLiteral("config"));
    root.mkpath(QStringLiteral("data"));
    root.mkpath(QStringLiteral("state"));
    root.mkpath(QStringLiteral("runtime"));
    QFile::setPermissions(root.filePath(QStringLiteral("runtime")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    setEnv("HOME", home());
    setEnv("XDG_CONFIG_HOME", configHome());
    setEnv("XDG_DATA_HOME", dataHome());
    setEnv("XDG_STATE_HOME", stateHome());
    setEnv("XDG_RUNTIME_DIR", root.filePath(QStringLiteral("runtime")));
    ::setenv("LC_ALL", "C.UTF-8", 1);
    ::setenv("TZ", "UTC", 1);
    if (!std::getenv("QT_QPA_PLATFORM"))
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
}

QString TestEnvironment::home() const
{
    return dir_.filePath(QStringLiteral("home"));
}
QString TestEnvironment::configHome() const
{
    return dir_.filePath(QStringLiteral("config"));
}
QString TestEnvironment::dataHome() const
{
    return dir_.filePath(QStringLiteral("data"));
}
QString TestEnvironment::stateHome() const
{
    return dir_.filePath(QStringLiteral("state"));
}

} // namespace testsupport
