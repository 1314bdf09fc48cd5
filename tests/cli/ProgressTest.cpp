// The progress line: only to a terminal, only after a second, not too often,
// and wiped at the end.

#include "cli/Progress.h"

#include "tests/support/TestEnvironment.h"

#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// What was written to the pipe so far.
QByteArray drain(int fd)
{
    QByteArray bytes;
    char buffer[256];
    ssize_t n = 0;
    while ((n = ::read(fd, buffer, sizeof buffer)) > 0)
        bytes.append(buffer, n);
    return bytes;
}

} // namespace

class ProgressTest : public QObject {
    Q_OBJECT

    int fds_[2] = {-1, -1};
    std::int64_t now_ = 0;
    cli::Progress::Clock clock()
    {
        return [this] {
            return now_;
        };
    }

private Q_SLOTS:
    void init()
    {
        QCOMPARE(::pipe2(fds_, O_NONBLOCK), 0);
        now_ = 5000;
    }
    void cleanup()
    {
        ::close(fds_[0]);
        ::close(fds_[1]);
    }

    void shownAfterASecondAndWiped()
    {
        {
            cli::Progress progress(QStringLiteral("正在读取"), 10, fds_[1], true, clock());
            progress.update(1);
            now_ += 999;
            progress.update(2);
            QCOMPARE(drain(fds_[0]), QByteArray());
            now_ += 1;
            progress.update(3);
            QCOMPARE(drain(fds_[0]), QByteArray("\r\033[K正在读取  3/10"));
            now_ += 99;
            progress.update(4);
            QCOMPARE(drain(fds_[0]), QByteArray());
            now_ += 1;
            progress.update(5);
            QCOMPARE(drain(fds_[0]), QByteArray("\r\033[K正在读取  5/10"));
        }
        QCOMPARE(drain(fds_[0]), QByteArray("\r\033[K"));
    }

    void nothingForAScriptOrAShortRun()
    {
        {
            cli::Progress progress(QStringLiteral("x"), 10, fds_[1], false, clock());
            now_ += 5000;
            progress.update(5);
        }
        {
            cli::Progress progress(QStringLiteral("x"), 10, fds_[1], true, clock());
            progress.update(10);
        }
        QCOMPARE(drain(fds_[0]), QByteArray());
    }
};

MP3T_TEST_GUILESS_MAIN(ProgressTest)
#include "ProgressTest.moc"
