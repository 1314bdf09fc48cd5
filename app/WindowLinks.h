#pragma once

#include <QString>

#include <functional>

class QWidget;

// What every controller of the window may need of it: the dialogs' parent,
// the guard that shows a handler's error, the log, the names as the list
// shows them, and whether the page can be left and the list is free.
struct TWindowLinks {
    QWidget* widget = nullptr; // the dialogs' parent
    std::function<void(const std::function<void()>& handler)> guarded;
    std::function<void(const QString& line)> appendLog;
    std::function<QString(const QString& name)> shownName;
    std::function<QString(const QString& path)> shownPath;
    std::function<bool()> busy; // a batch runs
    // Saves or gives up the page's edits; false when the user stays.
    std::function<bool()> leavePage;
};
