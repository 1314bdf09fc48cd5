// The bridge against a real media player: a private session bus and mpv
// with its MPRIS plug-in, both started by this test and ended with it. The
// test functions run in order against the one player they start.
#include "tests/support/Mp3Bytes.h"
#include "tests/support/TestEnvironment.h"

#include "platform/FileNameCodec.h"
#include "platform/MprisBridge.h"
#include "player/Listen.h"
#include "player/Winamp.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QObject>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QUrl>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <sys/prctl.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kConnectionName = u"mp3t-test-bus"_s;
const QString kOtherConnectionName = u"mp3t-test-other-player"_s;
const QString kPlayerService = u"org.mpris.MediaPlayer2.mpv"_s;
const QString kPlayerInterface = u"org.mpris.MediaPlayer2.Player"_s;
constexpr int kStartMs = 15000; // a player or a bus coming up
constexpr int kChangeMs = 5000; // a player acting on a command

QString mprisPlugin()
{
    for (const QString& path : {u"/usr/lib/mpv-mpris/mpris.so"_s, u"/etc/mpv/scripts/mpris.so"_s,
                                u"/usr/lib/x86_64-linux-gnu/mpv/scripts/mpris.so"_s}) {
        if (QFile::exists(path))
            return path;
    }
    return {};
}

// A process that dies with the test, however the test ends.
std::unique_ptr<QProcess> childProcess()
{
    auto process = std::make_unique<QProcess>();
    process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
    process->setProcessChannelMode(QProcess::SeparateChannels);
    return process;
}

// The detached player, killed by its process id at the end.
struct PlayerProcess {
    qint64 pid = 0;
    ~PlayerProcess() { end(SIGKILL); }
    void end(int signal)
    {
        if (pid > 0)
            ::kill(pid_t(pid), signal);
    }
};

} // namespace

// Another media player on the bus, like a browser that plays videos: it
// takes commands but may refuse files. It answers from a thread of its own,
// since the bridge's calls block the test's thread.
class OtherPlayer : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
    Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
public:
    // Its name sorts before mpv's.
    static inline const QString service = u"org.mpris.MediaPlayer2.aaa"_s;
    std::atomic<bool> refusesFiles = false;
    std::atomic<int> opened = 0; // OpenUri calls, the refused ones included
    std::atomic<int> driven = 0; // any other command

    QString playbackStatus() const { return u"Stopped"_s; }

public Q_SLOTS:
    void OpenUri(const QString&)
    {
        ++opened;
        if (refusesFiles)
            sendErrorReply(QDBusError::NotSupported, u"Only web pages here"_s);
    }
    void Play() { ++driven; }
    void Pause() { ++driven; }
    void Stop() { ++driven; }
    void SetPosition(const QDBusObjectPath&, qlonglong) { ++driven; }
};

class TestMprisBridge : public QObject {
    Q_OBJECT

    QTemporaryDir dir;
    std::unique_ptr<QProcess> bus;
    std::unique_ptr<QDBusConnection> connection;
    std::unique_ptr<platform::MprisBridge> bridge;
    std::unique_ptr<platform::WindowBackendScope> scope;
    std::unique_ptr<TWinamp> winamp;
    PlayerProcess player;
    QStringList events;
    QString song;
    QString launcher;
    QThread otherThread;
    std::unique_ptr<OtherPlayer> other;
    std::unique_ptr<QDBusConnection> otherConnection;

    QVariant property(const QString& name)
    {
        QDBusMessage get =
            QDBusMessage::createMethodCall(kPlayerService, u"/org/mpris/MediaPlayer2"_s,
                                           u"org.freedesktop.DBus.Properties"_s, u"Get"_s);
        get.setArguments({kPlayerInterface, name});
        const QDBusMessage reply = connection->call(get, QDBus::Block, 2000);
        if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
            return {};
        return reply.arguments().constFirst().value<QDBusVariant>().variant();
    }
    qint64 positionUs() { return property(u"Position"_s).toLongLong(); }
    QVariantMap metadata() { return qdbus_cast<QVariantMap>(property(u"Metadata"_s)); }

    void writeLauncher()
    {
        // The player's program lives in a folder with a space in its name and
        // notes its process id, so that the test can end it, and every start,
        // so that the test can count them.
        QVERIFY(QDir(dir.path()).mkpath(u"player dir"_s));
        launcher = dir.filePath(u"player dir/start player"_s);
        const QByteArray folder = QFile::encodeName(dir.path());
        const QByteArray script = "#!/bin/sh\necho $$ > '" + folder + "/player.pid'\necho $$ >> '" +
                                  folder +
                                  "/starts'\nexec mpv --idle=yes --no-video --ao=null "
                                  "--no-config --no-terminal '--log-file=" +
                                  QFile::encodeName(dir.filePath(u"mpv.log"_s)) +
                                  "' '--script=" + QFile::encodeName(mprisPlugin()) + "'\n";
        QVERIFY(testsupport::writeBytes(launcher, script));
        QVERIFY(QFile::setPermissions(launcher,
                                      QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    // The process ids noted in a file of the test's folder, one a line.
    QList<qint64> pidsIn(const QString& name)
    {
        QFile file(dir.filePath(name));
        QList<qint64> pids;
        if (file.open(QIODevice::ReadOnly)) {
            for (const QByteArray& line : file.readAll().split('\n')) {
                if (!line.trimmed().isEmpty())
                    pids.append(line.trimmed().toLongLong());
            }
        }
        return pids;
    }
    // Every process id the launcher ever ran as.
    QList<qint64> starts() { return pidsIn(u"starts"_s); }
    // Ends every player that a test started and that still runs, however
    // many: the ones whose command line names the test's folder.
    void endStartedPlayers()
    {
        for (const qint64 pid : starts() + pidsIn(u"slow starts"_s)) {
            QFile cmdline(u"/proc/%1/cmdline"_s.arg(pid));
            if (cmdline.open(QIODevice::ReadOnly) &&
                cmdline.readAll().contains(QFile::encodeName(dir.path())))
                ::kill(pid_t(pid), SIGKILL);
        }
    }
    QStringList mpvNames()
    {
        const QStringList names = connection->interface()->registeredServiceNames().value();
        return names.filter(QRegularExpression(u"^org\\.mpris\\.MediaPlayer2\\.mpv"_s));
    }
    void addOtherPlayer()
    {
        other = std::make_unique<OtherPlayer>();
        other->moveToThread(&otherThread);
        otherThread.start();
        otherConnection = std::make_unique<QDBusConnection>(QDBusConnection::connectToBus(
            QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), kOtherConnectionName));
        QVERIFY(otherConnection->isConnected());
        QVERIFY(otherConnection->registerObject(u"/org/mpris/MediaPlayer2"_s, other.get(),
                                                QDBusConnection::ExportAllSlots |
                                                    QDBusConnection::ExportAllProperties));
        QVERIFY(otherConnection->registerService(OtherPlayer::service));
    }
    void removeOtherPlayer()
    {
        if (otherConnection) {
            otherConnection->unregisterObject(u"/org/mpris/MediaPlayer2"_s);
            otherConnection.reset();
            QDBusConnection::disconnectFromBus(kOtherConnectionName);
        }
        otherThread.quit();
        otherThread.wait();
        other.reset();
    }
    // As after a restart of the program: a bridge that has met no player.
    void restartBridge()
    {
        scope.reset();
        bridge = std::make_unique<platform::MprisBridge>(*connection);
        scope = std::make_unique<platform::WindowBackendScope>(*bridge);
    }
    bool listen(const QString& file, QString& winampPath)
    {
        return player::Listen(*winamp, file, winampPath, 0, [] { return QString(); }, {});
    }
    QString playing() { return QUrl(metadata().value(u"xesam:url"_s).toString()).toLocalFile(); }

    void readPlayerPid()
    {
        QFile file(dir.filePath(u"player.pid"_s));
        QVERIFY(file.open(QIODevice::ReadOnly));
        player.pid = file.readAll().trimmed().toLongLong();
        QVERIFY(player.pid > 0);
    }
    void startBus()
    {
        const QString config = dir.filePath(u"bus.conf"_s);
        const QByteArray xml = "<busconfig><type>session</type><listen>unix:path=" +
                               QFile::encodeName(dir.filePath(u"bus"_s)) +
                               "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                               "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                               "</busconfig>\n";
        QVERIFY(testsupport::writeBytes(config, xml));
        bus = childProcess();
        bus->start(u"dbus-daemon"_s,
                   {u"--config-file="_s + config, u"--nofork"_s, u"--print-address=1"_s});
        QVERIFY2(bus->waitForStarted(kStartMs), "dbus-daemon does not start");
        while (!bus->canReadLine())
            QVERIFY2(bus->waitForReadyRead(kStartMs), "dbus-daemon names no address");
        const QByteArray address = bus->readLine().trimmed();
        // The player started by the test joins the same bus.
        qputenv("DBUS_SESSION_BUS_ADDRESS", address);
        connection = std::make_unique<QDBusConnection>(
            QDBusConnection::connectToBus(QString::fromUtf8(address), kConnectionName));
        QVERIFY2(connection->isConnected(), qPrintable(connection->lastError().message()));
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable(u"dbus-daemon"_s).isEmpty(),
                 "dbus-daemon is missing (package dbus-daemon)");
        QVERIFY2(!QStandardPaths::findExecutable(u"mpv"_s).isEmpty(), "mpv is missing");
        QVERIFY2(!mprisPlugin().isEmpty(), "mpv's MPRIS plug-in is missing (package mpv-mpris)");
        startBus();
        bridge = std::make_unique<platform::MprisBridge>(*connection);
        scope = std::make_unique<platform::WindowBackendScope>(*bridge);
        writeLauncher();
        // A minute of audio, in a folder and under a name that a URL must
        // escape.
        QVERIFY(QDir(dir.path()).mkpath(u"歌 曲"_s));
        song = dir.filePath(u"歌 曲/试听 #1.mp3"_s);
        QVERIFY(testsupport::writeBytes(song, testsupport::silentMpegFrames(2300)));
        winamp = std::make_unique<TWinamp>();
        winamp->OnStartPlay = [this](QObject*) {
            events << u"start"_s;
        };
        winamp->OnPause = [this](QObject*) {
            events << u"pause"_s;
        };
        winamp->OnStopPlay = [this](QObject*) {
            events << u"stop"_s;
        };
        winamp->OnWinampExit = [this](QObject*) {
            events << u"exit"_s;
        };
    }
    void cleanupTestCase()
    {
        winamp.reset();
        scope.reset();
        bridge.reset();
        removeOtherPlayer();
        connection.reset();
        QDBusConnection::disconnectFromBus(kConnectionName);
        player.end(SIGKILL);
        endStartedPlayers();
        if (bus) {
            bus->kill();
            bus->waitForFinished(kStartMs);
        }
    }

    // What the player did, when a test of it failed.
    void cleanup()
    {
        if (!QTest::currentTestFailed())
            return;
        QFile log(dir.filePath(u"mpv.log"_s));
        if (!log.open(QIODevice::ReadOnly))
            return;
        const QList<QByteArray> lines = log.readAll().split('\n');
        for (qsizetype i = qMax<qsizetype>(0, lines.size() - 60); i < lines.size(); ++i)
            qInfo("mpv: %s", lines.at(i).constData());
    }

    void noPlayerOnTheBus()
    {
        QCOMPARE(platform::FindWindowA(u"Winamp v1.x"_s), platform::HWND(0));
        QVERIFY(!TWinamp().StartWinAmp());
    }

    void listenStartsThePlayerPlaysAndJumps()
    {
        int asked = 0;
        QStringList written;
        QString winampPath;
        const bool played = player::Listen(
            *winamp, song, winampPath, 50, [&] { return ++asked == 1 ? launcher : QString(); },
            [&](const QString& path) { written << path; });
        QVERIFY(played);
        QCOMPARE(asked, 1);
        QCOMPARE(written, QStringList(launcher));
        readPlayerPid();

        const QVariantMap track = metadata();
        QCOMPARE(QUrl(track.value(u"xesam:url"_s).toString()).toLocalFile(), song);
        const qint64 lengthUs = track.value(u"mpris:length"_s).toLongLong();
        QVERIFY2(lengthUs > 55'000'000 && lengthUs < 65'000'000, "a minute of audio");
        QCOMPARE(winamp->SongLength(), int(lengthUs / 1'000'000) * 1000);
        QCOMPARE(winamp->WinampStatus(), WAPlaying);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"start"_s), kChangeMs);
        // Half of the song, and not much later.
        const qint64 jumpUs = qint64(winamp->SongLength()) * 50 / 100 * 1000;
        QTRY_VERIFY_WITH_TIMEOUT(positionUs() >= jumpUs, kChangeMs);
        QVERIFY(positionUs() < jumpUs + 15'000'000);
    }

    void pauseAndPlay()
    {
        events.clear();
        winamp->Pause();
        QTRY_COMPARE_WITH_TIMEOUT(winamp->WinampStatus(), WAPause, kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"pause"_s), kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(property(u"PlaybackStatus"_s).toString(), u"Paused"_s, kChangeMs);
        winamp->Play();
        QTRY_COMPARE_WITH_TIMEOUT(winamp->WinampStatus(), WAPlaying, kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({u"pause"_s, u"start"_s}), kChangeMs);
    }

    void jumpsWhilePaused()
    {
        winamp->Pause();
        QTRY_COMPARE_WITH_TIMEOUT(property(u"PlaybackStatus"_s).toString(), u"Paused"_s, kChangeMs);
        // mpv seeks in an MP3 without an index to within a frame or so.
        winamp->JumpToTime(20000);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(positionUs() - 20'000'000) < 500'000, kChangeMs);
        const qint64 jumped = positionUs();
        winamp->JumpFWRDBy5sec();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(positionUs() - jumped - 5'000'000) < 500'000, kChangeMs);
        const qint64 forward = positionUs();
        winamp->JumpREWBy5sec();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(positionUs() - forward + 5'000'000) < 500'000, kChangeMs);
        winamp->Play();
        QTRY_COMPARE_WITH_TIMEOUT(winamp->WinampStatus(), WAPlaying, kChangeMs);
    }

    void volume()
    {
        winamp->SetVolume(51);
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(property(u"Volume"_s).toDouble() - 0.2) < 0.01, kChangeMs);
        winamp->VolumeUpByOne();
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(property(u"Volume"_s).toDouble() - 0.22) < 0.01, kChangeMs);
    }

    // Someone else pauses the player: what it announces reaches the events
    // at once, not at the next poll.
    void pausedElsewhereIsAnnounced()
    {
        // The play of the earlier test has reached the events.
        QTRY_VERIFY_WITH_TIMEOUT(!events.isEmpty() && events.constLast() == u"start"_s, kChangeMs);
        QSignalSpy announced(&bridge->changes(), &platform::WindowChanges::changed);
        events.clear();
        const QDBusMessage pause = QDBusMessage::createMethodCall(
            kPlayerService, u"/org/mpris/MediaPlayer2"_s, kPlayerInterface, u"Pause"_s);
        QCOMPARE(connection->call(pause, QDBus::Block, kChangeMs).type(),
                 QDBusMessage::ReplyMessage);
        QTRY_VERIFY_WITH_TIMEOUT(!announced.isEmpty(), kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"pause"_s), kChangeMs);
        winamp->Play();
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({u"pause"_s, u"start"_s}), kChangeMs);
    }

    void stopAndPlayAgain()
    {
        events.clear();
        winamp->Stop();
        QCOMPARE(winamp->WinampStatus(), WAStop);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"stop"_s), kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(property(u"PlaybackStatus"_s).toString(), u"Stopped"_s,
                                  kChangeMs);
        // mpv forgets the file when it stops; play opens it again.
        winamp->Play();
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({u"stop"_s, u"start"_s}), kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(QUrl(metadata().value(u"xesam:url"_s).toString()).toLocalFile(),
                                  song, kChangeMs);
        QCOMPARE(winamp->WinampStatus(), WAPlaying);
    }

    void hungPlayerAnswersZero()
    {
        const platform::HWND window = platform::FindWindowA(u"Winamp v1.x"_s);
        QVERIFY(window != 0);
        const int length = winamp->SongLength();
        QCOMPARE(::kill(pid_t(player.pid), SIGSTOP), 0);
        // Calls that must reach the player give up; cached answers stay.
        QCOMPARE(winamp->JumpToTime(1000), platform::LRESULT(0));
        QCOMPARE(platform::SendMessageA(window, platform::WM_USER, 0, 0),
                 platform::MprisBridge::version);
        QCOMPARE(winamp->SongLength(), length);
        QVERIFY(platform::IsWindow(window));
        // A command it was given but did not answer counts as made: the
        // player acts on it once it runs again.
        winamp->Pause();
        QCOMPARE(winamp->WinampStatus(), WAPause);
        QCOMPARE(::kill(pid_t(player.pid), SIGCONT), 0);
        QTRY_COMPARE_WITH_TIMEOUT(property(u"PlaybackStatus"_s).toString(), u"Paused"_s, kChangeMs);
        winamp->Play();
        QCOMPARE(winamp->WinampStatus(), WAPlaying);
    }

    void playerExitRaisesExitAndStop()
    {
        const platform::HWND window = platform::FindWindowA(u"Winamp v1.x"_s);
        QTRY_COMPARE_WITH_TIMEOUT(winamp->WinampStatus(), WAPlaying, kChangeMs);
        // The status changes of the earlier test reach the events first.
        QTest::qWait(250);
        events.clear();
        player.end(SIGTERM);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({u"exit"_s, u"stop"_s}), kStartMs);
        QVERIFY(!platform::IsWindow(window));
        QCOMPARE(platform::FindWindowA(u"Winamp v1.x"_s), platform::HWND(0));
        QCOMPARE(winamp->WinampStatus(), WAStop);
    }

    void startAndCloseThePlayer()
    {
        winamp->PathToWinAmp = launcher;
        QVERIFY(winamp->StartWinAmp()); // waits for the player to come up
        readPlayerPid();
        const platform::HWND window = platform::FindWindowA(u"Winamp v1.x"_s);
        QVERIFY(window != 0);
        winamp->CloseWinAmp();
        QTRY_VERIFY_WITH_TIMEOUT(!platform::IsWindow(window), kStartMs);
    }

    // From here on another player is on the bus, first by name.
    void listenStartsAndPicksTheConfiguredPlayer()
    {
        QTRY_VERIFY_WITH_TIMEOUT(mpvNames().isEmpty(), kStartMs);
        addOtherPlayer();
        QString winampPath = launcher;
        winamp->PathToWinAmp = launcher;
        QVERIFY(listen(song, winampPath));
        readPlayerPid();
        QCOMPARE(playing(), song);
        QCOMPARE(other->opened.load(), 0);
        QCOMPARE(other->driven.load(), 0);
    }

    void listenAgainStartsNoSecondPlayer()
    {
        const qsizetype started = starts().size();
        QString winampPath = launcher;
        QVERIFY(listen(song, winampPath));
        QTRY_COMPARE_WITH_TIMEOUT(winamp->WinampStatus(), WAPlaying, kChangeMs);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), song, kChangeMs);
        QCOMPARE(starts().size(), started);
        QCOMPARE(mpvNames().size(), 1);
        QCOMPARE(other->opened.load(), 0);
    }

    // A name unpacked from a Windows archive: the player is given its bytes.
    void playsAFileNamedInGbk()
    {
        QStringEncoder toGbk("GB18030");
        const QByteArray song =
            QFile::encodeName(dir.path()) + '/' + QByteArray(toGbk.encode(u"老歌 #2.mp3"_s));
        const QByteArray frames = testsupport::silentMpegFrames(400);
        const int fd = ::open(song.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        QVERIFY(fd >= 0);
        // The test folder's own removal could not name the file.
        const auto removal = qScopeGuard([&song] { ::unlink(song.constData()); });
        const bool written =
            ::write(fd, frames.constData(), size_t(frames.size())) == frames.size();
        QVERIFY(::close(fd) == 0 && written);
        QString winampPath = launcher;
        QVERIFY(listen(platform::decodeFileName(song), winampPath));
        const auto playingBytes = [this] {
            const QUrl url(metadata().value(u"xesam:url"_s).toString());
            return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1());
        };
        QTRY_COMPARE_WITH_TIMEOUT(playingBytes(), song, kChangeMs);
    }

    void playerRefusingTheFileIsPassedOver()
    {
        restartBridge(); // knows neither mpv nor the other player
        other->refusesFiles = true;
        const QString second = dir.filePath(u"歌 曲/second.mp3"_s);
        QVERIFY(testsupport::writeBytes(second, testsupport::silentMpegFrames(400)));
        // None configured: the first by name comes first.
        QString winampPath;
        winamp->PathToWinAmp.clear();
        QVERIFY(listen(second, winampPath));
        QCOMPARE(other->opened.load(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(playing(), second, kChangeMs);
        QCOMPARE(other->driven.load(), 0);
        // The player that took the file comes first now; the other is not
        // asked again.
        QVERIFY(listen(song, winampPath));
        QTRY_COMPARE_WITH_TIMEOUT(playing(), song, kChangeMs);
        QCOMPARE(other->opened.load(), 1);
        QCOMPARE(other->driven.load(), 0);
    }

    void runningProgramIsKnownByItsFile()
    {
        restartBridge();
        other->refusesFiles = false;
        other->opened = 0;
        // Another name for mpv's program: the running mpv is that program.
        const QString link = dir.filePath(u"player dir/media player"_s);
        QVERIFY(QFile::link(QStandardPaths::findExecutable(u"mpv"_s), link));
        const qsizetype started = starts().size();
        QString winampPath = link;
        winamp->PathToWinAmp = link;
        QVERIFY(listen(song, winampPath));
        QTRY_COMPARE_WITH_TIMEOUT(playing(), song, kChangeMs);
        QCOMPARE(other->opened.load(), 0);
        QCOMPARE(starts().size(), started);
        QCOMPARE(mpvNames().size(), 1);
    }

    // A player that takes longer to come up than WinExec waits is still the
    // started program's: pressing again starts no second copy.
    void slowPlayerIsStartedOnce()
    {
        const QString slow = dir.filePath(u"player dir/slow player"_s);
        const QByteArray script =
            "#!/bin/sh\necho $$ >> '" + QFile::encodeName(dir.filePath(u"slow starts"_s)) +
            "'\nsleep " + QByteArray::number(platform::MprisBridge::startTimeoutMs / 1000 + 1) +
            "\nexec '" + QFile::encodeName(launcher) + "'\n";
        QVERIFY(testsupport::writeBytes(slow, script));
        QVERIFY(
            QFile::setPermissions(slow, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        QCOMPARE(mpvNames().size(), 1);
        QVERIFY(platform::WinExec(slow, platform::SW_SHOWNORMAL) > 31); // gives up waiting
        QVERIFY(platform::WinExec(slow, platform::SW_SHOWNORMAL) > 31);
        QTRY_COMPARE_WITH_TIMEOUT(mpvNames().size(), 2, kStartMs);
        QVERIFY(platform::WinExec(slow, platform::SW_SHOWNORMAL) > 31);
        QCOMPARE(pidsIn(u"slow starts"_s).size(), 1);
    }
};

MP3T_TEST_GUILESS_MAIN(TestMprisBridge)
#include "tst_MprisBridge.moc"
