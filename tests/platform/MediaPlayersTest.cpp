// The media players on a session bus of the test's own: each player program
// once, named, by the process that owns its name; other services left out.

#include "platform/MediaPlayers.h"
#include "platform/NativePath.h"

#include "tests/support/TestEnvironment.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QProcess>
#include <QTest>

using namespace Qt::StringLiterals;

class MediaPlayersTest : public QObject {
    Q_OBJECT

    QProcess daemon_;
    QString address_;

private Q_SLOTS:
    void initTestCase()
    {
        daemon_.start(u"dbus-daemon"_s, {u"--session"_s, u"--nofork"_s, u"--print-address"_s});
        if (!daemon_.waitForStarted(10000))
            QSKIP("no dbus-daemon on this system");
        QVERIFY(daemon_.waitForReadyRead(10000));
        address_ = QString::fromUtf8(daemon_.readLine().trimmed());
        QVERIFY(!address_.isEmpty());
    }
    void cleanupTestCase()
    {
        daemon_.kill();
        daemon_.waitForFinished();
    }

    void listsEachPlayerProgramOnce()
    {
        QDBusConnection bus = QDBusConnection::connectToBus(address_, u"mp3t-asking"_s);
        QDBusConnection player = QDBusConnection::connectToBus(address_, u"mp3t-player"_s);
        QVERIFY(bus.isConnected() && player.isConnected());
        QVERIFY(platform::MediaPlayersOnBus(bus).empty());

        QVERIFY(player.registerService(u"org.mpris.MediaPlayer2.testplayer"_s));
        QVERIFY(player.registerService(u"org.mpris.MediaPlayer2.testplayer.instance2"_s));
        QVERIFY(player.registerService(u"org.example.NotAPlayer"_s));
        const auto players = platform::MediaPlayersOnBus(bus);
        QCOMPARE(players.size(), std::size_t(1));
        // No Identity answered: the bus name says which player it is.
        QCOMPARE(players.front().name, u"testplayer"_s);
        QCOMPARE(players.front().program,
                 platform::CanonicalPath(QCoreApplication::applicationFilePath()));

        QDBusConnection::disconnectFromBus(u"mp3t-player"_s);
        QDBusConnection::disconnectFromBus(u"mp3t-asking"_s);
    }

    void noBusNoPlayers()
    {
        QVERIFY(platform::MediaPlayersOnBus(QDBusConnection(u"mp3t-none"_s)).empty());
    }
};

MP3T_TEST_GUILESS_MAIN(MediaPlayersTest)
#include "MediaPlayersTest.moc"
