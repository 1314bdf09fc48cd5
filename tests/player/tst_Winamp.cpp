#include "tests/player/PlayerFake.h"
#include "tests/support/TestEnvironment.h"

#include "platform/FileNameCodec.h"
#include "player/Winamp.h"

#include <QObject>
#include <QStringEncoder>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>

using namespace Qt::StringLiterals;
using namespace playertest;
using platform::FakeWindows;

using Operation = std::function<void(TWinamp&)>;
Q_DECLARE_METATYPE(Operation)
// Something that happens to the player window.
using Change = std::function<void(PlayerModel&, FakeWindows&, platform::HWND)>;
Q_DECLARE_METATYPE(Change)

namespace {
const QString kClass = u"Winamp v1.x"_s;

QString hex(const QByteArray& bytes)
{
    return QString::fromLatin1(bytes.toHex());
}
} // namespace

class TestWinamp : public QObject {
    Q_OBJECT

    std::unique_ptr<FakeWindows> fake;
    std::unique_ptr<platform::WindowBackendScope> scope;
    std::shared_ptr<PlayerModel> model;
    QStringList events;

    platform::HWND addPlayer(LRESULT version)
    {
        model->version = version;
        return fake->addWindow(kClass, answering(model));
    }
    void listenTo(TWinamp& winamp)
    {
        winamp.OnStartPlay = [this](QObject*) {
            events << u"start"_s;
        };
        winamp.OnPause = [this](QObject*) {
            events << u"pause"_s;
        };
        winamp.OnStopPlay = [this](QObject*) {
            events << u"stop"_s;
        };
        winamp.OnWinampExit = [this](QObject*) {
            events << u"exit"_s;
        };
        winamp.OnEQChange = [this](stEQStatus& eq) {
            events << u"eq %1"_s.arg(eq.slot[5]);
        };
    }
    // Returns once the polling tick has asked for the status again.
    void awaitTick()
    {
        const qsizetype mark = fake->messages().size();
        QTRY_VERIFY_WITH_TIMEOUT(countQueries(*fake, 104, mark) > 0, 5000);
    }

private Q_SLOTS:
    void init()
    {
        forgetPlayerWindow();
        fake = std::make_unique<FakeWindows>();
        scope = std::make_unique<platform::WindowBackendScope>(*fake);
        model = std::make_shared<PlayerModel>();
        events.clear();
    }
    void cleanup()
    {
        scope.reset();
        fake.reset();
    }

    void handOverByVersion_data()
    {
        QTest::addColumn<LRESULT>("version");
        QTest::addColumn<bool>("copyData");
        QTest::addColumn<QByteArray>("native"); // the file name's bytes
        const QByteArray utf8 = u"/music/试听 1.mp3"_s.toUtf8();
        QStringEncoder toGbk("GB18030");
        const QByteArray gbk = "/music/" + QByteArray(toGbk.encode(u"老歌.mp3"_s));
        QTest::newRow("0x1600 posts bytes") << LRESULT(0x1600) << false << utf8;
        QTest::newRow("0x16FF posts bytes") << LRESULT(0x16FF) << false << utf8;
        QTest::newRow("0x1700 copies data") << LRESULT(0x1700) << true << utf8;
        QTest::newRow("0x2900 copies data") << LRESULT(0x2900) << true << utf8;
        QTest::newRow("GBK name posted") << LRESULT(0x1600) << false << gbk;
        QTest::newRow("GBK name copied") << LRESULT(0x2900) << true << gbk;
    }
    void handOverByVersion()
    {
        QFETCH(LRESULT, version);
        QFETCH(bool, copyData);
        QFETCH(QByteArray, native);
        addPlayer(version);
        TWinamp winamp;
        QVERIFY(winamp.StartWinAmp());
        fake->clearMessages();

        const QString name = platform::decodeFileName(native);
        winamp.setFileName(name);
        QCOMPARE(winamp.FileName(), name + QChar(u'\0'));
        const QByteArray bytes = native + '\0';
        QStringList expected{u"send 1024 0 101"_s};
        if (copyData) {
            expected << u"copy 100 "_s + hex(bytes);
        } else {
            for (const char byte : bytes)
                expected << u"post 1024 %1 100"_s.arg(quint8(byte));
        }
        QCOMPARE(describeFrom(*fake), expected);
        if (copyData)
            QCOMPARE(fake->messages().last().wParam, platform::WPARAM(0));
    }

    void handOverTwiceWithKnownWindow()
    {
        addPlayer(0x2900);
        TWinamp winamp;
        QVERIFY(winamp.StartWinAmp());
        fake->clearMessages();

        winamp.setFileName(u"/music/a.mp3"_s);
        QVERIFY(winamp.StartWinAmp());
        QCOMPARE(winamp.FileName(), u"/music/a.mp3"_s + QChar(u'\0') + QChar(u'\0'));
        QStringList copies = describeFrom(*fake).filter(u"copy"_s);
        QCOMPARE(copies, QStringList({u"copy 100 "_s + hex(QByteArray("/music/a.mp3\0", 13)),
                                      u"copy 100 "_s + hex(QByteArray("/music/a.mp3\0\0", 14))}));
    }

    void commands_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, Operation op, QStringList expected) {
            QTest::newRow(name) << op << expected;
        };
        row("Play", [](TWinamp& w) { w.Play(); }, {u"post 1024 0 102"_s, u"send 273 40157 0"_s});
        row("Pause", [](TWinamp& w) { w.Pause(); }, {u"send 273 40045 0"_s});
        row("Stop", [](TWinamp& w) { w.Stop(); }, {u"send 273 40047 0"_s});
        row("OpenEQ", [](TWinamp& w) { w.OpenEQ(); }, {u"send 273 40036 0"_s});
        row("VolumeUpByOne", [](TWinamp& w) { w.VolumeUpByOne(); }, {u"send 273 40058 0"_s});
        row("VolumeDownByOne", [](TWinamp& w) { w.VolumeDownByOne(); }, {u"send 273 40059 0"_s});
        row("JumpFWRDBy5sec", [](TWinamp& w) { w.JumpFWRDBy5sec(); }, {u"send 273 40060 0"_s});
        row("JumpREWBy5sec", [](TWinamp& w) { w.JumpREWBy5sec(); }, {u"send 273 40061 0"_s});
        row("FadeOutAndStop", [](TWinamp& w) { w.FadeOutAndStop(); }, {u"send 273 40147 0"_s});
        row("OpenPlayList", [](TWinamp& w) { w.OpenPlayList(); }, {u"send 273 40040 0"_s});
        row("CloseWinAmp", [](TWinamp& w) { w.CloseWinAmp(); }, {u"send 273 40001 0"_s});
        row("MakeVisible", [](TWinamp& w) { w.MakeVisible(); }, {});
        row("JumpToTime", [](TWinamp& w) { w.JumpToTime(100000); }, {u"send 1024 100000 106"_s});
        row("SongLength", [](TWinamp& w) { QCOMPARE(w.SongLength(), 200000); },
            {u"send 1024 1 105"_s});
        row("WinampStatus", [](TWinamp& w) { QCOMPARE(w.WinampStatus(), WAStop); },
            {u"send 1024 0 104"_s});
    }
    void commands()
    {
        QFETCH(Operation, operation);
        QFETCH(QStringList, expected);
        model->lengthSeconds = 200;
        addPlayer(0x2900);
        TWinamp winamp;
        QVERIFY(winamp.StartWinAmp());
        const qsizetype mark = fake->messages().size();
        operation(winamp);
        QCOMPARE(describeFrom(*fake, mark), expected);
    }

    void volumeAndPanningByVersion_data()
    {
        QTest::addColumn<LRESULT>("version");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("0x1FFF ignores both") << LRESULT(0x1FFF) << QStringList();
        QTest::newRow("0x2000 sets both")
            << LRESULT(0x2000) << QStringList({u"send 1024 255 122"_s, u"send 1024 64 123"_s});
    }
    void volumeAndPanningByVersion()
    {
        QFETCH(LRESULT, version);
        QFETCH(QStringList, expected);
        addPlayer(version);
        TWinamp winamp;
        QVERIFY(winamp.StartWinAmp());
        const qsizetype mark = fake->messages().size();
        winamp.SetVolume(255);
        winamp.SetPanning(64);
        QCOMPARE(describeFrom(*fake, mark), expected);
    }

    void equaliserByVersion_data()
    {
        QTest::addColumn<LRESULT>("version");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("0x23FF reads none") << LRESULT(0x23FF) << QStringList({u"start"_s});
        // Only the low byte of an answer counts.
        QTest::newRow("0x2400 reads and reports")
            << LRESULT(0x2400) << QStringList({u"eq 255"_s, u"start"_s});
    }
    void equaliserByVersion()
    {
        QFETCH(LRESULT, version);
        QFETCH(QStringList, expected);
        addPlayer(version);
        TWinamp winamp;
        listenTo(winamp);
        QVERIFY(winamp.StartWinAmp());
        QCOMPARE(countQueries(*fake, 127), version >= 0x2400 ? 13 : 0);
        awaitTick();
        QVERIFY(events.isEmpty()); // the record read by the start is no change

        model->eq[5] = 0x1FF;
        awaitTick();
        model->status = 1; // a status change marks the tick that saw the record
        QTRY_VERIFY_WITH_TIMEOUT(events.contains(u"start"_s), 5000);
        QCOMPARE(events, expected);
    }

    void statusAndEvents_data()
    {
        QTest::addColumn<LRESULT>("answer");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, LRESULT answer, TWinampStatus status,
                            QStringList expected) {
            QTest::newRow(name) << answer << int(status) << expected;
        };
        // Each row starts from a paused player and ends with a marker change.
        row("1 playing", 1, WAPlaying, {u"pause"_s, u"start"_s, u"stop"_s});
        row("0 stopped", 0, WAStop, {u"pause"_s, u"stop"_s, u"start"_s});
        row("3 paused again", 3, WAPause, {u"pause"_s, u"stop"_s});
        row("2 unknown", 2, WAUnknown, {u"pause"_s, u"stop"_s});
        row("4 unknown", 4, WAUnknown, {u"pause"_s, u"stop"_s});
        row("-1 unknown", -1, WAUnknown, {u"pause"_s, u"stop"_s});
    }
    void statusAndEvents()
    {
        QFETCH(LRESULT, answer);
        QFETCH(int, status);
        QFETCH(QStringList, expected);
        model->status = 3;
        addPlayer(0x2900);
        TWinamp winamp;
        listenTo(winamp);
        QVERIFY(winamp.StartWinAmp());
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"pause"_s), 5000);

        model->status = answer;
        QCOMPARE(int(winamp.WinampStatus()), status);
        awaitTick();
        model->status = answer == 0 ? 1 : 0;
        QTRY_COMPARE_WITH_TIMEOUT(events.size(), expected.size(), 5000);
        QCOMPARE(events, expected);
    }

    // The back-end's announcement, not the poll, brings the event: the poll
    // is a slow safety net.
    void announcedChangeRaisesEventAtOnce_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char* name, Change change, QStringList expected) {
            QTest::newRow(name) << change << expected;
        };
        row("playing", [](PlayerModel& m, FakeWindows&, platform::HWND) { m.status = 1; },
            {u"start"_s});
        row("paused", [](PlayerModel& m, FakeWindows&, platform::HWND) { m.status = 3; },
            {u"pause"_s});
        row("equaliser", [](PlayerModel& m, FakeWindows&, platform::HWND) { m.eq[5] = 7; },
            {u"eq 7"_s});
        row("player gone", [](PlayerModel&, FakeWindows& f, platform::HWND w) { f.closeWindow(w); },
            {u"exit"_s});
    }
    void announcedChangeRaisesEventAtOnce()
    {
        QFETCH(Change, change);
        QFETCH(QStringList, expected);
        const platform::HWND window = addPlayer(0x2900);
        TWinamp winamp;
        listenTo(winamp);
        QVERIFY(winamp.StartWinAmp());
        const QList<QTimer*> timers = winamp.findChildren<QTimer*>();
        QVERIFY(std::any_of(timers.cbegin(), timers.cend(),
                            [](const QTimer* t) { return t->isActive(); }));
        for (const QTimer* timer : timers)
            QVERIFY2(!timer->isActive() || timer->interval() >= 100, "polls too often");
        awaitTick(); // the first look at the player, right after the start
        QVERIFY(events.isEmpty());

        change(*model, *fake, window);
        fake->announceChange();
        // Well within the poll interval: only the announcement can be in time.
        QTRY_COMPARE_WITH_TIMEOUT(events, expected, 50);
    }

    void playerExitRaisesExitAndStop()
    {
        model->status = 1;
        const platform::HWND window = addPlayer(0x2900);
        TWinamp winamp;
        listenTo(winamp);
        QVERIFY(winamp.StartWinAmp());
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList(u"start"_s), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(winamp.WinampVisible(), 5000);

        fake->closeWindow(window);
        QTRY_COMPARE_WITH_TIMEOUT(events, QStringList({u"start"_s, u"exit"_s, u"stop"_s}), 5000);
        QVERIFY(!winamp.WinampVisible());
        // A new start replaces the handle of the window that went away.
        const platform::HWND next = addPlayer(0x2900);
        QVERIFY(winamp.StartWinAmp());
        fake->clearMessages();
        winamp.Stop();
        QCOMPARE(fake->messages().size(), 1);
        QCOMPARE(fake->messages().constFirst().window, next);
    }

    void id3TagTypesAltThree()
    {
        TWinamp winamp;
        winamp.ID3Tag(); // no player: nothing is typed into our own windows
        QVERIFY(fake->keystrokes().isEmpty());

        const platform::HWND window = addPlayer(0x2900);
        QVERIFY(winamp.StartWinAmp());
        winamp.ID3Tag();
        QCOMPARE(fake->foreground(), window);
        QStringList keys;
        for (const auto& k : fake->keystrokes())
            keys << u"%1 %2 %3"_s.arg(k.vk, 0, 16).arg(k.scan, 0, 16).arg(k.flags);
        QCOMPARE(keys, QStringList({u"12 38 0"_s, u"33 4 0"_s, u"33 4 2"_s, u"12 38 2"_s}));
    }
};

MP3T_TEST_GUILESS_MAIN(TestWinamp)
#include "tst_Winamp.moc"
