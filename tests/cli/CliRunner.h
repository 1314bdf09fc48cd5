#pragma once

// mp3tagloom-cli run as a child process, and the files its tests give it.

#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace clitest {

using namespace Qt::StringLiterals;
using namespace testsupport;

struct Run {
    int code = -1;
    QByteArray out;
    QByteArray err;

    QJsonArray json() const
    {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(out, &error);
        if (error.error != QJsonParseError::NoError || !document.isArray())
            qWarning("not one JSON array: %s", out.constData());
        return document.array();
    }
};

// The program without a display, as a script on a server starts it.
inline Run runProgram(const QString& program, const QStringList& args, const QString& folder)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove(u"DISPLAY"_s);
    environment.remove(u"WAYLAND_DISPLAY"_s);
    environment.insert(u"QT_QPA_PLATFORM"_s, QString());
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty())
        process.setWorkingDirectory(folder);
    process.start(program, args);
    if (!process.waitForFinished(60000))
        return {};
    Run run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

inline Run cli(const QStringList& args, const QString& folder = {})
{
    return runProgram(QString::fromUtf8(MP3T_CLI_PROGRAM), args, folder);
}

// Arguments of any bytes (QProcess passes only UTF-8): the shell's printf
// makes them from octal escapes.
inline Run cliBytes(const QList<QByteArray>& args, const QString& folder = {})
{
    QString script = u"exec \"$0\""_s;
    for (const QByteArray& arg : args) {
        QString octal;
        for (const char c : arg)
            octal += u"\\0"_s + QString::number(quint8(c), 8);
        script += u" \"$(printf '%b' '"_s + octal + u"')\""_s;
    }
    return runProgram(u"/bin/sh"_s, {u"-c"_s, script, QString::fromUtf8(MP3T_CLI_PROGRAM)}, folder);
}

inline void writeSettings(const QByteArray& lines)
{
    QFile file(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mp3tdex.ini"_s);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("[SysInfo]\n" + lines);
}

inline QByteArray legacyFile(const QByteArray& title, const QByteArray& artist = {})
{
    return id3v2Tag(3, frame23("TIT2", textData(0, title)) + frame23("TPE1", textData(0, artist)),
                    64) +
           silentMpegFrames();
}

inline QByteArray big5(const QString& text)
{
    QStringEncoder encode("Big5");
    return encode(text);
}

// A file whose name is any bytes, which QFile cannot make.
inline bool writeNative(const QByteArray& path, const QByteArray& bytes)
{
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0)
        return false;
    const bool written = ::write(fd, bytes.constData(), std::size_t(bytes.size())) == bytes.size();
    return ::close(fd) == 0 && written;
}

inline QStringList filesOf(const QJsonArray& array)
{
    QStringList files;
    for (const QJsonValue& value : array)
        files.append(value[u"file"_s].toString());
    return files;
}

// A temporary folder for one test's files, with the settings file and the
// journal of the private home cleared.
class TestFolder {
public:
    TestFolder()
    {
        QFile::remove(qEnvironmentVariable("XDG_CONFIG_HOME") + u"/mp3tdex.ini"_s);
        QDir(qEnvironmentVariable("XDG_STATE_HOME") + u"/mp3tagloom"_s).removeRecursively();
    }
    QString path() const { return dir_.path(); }
    QString file(const QString& name) const { return dir_.filePath(name); }
    QString add(const QString& name, const QByteArray& bytes) const
    {
        writeBytes(file(name), bytes);
        return file(name);
    }

private:
    TemporaryFolder dir_;
};

} // namespace clitest
