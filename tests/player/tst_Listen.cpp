#include "tests/player/PlayerFake.h"
#include "tests/support/TestEnvironment.h"

#include "player/Listen.h"
#include "player/Winamp.h"

#include <QObject>
#include <QTest>

using namespace Qt::StringLiterals;
using namespace playertest;

namespace {
const QString kClass = u"Winamp v1.x"_s;
const QString kSong = u"/music/歌曲.mp3"_s;
} // namespace

class TestListen : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeWindows> fake;
    std::unique_ptr<platform::WindowBackendScope> scope;
    std::shared_ptr<PlayerModel> model;
    QStringList locations; // what the location dialog answers, in turn
    int asked = 0;
    QStringList written;

    bool listen(TWinamp& winamp, QString& winampPath, int startPosition)
    {
        return player::Listen(
            winamp, kSong, winampPath, startPosition,
            [this] {
                ++asked;
                return locations.isEmpty() ? QString() : locations.takeFirst();
            },
            [this](const QString& path) { written << path; });
    }

private Q_SLOTS:
    void init()
    {
        forgetPlayerWindow();
        fake = std::make_unique<FakeWindows>();
        scope = std::make_unique<platform::WindowBackendScope>(*fake);
        model = std::make_shared<PlayerModel>();
        model->lengthSeconds = 200;
        locations.clear();
        asked = 0;
        written.clear();
    }
    void cleanup()
    {
        scope.reset();
        fake.reset();
    }

    void playsWithRunningPlayerWithoutAsking()
    {
        fake->addWindow(kClass, answering(model));
        TWinamp winamp;
        QString winampPath;
        QVERIFY(listen(winamp, winampPath, 0));
        QCOMPARE(asked, 0);
        QCOMPARE(written, QStringList(QString()));
        const QStringList messages = describeFrom(*fake);
        QVERIFY(messages.contains(u"post 1024 0 102"_s));
        QVERIFY(messages.contains(u"send 273 40157 0"_s));
        QCOMPARE(messages.last(), u"send 1024 0 106"_s);
    }

    void asksUntilCancelledAndWritesNothing()
    {
        locations = QStringList{u"/opt/a/winamp.exe"_s, u"/opt/b/winamp.exe"_s};
        TWinamp winamp;
        QString winampPath = u"/old/winamp.exe"_s;
        winamp.PathToWinAmp = winampPath;
        QVERIFY(!listen(winamp, winampPath, 50));
        QCOMPARE(asked, 3);
        QCOMPARE(fake->executed(), QStringList({u"/old/winamp.exe"_s, u"/opt/a/winamp.exe"_s,
                                                u"/opt/b/winamp.exe"_s}));
        QCOMPARE(winampPath, u"/opt/b/winamp.exe"_s);
        QVERIFY(written.isEmpty());
        QVERIFY(fake->messages().isEmpty());
    }

    void startsThePlayerAtTheChosenLocation()
    {
        locations = QStringList{u"/opt/winamp/winamp.exe"_s};
        fake->onExec = [this](const QString& path) {
            if (path == u"/opt/winamp/winamp.exe"_s)
                fake->addWindow(kClass, answering(model));
        };
        TWinamp winamp;
        QString winampPath;
        QVERIFY(listen(winamp, winampPath, 0));
        QCOMPARE(asked, 1);
        QCOMPARE(winampPath, u"/opt/winamp/winamp.exe"_s);
        QCOMPARE(winamp.PathToWinAmp, winampPath);
        QCOMPARE(written, QStringList(winampPath));
        // The first hand-over went nowhere; the start handed the file over.
        QCOMPARE(describeFrom(*fake).filter(u"copy"_s).size(), 1);
        QCOMPARE(winamp.FileName(), kSong + QChar(u'\0') + QChar(u'\0'));
    }

    void jumpsToTheStartPosition_data()
    {
        QTest::addColumn<LRESULT>("lengthSeconds");
        QTest::addColumn<int>("startPosition");
        QTest::addColumn<int>("jumpMs");
        QTest::newRow("50 % of 200 s") << LRESULT(200) << 50 << 100000;
        QTest::newRow("0 % starts at the beginning") << LRESULT(200) << 0 << 0;
        QTest::newRow("100 % of 200 s") << LRESULT(200) << 100 << 200000;
        QTest::newRow("33 % of 7 s") << LRESULT(7) << 33 << 2310;
        // 21600000 ms x 100 does not fit in 32 bits.
        QTest::newRow("100 % of six hours") << LRESULT(21600) << 100 << 21600000;
        QTest::newRow("above 100 % is the end") << LRESULT(200) << 150 << 200000;
        QTest::newRow("below 0 % is the beginning") << LRESULT(200) << -10 << 0;
        QTest::newRow("no length known") << LRESULT(0) << 50 << 0;
    }
    void jumpsToTheStartPosition()
    {
        QFETCH(LRESULT, lengthSeconds);
        QFETCH(int, startPosition);
        QFETCH(int, jumpMs);
        model->lengthSeconds = lengthSeconds;
        fake->addWindow(kClass, answering(model));
        TWinamp winamp;
        QString winampPath;
        QVERIFY(listen(winamp, winampPath, startPosition));
        QCOMPARE(describeFrom(*fake).last(), u"send 1024 %1 106"_s.arg(jumpMs));
    }
};

MP3T_TEST_GUILESS_MAIN(TestListen)
#include "tst_Listen.moc"
