#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

// The window messages that the player remote control speaks, with the calls
// and numbers it expects. Windows of other programs do not exist here: the
// calls go to one back-end, chosen once per process. The program installs the
// bridge to the desktop's media players (platform/MprisBridge.h); tests
// install a fake of their own. With none installed there are no windows and
// every call answers 0.
//
// Everything here is used from the user-interface thread only.
namespace platform {

// An opaque window handle; 0 is "no window". Handles are never reused.
using HWND = quintptr;
using UINT = unsigned;
using DWORD = quint32;
using WPARAM = quintptr;
using LPARAM = qintptr;
using LRESULT = qintptr;

inline constexpr UINT WM_COPYDATA = 0x004A;
inline constexpr UINT WM_COMMAND = 0x0111;
inline constexpr UINT WM_USER = 0x0400;

inline constexpr DWORD KEYEVENTF_KEYUP = 0x0002;
inline constexpr UINT MAPVK_VK_TO_VSC = 0;
inline constexpr UINT SW_SHOWNORMAL = 1;

// The record that WM_COPYDATA carries: a tag and a block of bytes that the
// receiver copies before the send returns.
struct COPYDATASTRUCT {
    quintptr dwData = 0;
    DWORD cbData = 0;
    const void* lpData = nullptr;
};

// Where a back-end announces that a window came, went or changed state.
class WindowChanges final : public QObject {
    Q_OBJECT
Q_SIGNALS:
    void changed();
};

// One back-end: what the windows of the desktop are and how they answer.
class WindowBackend {
public:
    WindowBackend() = default;
    WindowBackend(const WindowBackend&) = delete;
    WindowBackend& operator=(const WindowBackend&) = delete;
    virtual ~WindowBackend();

    virtual HWND findWindow(const QString& className) = 0;
    virtual LRESULT sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual LRESULT sendCopyData(HWND window, WPARAM wParam, const COPYDATASTRUCT& data) = 0;
    virtual bool postMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) = 0;
    virtual bool isWindow(HWND window) = 0;
    virtual bool isWindowVisible(HWND window) = 0;
    virtual bool setForegroundWindow(HWND window) = 0;
    virtual void keybdEvent(quint8 vk, quint8 scan, DWORD flags) = 0;
    virtual UINT winExec(const QString& commandLine, UINT show) = 0;

    // Whoever watches a window listens here, so that it need not poll fast
    // to notice what the back-end knows at once.
    const WindowChanges& changes() const { return changes_; }
    void announceChange() { Q_EMIT changes_.changed(); }

private:
    WindowChanges changes_;
};

// Installs a back-end for the lifetime of the scope; the previous one (or
// none) comes back when the scope ends. The caller owns the back-end and
// keeps it alive at least as long as the scope.
class WindowBackendScope {
public:
    explicit WindowBackendScope(WindowBackend& backend);
    ~WindowBackendScope();
    WindowBackendScope(const WindowBackendScope&) = delete;
    WindowBackendScope& operator=(const WindowBackendScope&) = delete;

private:
    WindowBackend* previous_;
};

// The installed back-end, or one without any window.
WindowBackend& windowBackend();

// A top-level window of that class, whatever its title; 0 when none exists.
HWND FindWindowA(const QString& className);
// Delivers the message and returns the answer; 0 from a window that does not
// exist (or does not answer in time).
LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
// WM_COPYDATA with its record. (A plain SendMessageA of WM_COPYDATA carries no
// record and is answered 0 without reaching the window.)
LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, const COPYDATASTRUCT& data);
// Queues the message; false when the window does not exist.
bool PostMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam);
bool IsWindow(HWND window);
bool IsWindowVisible(HWND window);
bool SetForegroundWindow(HWND window);
void keybd_event(quint8 bVk, quint8 bScan, DWORD dwFlags, quintptr dwExtraInfo);
// Virtual key to scan code (MAPVK_VK_TO_VSC) for a PC keyboard: the modifier
// keys, digits and letters. Anything else maps to 0.
UINT MapVirtualKeyA(UINT uCode, UINT uMapType);
// Starts the program named by the whole text (a path: no argument
// splitting, so folders with spaces need no quotes). Above 31 on success,
// 2 when nothing could be started.
UINT WinExec(const QString& commandLine, UINT uCmdShow);

} // namespace platform
