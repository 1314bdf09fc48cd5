#pragma once

#include "platform/Events.h"
#include "platform/ItemIdList.h"

#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

// Joins shell controls (the folder tree, the shell file list) so that a folder
// chosen in one is shown by the others, and tells its owner through OnChange.
// The messages reach each joined control as a synchronous Qt event; a control
// handles them in its event() or customEvent().
class TShellLink : public QObject {
public:
    // "Show this folder": a TShellLinkFolderEvent.
    static constexpr QEvent::Type FolderChanged = QEvent::Type(1664);
    // "Select all items", "re-read everything", "re-read the selected folder's
    // contents": plain QEvents.
    static constexpr QEvent::Type SelectAll = QEvent::Type(1665);
    static constexpr QEvent::Type Refresh = QEvent::Type(1666);
    static constexpr QEvent::Type RefreshSelection = QEvent::Type(1667);

    explicit TShellLink(QObject* owner = nullptr);

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool enabled) { enabled_ = enabled; }
    // Raised after a folder change was passed on.
    TNotifyEvent OnChange;
    QString Version() const;

    // A control joins once, however often it is added; a destroyed control is
    // never messaged.
    void AddControl(QObject* control);
    void RemoveControl(QObject* control);

    // Nothing while disabled. Otherwise the link is disabled while it sends the
    // folder (not owned by the receivers) to every joined control but the
    // sender, so that a receiver reporting its own change back causes no second
    // pass; then OnChange is raised once.
    void NotifyFolderChange(QObject* sender, const platform::ItemIdList& absolute);
    void NotifySelectAll(QObject* sender);
    void NotifyRefresh(QObject* sender);
    void NotifyRefreshSelection(QObject* sender);

private:
    void sendToOthers(QObject* sender, QEvent& event);

    bool enabled_ = true;
    QList<QPointer<QObject>> controls_;
};

// The event of TShellLink::FolderChanged.
class TShellLinkFolderEvent : public QEvent {
public:
    explicit TShellLinkFolderEvent(const platform::ItemIdList& absolute)
        : QEvent(TShellLink::FolderChanged), absolute_(absolute)
    {
    }
    // The new folder's absolute list, owned by the sender for the event's duration.
    const platform::ItemIdList& idList() const { return absolute_; }

private:
    const platform::ItemIdList& absolute_;
};
