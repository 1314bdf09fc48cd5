#include "tests/support/FakeWindows.h"

namespace platform {

HWND FakeWindows::addWindow(const QString& className, Answer answer)
{
    const HWND handle = ++next_;
    windows_[handle] = Window{className, std::move(answer), true};
    return handle;
}

void FakeWindows::setAnswer(HWND window, Answer answer)
{
    const auto it = windows_.find(window);
    if (it != windows_.end())
        it->second.answer = std::move(answer);
}

void FakeWindows::closeWindow(HWND window)
{
    windows_.erase(window);
}

void FakeWindows::setVisible(HWND window, bool visible)
{
    const auto it = windows_.find(window);
    if (it != windows_.end())
        it->second.visible = visible;
}

HWND FakeWindows::findWindow(const QString& className)
{
    for (const auto& [handle, window] : windows_) {
        if (window.className == className)
            return handle;
    }
    return 0;
}

LRESULT FakeWindows::deliver(const Message& message)
{
    const auto it = windows_.find(message.window);
    if (it == windows_.end())
        return 0;
    messages_.append(message);
    // Copy the answer: it may close or replace the window it belongs to.
    const Answer answer = it->second.answer;
    return message.kind != Kind::Posted && answer ? answer(message) : 0;
}

LRESULT FakeWindows::sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    return deliver(Message{Kind::Sent, window, msg, wParam, lParam, 0, {}});
}

LRESULT FakeWindows::sendCopyData(HWND window, WPARAM wParam, const COPYDATASTRUCT& data)
{
    QByteArray bytes;
    if (data.lpData && data.cbData > 0)
        bytes = QByteArray(static_cast<const char*>(data.lpData), qsizetype(data.cbData));
    return deliver(Message{Kind::CopyData, window, WM_COPYDATA, wParam, 0, data.dwData, bytes});
}

bool FakeWindows::postMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam)
{
    if (!isWindow(window))
        return false;
    deliver(Message{Kind::Posted, window, msg, wParam, lParam, 0, {}});
    return true;
}

bool FakeWindows::isWindow(HWND window)
{
    return windows_.count(window) != 0;
}

bool FakeWindows::isWindowVisible(HWND window)
{
    const auto it = windows_.find(window);
    return it != windows_.end() && it->second.visible;
}

bool FakeWindows::setForegroundWindow(HWND window)
{
    if (!isWindow(window))
        return false;
    foreground_ = window;
    return true;
}

void FakeWindows::keybdEvent(quint8 vk, quint8 scan, DWORD flags)
{
    keystrokes_.append(Keystroke{vk, scan, flags});
}

UINT FakeWindows::winExec(const QString& commandLine, UINT)
{
    executed_.append(commandLine);
    if (commandLine.isEmpty())
        return 2;
    if (onExec)
        onExec(commandLine);
    return 33;
}

} // namespace platform
