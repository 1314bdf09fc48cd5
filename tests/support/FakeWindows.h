#pragma once

#include "platform/WindowMessages.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

namespace platform {

// A desktop for tests: windows of a given class registered inside the
// process. Every message, post and copy-data record that reaches one of them
// is recorded; sent messages are answered by the window's answer function
// (0 without one). Messages to windows that do not exist go nowhere and are
// not recorded, as on a real desktop.
class FakeWindows final : public WindowBackend {
public:
    enum class Kind { Sent, Posted, CopyData };
    struct Message {
        Kind kind = Kind::Sent;
        HWND window = 0;
        UINT msg = 0;
        WPARAM wParam = 0;
        LPARAM lParam = 0;
        quintptr dataTag = 0; // copy data only
        QByteArray data;      // copy data only: the record's bytes
    };
    struct Keystroke {
        quint8 vk = 0;
        quint8 scan = 0;
        DWORD flags = 0;
    };
    using Answer = std::function<LRESULT(const Message&)>;

    HWND addWindow(const QString& className, Answer answer = {});
    void setAnswer(HWND window, Answer answer);
    // The window goes away, as when its program ends.
    void closeWindow(HWND window);
    void setVisible(HWND window, bool visible);

    const QList<Message>& messages() const { return messages_; }
    void clearMessages() { messages_.clear(); }
    const QList<Keystroke>& keystrokes() const { return keystrokes_; }
    HWND foreground() const { return foreground_; }
    // The command lines handed to WinExec, in order.
    const QStringList& executed() const { return executed_; }
    // Runs inside WinExec with a non-empty command line (a test starts a
    // window here); WinExec then reports success. An empty one starts nothing.
    std::function<void(const QString&)> onExec;

    HWND findWindow(const QString& className) override;
    LRESULT sendMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT sendCopyData(HWND window, WPARAM wParam, const COPYDATASTRUCT& data) override;
    bool postMessage(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool isWindow(HWND window) override;
    bool isWindowVisible(HWND window) override;
    bool setForegroundWindow(HWND window) override;
    void keybdEvent(quint8 vk, quint8 scan, DWORD flags) override;
    UINT winExec(const QString& commandLine, UINT show) override;

private:
    struct Window {
        QString className;
        Answer answer;
        bool visible = true;
    };
    LRESULT deliver(const Message& message);

    std::map<HWND, Window> windows_;
    HWND next_ = 0x1000;
    QList<Message> messages_;
    QList<Keystroke> keystrokes_;
    HWND foreground_ = 0;
    QStringList executed_;
};

} // namespace platform
