#pragma once

#include "platform/MprisPlayer.h"
#include "platform/WindowMessages.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QList>
#include <QObject>
#include <QSet>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace platform {

// The window messages of the player remote control, spoken to the desktop's
// media players over MPRIS 2 on the session bus. The window of class
// "Winamp v1.x" is a media player on the bus; the bridge answers as a player
// of version 0x2900 would:
//
//   WM_USER, lParam 0        the version           WM_COMMAND 40001  Quit
//           lParam 101       nothing to do (0)                40045  Pause
//           lParam 102       Play                             40047  Stop
//           lParam 104       1 playing, 3 paused, 0 stopped   40157  Play
//           lParam 105, w 1  song length in seconds           40058/9  volume up/down 2 %
//           lParam 106       SetPosition(wParam ms)           40060/1  Seek +5 s / -5 s
//           lParam 122       Volume wParam / 255              40147  Stop (no fade)
//           lParam 123, 127  0 (no panning, no equaliser)     40036, 40040  0 (no windows)
//   WM_COPYDATA, tag 100     OpenUri of the file named by the record's bytes
//                            (the native file name, up to the first zero byte)
//
// Answers come from what the player announced (PropertiesChanged), so the
// status and length queries never call the player (the length of a file just
// opened waits for its announcement, see MprisPlayer::openingTimeoutMs); the
// calls that must reach it wait at most MprisPlayer::callTimeoutMs and answer
// 0 when it does not answer. IsWindow is "the player is still on the bus", SetForegroundWindow
// is Raise, and keybd_event has nothing to reach: keystrokes are only recorded.
//
// Which player is the window: WinExec names the configured program. When
// its player is on the bus already (the one it started earlier, or one
// whose process runs that program) nothing is started; otherwise the
// program is started and the player that then appears is its player.
// FindWindowA prefers that player, then the one last handed a file, then
// the first by name. A player that refuses a file (an error reply to
// OpenUri) is not used again: the hand-over goes on to the next choice,
// which then answers for the window.
class MprisBridge final : public QObject, public WindowBackend {
    Q_OBJECT
public:
    static constexpr LRESULT version = 0x2900;
    // WinExec waits this long for the started program's player to appear.
    static constexpr int startTimeoutMs = 5000;
    // A player that appears this long after the start is still the started
    // program's, though WinExec gave up waiting: a slow start does not lead
    // to a second copy.
    static constexpr int lateStartMs = 60000;
    // Length and jump queries wait for a just-opened file's track and length,
    // at most MprisPlayer::openingTimeoutMs after the opening.

    explicit MprisBridge(const QDBusConnection& bus = QDBusConnection::sessionBus(),
                         QObject* parent = nullptr);
    ~MprisBridge() override;

    struct Keystroke {
        quint8 vk = 0;
        quint8 scan = 0;
        DWORD flags = 0;
    };
    // The keystrokes keybd_event was asked to synthesise and could not.
    const QList<Keystroke>& ignoredKeystrokes() const { return keystrokes_; }

    HWND findWindow(const QString& className) override;
    LRESULT sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT sendCopyData(HWND window, WPARAM wParam, const COPYDATASTRUCT& data) override;
    bool postMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool isWindow(HWND window) override;
    bool isWindowVisible(HWND window) override;
    bool setForegroundWindow(HWND window) override;
    void keybdEvent(quint8 vk, quint8 scan, DWORD flags) override;
    UINT winExec(const QString& commandLine, UINT show) override;

Q_SIGNALS:
    // A player came, went or announced a change.
    void busChanged();

private Q_SLOTS:
    void nameOwnerChanged(const QString& name, const QString& oldOwner, const QString& newOwner);
    void propertiesChanged(const QDBusMessage& message);

private:
    // A player on the bus: its well-known name and its unique connection name.
    struct BusPlayer {
        QString service;
        QString owner;
    };

    MprisPlayer* player(HWND window);
    MprisPlayer& playerFor(const BusPlayer& busPlayer);
    std::vector<BusPlayer> busPlayers();
    // Every usable player, the preferred first.
    std::vector<BusPlayer> choices();
    QString ownerOf(const QString& name);
    // Starts the program unless its player is on the bus; false when it
    // cannot be started.
    bool startUnlessRunning(const QString& commandLine);
    // A player came up: the one of a program started a moment ago?
    void playerAppeared(const QString& owner);
    QString runningPlayerOf(const QString& commandLine, const std::vector<BusPlayer>& onBus);
    bool runsProgram(const QString& owner, const QString& program);
    HWND handleFor(const BusPlayer& busPlayer);
    bool open(MprisPlayer& player, const QString& path);
    bool handOver(HWND window, const QString& path);
    LRESULT user(MprisPlayer& player, WPARAM wParam, LPARAM lParam, MprisPlayer::Mode mode);
    LRESULT command(MprisPlayer& player, WPARAM wParam, MprisPlayer::Mode mode);
    LRESULT dispatch(HWND window, UINT msg, WPARAM wParam, LPARAM lParam, MprisPlayer::Mode mode);
    void awaitTrack(const MprisPlayer& player);
    void waitForBus(int timeoutMs, const std::function<bool()>& done);

    QDBusConnection bus_;
    // The players met so far, by unique name: one for each run of a player.
    std::map<QString, std::unique_ptr<MprisPlayer>> players_;
    // Each window's player (its unique name); empty once no player took the
    // window's file.
    std::map<HWND, QString> windows_;
    HWND next_ = 0;
    QString configured_; // the configured program's player, when known
    QString lastUsed_;   // the player last handed a file
    QSet<QString> refused_;
    // The player each command line started.
    std::map<QString, QString> started_;
    // A started program whose player has not appeared yet.
    struct Launch {
        QString commandLine;
        QSet<QString> ownersBefore; // the players on the bus when it started
        QDeadlineTimer until;
    };
    std::optional<Launch> launch_;
    QList<Keystroke> keystrokes_;
};

} // namespace platform
