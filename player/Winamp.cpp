#include "player/Winamp.h"

#include "platform/FileNameCodec.h"
#include "player/InputPlugins.h"

#include <QPointer>
#include <QTimer>

#include <climits>

using namespace Qt::StringLiterals;
using namespace platform;

namespace {

// The state of the unit, shared by every TWinamp in the process: there is
// one player to talk to. The handle is empty until a StartWinAmp finds the
// window and keeps its value until the next StartWinAmp; every construction
// resets the last status to WAStop.
struct SharedState {
    HWND window = 0;
    TWinampStatus lastStatus = WAStop;
    stEQStatus lastEQ;
};

SharedState& shared()
{
    static SharedState state;
    return state;
}

// lParam codes of WM_USER and command numbers of WM_COMMAND.
enum : LPARAM {
    kGetVersion = 0,
    kPlayFileByte = 100,
    kClearList = 101,
    kStartPlay = 102,
    kGetStatus = 104,
    kGetOutputTime = 105,
    kJumpToTime = 106,
    kSetVolume = 122,
    kSetPanning = 123,
    kGetEQ = 127,
};
enum : WPARAM {
    kCmdClose = 40001,
    kCmdOpenEQ = 40036,
    kCmdPlaylist = 40040,
    kCmdPause = 40045,
    kCmdStop = 40047,
    kCmdVolumeUp = 40058,
    kCmdVolumeDown = 40059,
    kCmdForward5s = 40060,
    kCmdRewind5s = 40061,
    kCmdFadeOutStop = 40147,
    kCmdPlay = 40157,
};
constexpr quintptr kPlayFileTag = 100;
constexpr LRESULT kCopyDataVersion = 0x1700;
constexpr LRESULT kVolumeVersion = 0x2000;
constexpr LRESULT kEQVersion = 0x2400;
// The poll only catches what the back-end does not announce; announced
// changes are handled at once.
constexpr int kPollMs = 250;
constexpr quint8 kVkAlt = 0x12;
constexpr quint8 kVk3 = 0x33;

LRESULT user(WPARAM wParam, LPARAM code)
{
    return SendMessageA(shared().window, WM_USER, wParam, code);
}

} // namespace

TWinamp::TWinamp(QObject* owner) : QObject(owner), About(u"About..."_s), timer_(new QTimer(this))
{
    timer_->setInterval(kPollMs);
    connect(timer_, &QTimer::timeout, this, &TWinamp::tick);
    shared().lastStatus = WAStop;
}

TWinamp::~TWinamp()
{
    timer_->stop();
    disconnect(timer_, nullptr, this, nullptr);
    OnStopPlay = nullptr;
    OnStartPlay = nullptr;
    OnPause = nullptr;
}

LRESULT TWinamp::WinampVersion() const
{
    return user(0, kGetVersion);
}

void TWinamp::command(WPARAM id) const
{
    SendMessageA(shared().window, WM_COMMAND, id, 0);
}

void TWinamp::setFileName(const QString& fileName)
{
    fileName_ = fileName + QChar(u'\0');
    handOver();
}

void TWinamp::handOver()
{
    const HWND window = shared().window;
    user(0, kClearList);
    // The player takes the native bytes of the name, its zero characters
    // included.
    const QByteArray bytes = encodeFileName(fileName_);
    if (WinampVersion() >= kCopyDataVersion) {
        COPYDATASTRUCT record;
        record.dwData = kPlayFileTag;
        record.cbData = DWORD(bytes.size());
        record.lpData = bytes.constData();
        SendMessageA(window, WM_COPYDATA, 0, record);
        return;
    }
    for (const char byte : bytes)
        PostMessageA(window, WM_USER, WPARAM(quint8(byte)), kPlayFileByte);
}

int TWinamp::SongLength() const
{
    // Bounded so that a wild answer cannot overflow the millisecond count.
    const LRESULT seconds =
        qBound(LRESULT(INT_MIN / 1000), user(1, kGetOutputTime), LRESULT(INT_MAX / 1000));
    return int(seconds * 1000);
}

TWinampStatus TWinamp::WinampStatus() const
{
    switch (user(0, kGetStatus)) {
    case 1:
        return WAPlaying;
    case 3:
        return WAPause;
    case 0:
        return WAStop;
    default:
        return WAUnknown;
    }
}

bool TWinamp::StartWinAmp()
{
    WinExec(PathToWinAmp, SW_SHOWNORMAL);
    shared().window = FindWindowA(u"Winamp v1.x"_s);
    if (shared().window == 0)
        return false;
    if (!fileName_.isEmpty())
        setFileName(fileName_);
    if (const std::optional<stEQStatus> eq = ReadEQ())
        shared().lastEQ = *eq;
    watch();
    return true;
}

void TWinamp::watch()
{
    // The back-end of the latest start: an earlier one may have been replaced.
    disconnect(changes_);
    changes_ =
        connect(&windowBackend().changes(), &WindowChanges::changed, this, &TWinamp::tickSoon);
    timer_->start();
    tickSoon();
}

void TWinamp::tickSoon()
{
    // Queued, so that no handler runs inside the back-end's own call, and
    // coalesced, so that a burst of announcements is looked at once.
    if (tickQueued_)
        return;
    tickQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            tickQueued_ = false;
            if (timer_->isActive())
                tick();
        },
        Qt::QueuedConnection);
}

void TWinamp::CloseWinAmp()
{
    command(kCmdClose);
    timer_->stop();
    disconnect(changes_);
}

void TWinamp::Play()
{
    PostMessageA(shared().window, WM_USER, 0, kStartPlay);
    command(kCmdPlay);
}

void TWinamp::Pause()
{
    command(kCmdPause);
}
void TWinamp::Stop()
{
    command(kCmdStop);
}
void TWinamp::OpenEQ()
{
    command(kCmdOpenEQ);
}
void TWinamp::VolumeUpByOne()
{
    command(kCmdVolumeUp);
}
void TWinamp::VolumeDownByOne()
{
    command(kCmdVolumeDown);
}
void TWinamp::JumpFWRDBy5sec()
{
    command(kCmdForward5s);
}
void TWinamp::JumpREWBy5sec()
{
    command(kCmdRewind5s);
}
void TWinamp::FadeOutAndStop()
{
    command(kCmdFadeOutStop);
}
void TWinamp::OpenPlayList()
{
    command(kCmdPlaylist);
}
void TWinamp::MakeVisible() {}

void TWinamp::SetVolume(quint8 volume)
{
    if (WinampVersion() >= kVolumeVersion)
        user(volume, kSetVolume);
}

void TWinamp::SetPanning(quint8 panning)
{
    if (WinampVersion() >= kVolumeVersion)
        user(panning, kSetPanning);
}

void TWinamp::ID3Tag()
{
    // Keystrokes go to whatever window has the focus: only type them when
    // the player really came forward.
    if (!SetForegroundWindow(shared().window))
        return;
    const auto altScan = quint8(MapVirtualKeyA(kVkAlt, MAPVK_VK_TO_VSC));
    const auto threeScan = quint8(MapVirtualKeyA(kVk3, MAPVK_VK_TO_VSC));
    keybd_event(kVkAlt, altScan, 0, 0);
    keybd_event(kVk3, threeScan, 0, 0);
    keybd_event(kVk3, threeScan, KEYEVENTF_KEYUP, 0);
    keybd_event(kVkAlt, altScan, KEYEVENTF_KEYUP, 0);
}

QString TWinamp::SupportFormats() const
{
    return player::inputPluginFilter(PathToWinAmp);
}

LRESULT TWinamp::JumpToTime(int ms)
{
    return user(WPARAM(qintptr(ms)), kJumpToTime);
}

std::optional<stEQStatus> TWinamp::ReadEQ() const
{
    if (WinampVersion() < kEQVersion)
        return std::nullopt;
    stEQStatus eq;
    for (std::size_t k = 0; k < eq.slot.size(); ++k)
        eq.slot[k] = quint8(user(WPARAM(k), kGetEQ) & 0xFF);
    return eq;
}

void TWinamp::tick()
{
    // A handler may destroy the component; nothing touches it afterwards.
    const QPointer<TWinamp> self(this);
    SharedState& state = shared();
    if (!IsWindow(state.window)) {
        CloseWinAmp();
        if (OnWinampExit)
            OnWinampExit(this);
        if (!self)
            return;
    }
    const std::optional<stEQStatus> eq = ReadEQ();
    if (eq && *eq != state.lastEQ) {
        state.lastEQ = *eq;
        if (OnEQChange)
            OnEQChange(state.lastEQ);
        if (!self)
            return;
    }
    winampVisible_ = IsWindowVisible(state.window);
    const TWinampStatus status = WinampStatus();
    if (status == state.lastStatus)
        return;
    state.lastStatus = status;
    const TNotifyEvent* event = status == WAStop      ? &OnStopPlay
                                : status == WAPlaying ? &OnStartPlay
                                : status == WAPause   ? &OnPause
                                                      : nullptr;
    if (event && *event)
        (*event)(this);
}
