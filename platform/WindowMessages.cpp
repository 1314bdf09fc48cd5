#include "platform/WindowMessages.h"

namespace platform {

WindowBackend::~WindowBackend() = default;

namespace {

// The desktop without any window: what the calls see before a back-end is
// installed.
class NoWindows final : public WindowBackend {
public:
    HWND findWindow(const QString&) override { return 0; }
    LRESULT sendMessage(HWND, UINT, WPARAM, LPARAM) override { return 0; }
    LRESULT sendCopyData(HWND, WPARAM, const COPYDATASTRUCT&) override { return 0; }
    bool postMessage(HWND, UINT, WPARAM, LPARAM) override { return false; }
    bool isWindow(HWND) override { return false; }
    bool isWindowVisible(HWND) override { return false; }
    bool setForegroundWindow(HWND) override { return false; }
    void keybdEvent(quint8, quint8, DWORD) override {}
    UINT winExec(const QString&, UINT) override { return 2; }
};

WindowBackend*& installed()
{
    static WindowBackend* backend = nullptr;
    return backend;
}

} // namespace

WindowBackendScope::WindowBackendScope(WindowBackend& backend) : previous_(installed())
{
    installed() = &backend;
}

WindowBackendScope::~WindowBackendScope()
{
    installed() = previous_;
}

WindowBackend& windowBackend()
{
    static NoWindows none;
    WindowBackend* backend = installed();
    return backend ? *backend : none;
}

HWND FindWindowA(const QString& className)
{
    return windowBackend().findWindow(className);
}

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (window == 0 || msg == WM_COPYDATA)
        return 0;
    return windowBackend().sendMessage(window, msg, wParam, lParam);
}

LRESULT SendMessageA(HWND window, UINT msg, WPARAM wParam, const COPYDATASTRUCT& data)
{
    if (window == 0 || msg != WM_COPYDATA)
        return 0;
    return windowBackend().sendCopyData(window, wParam, data);
}

bool PostMessageA(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (window == 0)
        return false;
    return windowBackend().postMessage(window, msg, wParam, lParam);
}

bool IsWindow(HWND window)
{
    return window != 0 && windowBackend().isWindow(window);
}

bool IsWindowVisible(HWND window)
{
    return window != 0 && windowBackend().isWindowVisible(window);
}

bool SetForegroundWindow(HWND window)
{
    return window != 0 && windowBackend().setForegroundWindow(window);
}

void keybd_event(quint8 bVk, quint8 bScan, DWORD dwFlags, quintptr)
{
    windowBackend().keybdEvent(bVk, bScan, dwFlags);
}

UINT MapVirtualKeyA(UINT uCode, UINT uMapType)
{
    if (uMapType != MAPVK_VK_TO_VSC)
        return 0;
    // Set-1 scan codes of a PC keyboard, row by row.
    static constexpr char kLetters[] = "QWERTYUIOPASDFGHJKLZXCVBNM";
    static constexpr UINT kLetterScan[] = {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18,
                                           0x19, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25,
                                           0x26, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32};
    switch (uCode) {
    case 0x10: // shift
        return 0x2A;
    case 0x11: // control
        return 0x1D;
    case 0x12: // alt (menu)
        return 0x38;
    case 0x30: // '0' sits after '9'
        return 0x0B;
    default:
        break;
    }
    if (uCode >= 0x31 && uCode <= 0x39)
        return uCode - 0x31 + 0x02;
    for (int i = 0; kLetters[i] != '\0'; ++i) {
        if (uCode == UINT(kLetters[i]))
            return kLetterScan[i];
    }
    return 0;
}

UINT WinExec(const QString& commandLine, UINT uCmdShow)
{
    return windowBackend().winExec(commandLine, uCmdShow);
}

} // namespace platform
